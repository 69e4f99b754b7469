#include "platform/mounted_volumes.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <future>
#include <memory>

namespace zel::platform {
namespace {

using namespace std::chrono_literals;

TEST(MountedVolumes, TheTableIsReadWithItsEscapesAndOptions) {
    QTemporaryDir folder;
    const std::string table = folder.filePath("mounts").toStdString();
    std::ofstream(table) << "/dev/sda1 / ext4 rw,relatime 0 0\n"
                            "server:/export/home /mnt/my\\040share nfs4 ro,vers=4.2 0 0\n"
                            "proc /proc proc rw,nosuid 0 0\n";
    const std::vector<mounted_volume> volumes = mounted_volumes(table.c_str());
    ASSERT_EQ(volumes.size(), 3U);
    EXPECT_EQ(volumes[0].device, "/dev/sda1");
    EXPECT_EQ(volumes[0].root_path, "/");
    EXPECT_EQ(volumes[0].file_system_type, "ext4");
    EXPECT_FALSE(volumes[0].read_only);
    EXPECT_EQ(volumes[1].device, "server:/export/home");
    EXPECT_EQ(volumes[1].root_path, "/mnt/my share");
    EXPECT_TRUE(volumes[1].read_only);
    EXPECT_TRUE(mounted_volumes(folder.filePath("missing").toLocal8Bit().constData()).empty());
}

TEST(MountedVolumes, ThisSystemsVolumesAreListedAndTheirSpaceRead) {
    const std::vector<mounted_volume> volumes = mounted_volumes();
    ASSERT_FALSE(volumes.empty());
    for (const mounted_volume& volume : volumes)
        EXPECT_EQ(volume.root_path.front(), '/') << volume.root_path;
    const std::optional<volume_space> root = read_volume_space("/");
    ASSERT_TRUE(root.has_value());
    EXPECT_GT(root->total, 0U);
    EXPECT_LE(root->available, root->total);
    EXPECT_FALSE(read_volume_space("/no/such/folder/anywhere").has_value());
}

// A volume that hangs until the test lets it go, as a hard-mounted server out of reach does.
struct hanging_volume {
    std::promise<void> released;
    std::shared_future<void> release{released.get_future().share()};
};

TEST(MountedVolumes, AVolumeThatDoesNotAnswerIsGivenUpAndTheOthersAreNot) {
    const auto hang = std::make_shared<hanging_volume>();
    const volume_space_reader read =
        [release = hang->release](const std::string& path) -> std::optional<volume_space> {
        if (path == "/mnt/gone")
            release.wait();
        if (path == "/mnt/refused")
            return std::nullopt;
        return volume_space{1000, 400};
    };
    const std::vector<std::string> paths{"/", "/mnt/gone", "/mnt/refused", "/home"};
    auto asked =
        std::async(std::launch::async, [&] { return query_volume_spaces(paths, 100ms, read); });
    const bool returned = asked.wait_for(60s) == std::future_status::ready;
    hang->released.set_value(); // the hung question's thread ends whenever it is let go
    ASSERT_TRUE(returned);
    const std::vector<volume_query> answers = asked.get();
    ASSERT_EQ(answers.size(), paths.size());
    EXPECT_EQ(answers[0].answer, volume_answer::answered);
    EXPECT_EQ(answers[0].space.total, 1000U);
    EXPECT_EQ(answers[0].space.available, 400U);
    EXPECT_EQ(answers[1].answer, volume_answer::no_answer);
    EXPECT_EQ(answers[2].answer, volume_answer::refused);
    EXPECT_EQ(answers[3].answer, volume_answer::answered);
}

TEST(MountedVolumes, NoVolumesNoWait) {
    EXPECT_TRUE(query_volume_spaces({}, 1h).empty());
}

} // namespace
} // namespace zel::platform
