#include "log/core/log_root.h"
#include "tools/zelrep/disk_lines.h"

#include <QStringList>

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <memory>

namespace zel {
namespace {

using namespace std::chrono_literals;

struct disk_line {
    Tlog_kind kind;
    QString text;
};

class DiskLines : public ::testing::Test {
protected:
    void SetUp() override {
        root = TLogRoot::Create();
        root->set_OnAdded([this](const void*, const ILogEventPtr& entry) {
            if (entry->log_type() == LK_INFO || entry->log_type() == LK_WARNING)
                lines.push_back({entry->log_type(), entry->text()});
        });
        group = root->new_group(QStringLiteral("Disks"));
    }
    void TearDown() override { root->clear_all(); }

    std::shared_ptr<TLogRoot> root;
    ILogGroupPtr group;
    std::vector<disk_line> lines;
};

constexpr std::uint64_t gib = 1ULL << 30;

TEST_F(DiskLines, AVolumeThatDoesNotAnswerIsListedAsSuchAndTheReportGoesOn) {
    const std::vector<platform::mounted_volume> volumes{
        {"/dev/sda1", "/", "ext4", false},
        {"proc", "/proc", "proc", false},
        {"server:/export", "/mnt/share", "nfs4", true},
        {"systemd-1", "/mnt/auto", "autofs", false},
        {"/dev/sdb1", "/media/usb", "vfat", false},
        {"cgroup2", "/srv/cgroup", "cgroup2", false},
        {"/dev/sdc1", "/media/locked", "ext4", false},
    };
    // The share hangs until the test lets it go; the automounter's trigger and the kernel's
    // own views must not be asked at all.
    std::promise<void> released;
    const std::shared_future<void> release = released.get_future().share();
    const auto asked_wrongly = std::make_shared<std::atomic<bool>>(false);
    const platform::volume_space_reader read =
        [release, asked_wrongly](const std::string& path) -> std::optional<platform::volume_space> {
        if (path == "/mnt/share")
            release.wait();
        if (path == "/mnt/auto" || path == "/proc")
            asked_wrongly->store(true);
        if (path == "/srv/cgroup")
            return platform::volume_space{0, 0}; // no space of its own
        if (path == "/media/locked")
            return std::nullopt; // the system refuses
        return platform::volume_space{100 * gib, 40 * gib};
    };
    auto report =
        std::async(std::launch::async, [&] { add_disk_lines(group, volumes, read, 300ms); });
    const bool returned = report.wait_for(60s) == std::future_status::ready;
    released.set_value();
    ASSERT_TRUE(returned);
    report.get();

    ASSERT_EQ(lines.size(), 3U);
    EXPECT_EQ(lines[0].kind, LK_INFO);
    EXPECT_EQ(lines[0].text, "/dev/sda1 on / (ext4): 40960 Mb. free of 102400 Mb.");
    EXPECT_EQ(lines[1].kind, LK_WARNING);
    EXPECT_EQ(lines[1].text, "server:/export on /mnt/share (nfs4, read-only): no answer within 300 "
                             "millisecond(s)");
    EXPECT_EQ(lines[2].text, "/dev/sdb1 on /media/usb (vfat): 40960 Mb. free of 102400 Mb.");
    EXPECT_FALSE(asked_wrongly->load());
}

} // namespace
} // namespace zel
