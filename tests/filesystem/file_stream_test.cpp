#include "filesystem/zel_file_info.h"
#include "filesystem/zel_file_stream.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace zel {
namespace {

namespace fs = std::filesystem;
using platform::TFileAccess;
using platform::TFileDisposition;

std::span<const std::byte> bytes_of(const std::string& text) {
    return std::as_bytes(std::span(text));
}

std::string read_all(TByteStream& stream) {
    std::string text(256, '\0');
    const auto count = stream.Read(std::as_writable_bytes(std::span(text)));
    text.resize(count > 0 ? static_cast<std::size_t>(count) : 0U);
    return text;
}

class FileStream : public testing::Test {
protected:
    void SetUp() override {
        std::random_device random;
        root = fs::temp_directory_path() /
               ("zel_file_stream_" + std::to_string(random()) + std::to_string(random()));
        fs::create_directories(root);
    }

    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(root, ignored);
    }

    std::string path(const std::string& relative) const { return (root / relative).string(); }

    void write_file(const std::string& relative, const std::string& content) const {
        std::ofstream(root / relative, std::ios::binary) << content;
    }

    fs::path root;
};

TEST_F(FileStream, ReadingAMissingFileGivesAClosedStream) {
    const auto stream = TZelFileStream::Create_to_read(path("missing.log"));
    EXPECT_FALSE(stream->Opened());
    EXPECT_FALSE(fs::exists(path("missing.log")));
    std::byte buffer[4];
    EXPECT_EQ(stream->Read(buffer), -1);
    EXPECT_EQ(stream->Write(bytes_of("x")), -1);
    std::shared_ptr<IFileInfo> info;
    EXPECT_FALSE(stream->informations(info));
    EXPECT_EQ(info, nullptr);
}

TEST_F(FileStream, WritingCreatesTheDirectoriesAndKeepsAnExistingContent) {
    const std::string name = path("a/b/c/log.txt");
    {
        const auto stream = TZelFileStream::Create_to_write(name);
        ASSERT_TRUE(stream->Opened());
        EXPECT_EQ(stream->Write(bytes_of("hello")), 5);
    }
    EXPECT_TRUE(fs::is_directory(path("a/b/c")));
    const auto again = TZelFileStream::Create_to_write(name);
    ASSERT_TRUE(again->Opened());
    EXPECT_EQ(again->Size(), 5);
    EXPECT_EQ(read_all(*again), "hello");
}

TEST_F(FileStream, PathIsTheDirectoryWithItsDelimiter) {
    struct Case {
        std::string name;
        std::string path;
    };
    const std::vector<Case> cases = {
        {"/logs/run.log", "/logs/"},
        {"/run.log", "/"},
        {"relative/dir/run.log", "relative/dir/"},
        {"run.log", ""},
    };
    for (const auto& c : cases) {
        const auto stream = TZelFileStream::Create_to_read(c.name);
        EXPECT_EQ(stream->Path(), c.path) << c.name;
        EXPECT_EQ(stream->FileName(), c.name);
    }
}

TEST_F(FileStream, InvalidNamesAreRefusedBeforeAnythingIsCreated) {
    const std::vector<std::string> names = {
        "",
        path("with") + std::string(1, '\0') + "nul/x.log",
        path(std::string(platform::max_path_length(), 'n')),
    };
    for (const auto& name : names) {
        try {
            TZelFileStream::Create_to_write(name);
            ADD_FAILURE() << "accepted a name of " << name.size() << " bytes";
        } catch (const EFileStreamError& error) {
            EXPECT_STREQ(error.what(), "Invalid characters in file name");
        }
    }
    EXPECT_TRUE(fs::is_empty(root));
}

TEST_F(FileStream, ADirectoryThatCannotBeCreatedIsReported) {
    write_file("plain", "not a directory");
    try {
        TZelFileStream::Create_to_write(path("plain/sub/x.log"));
        ADD_FAILURE() << "no error";
    } catch (const EFileStreamError& error) {
        EXPECT_EQ(std::string(error.what()),
                  "Can't create directory \"" + path("plain/sub") + "\"");
    }
}

TEST_F(FileStream, EachDispositionCreatesOpensOrEmptiesAsNamed) {
    struct Case {
        TFileDisposition disposition;
        TFileAccess access;
        bool exists;
        bool opened;
        bool exists_after;
        std::string content_after;
    };
    const auto rw = TFileAccess::read_write;
    const std::vector<Case> cases = {
        {TFileDisposition::create_new, rw, true, false, true, "old"},
        {TFileDisposition::create_new, rw, false, true, true, ""},
        {TFileDisposition::create_always, rw, true, true, true, ""},
        {TFileDisposition::create_always, rw, false, true, true, ""},
        {TFileDisposition::open_existing, rw, true, true, true, "old"},
        {TFileDisposition::open_existing, rw, false, false, false, ""},
        {TFileDisposition::open_always, rw, true, true, true, "old"},
        {TFileDisposition::open_always, rw, false, true, true, ""},
        {TFileDisposition::truncate_existing, rw, true, true, true, ""},
        {TFileDisposition::truncate_existing, rw, false, false, false, ""},
        {TFileDisposition::truncate_existing, TFileAccess::read, true, false, true, "old"},
        {TFileDisposition::open_existing, TFileAccess::write, true, true, true, "old"},
    };
    int row = 0;
    for (const auto& c : cases) {
        const std::string name = "row" + std::to_string(row++);
        if (c.exists)
            write_file(name, "old");
        {
            TZelFileStream stream(path(name), false, c.access, c.disposition);
            EXPECT_EQ(stream.Opened(), c.opened) << name;
        }
        EXPECT_EQ(fs::exists(path(name)), c.exists_after) << name;
        if (c.exists_after) {
            std::ifstream file(path(name), std::ios::binary);
            const std::string content((std::istreambuf_iterator<char>(file)), {});
            EXPECT_EQ(content, c.content_after) << name;
        }
    }
}

TEST_F(FileStream, SeekSizeAndTruncate) {
    const auto stream = TZelFileStream::Create_to_write(path("data.bin"));
    ASSERT_EQ(stream->Write(bytes_of("0123456789")), 10);
    EXPECT_EQ(stream->Position(), 10);
    EXPECT_EQ(stream->Seek(-4, TSeekOrigin::soEnd), 6);
    EXPECT_EQ(read_all(*stream), "6789");
    EXPECT_EQ(stream->Seek(3, TSeekOrigin::soBeginning), 3);
    EXPECT_EQ(stream->Seek(-10, TSeekOrigin::soCurrent), -1);
    EXPECT_EQ(stream->Position(), 3);
    EXPECT_TRUE(stream->Truncate());
    EXPECT_EQ(stream->Size(), 3);
    EXPECT_EQ(stream->Seek(0, TSeekOrigin::soBeginning), 0);
    EXPECT_EQ(read_all(*stream), "012");
}

TEST_F(FileStream, ClonesAreIndependentReadOnlyViews) {
    write_file("shared.log", "content");
    const auto reader = TZelFileStream::Create_to_read(path("shared.log"));
    reader->Seek(3, TSeekOrigin::soBeginning);
    const auto view = reader->clone();
    ASSERT_TRUE(view->Opened());
    EXPECT_EQ(view->FileName(), reader->FileName());
    EXPECT_EQ(read_all(*view), "content");
    EXPECT_EQ(view->Write(bytes_of("x")), -1);

    // A writer's clone opens too and sees what the writer wrote.
    const auto writer = TZelFileStream::Create_to_write(path("written.log"));
    ASSERT_EQ(writer->Write(bytes_of("new")), 3);
    const auto follower = writer->clone();
    ASSERT_TRUE(follower->Opened());
    EXPECT_EQ(read_all(*follower), "new");
}

TEST_F(FileStream, InformationOfAFile) {
    const auto stream = TZelFileStream::Create_to_write(path("info.log"));
    ASSERT_EQ(stream->Write(bytes_of("12345")), 5);
    std::shared_ptr<IFileInfo> info;
    ASSERT_TRUE(stream->informations(info));
    ASSERT_TRUE(info->Valid());
    EXPECT_FALSE(info->Directory());
    EXPECT_FALSE(info->DeletePending());
    EXPECT_EQ(info->EndOfFile(), 5);
    EXPECT_EQ(info->NumberOfLinks(), 1U);
    EXPECT_EQ(info->FileName(), fs::canonical(path("info.log")).string());

    // The times are this file's, from just now (within a generous hour).
    const auto since_epoch = std::chrono::system_clock::now().time_since_epoch();
    const auto now = file_time_from_unix(
        {std::chrono::duration_cast<std::chrono::seconds>(since_epoch).count(), 0});
    constexpr std::int64_t hour = 36000000000;
    for (const std::int64_t time :
         {info->CreationTime(), info->LastWriteTime(), info->ChangeTime(), info->LastAccessTime()})
        EXPECT_LT(std::abs(time - now), hour);
    EXPECT_LE(info->CreationTime(), info->LastWriteTime());
    EXPECT_DOUBLE_EQ(info->LastWriteDateTime(), date_time_from_file_time(info->LastWriteTime()));

    // Identity: the same file through another handle, another file differs.
    std::shared_ptr<IFileInfo> same;
    ASSERT_TRUE(stream->clone()->informations(same));
    EXPECT_EQ(same->FileID(), info->FileID());
    EXPECT_EQ(same->VolumeSerialNumber(), info->VolumeSerialNumber());
    std::shared_ptr<IFileInfo> other;
    ASSERT_TRUE(TZelFileStream::Create_to_write(path("other.log"))->informations(other));
    EXPECT_NE(other->FileID(), info->FileID());

    // Deleted while open.
    fs::remove(path("info.log"));
    ASSERT_TRUE(stream->informations(info));
    EXPECT_TRUE(info->DeletePending());
    EXPECT_EQ(info->NumberOfLinks(), 0U);
}

TEST_F(FileStream, InformationOfADirectory) {
    fs::create_directories(path("folder"));
    const auto stream = TZelFileStream::Create_to_read(path("folder"));
    ASSERT_TRUE(stream->Opened());
    std::shared_ptr<IFileInfo> info;
    ASSERT_TRUE(stream->informations(info));
    EXPECT_TRUE(info->Valid());
    EXPECT_TRUE(info->Directory());
    EXPECT_GE(info->NumberOfLinks(), 2U);
    EXPECT_EQ(info->FileName(), fs::canonical(path("folder")).string());
}

TEST(FileInfo, AnUnusableHandleGivesNoInformation) {
    const TZelFileInfo info(platform::invalid_file_handle, "");
    EXPECT_FALSE(info.Valid());
    EXPECT_EQ(info.FileName(), "");
    EXPECT_EQ(info.EndOfFile(), 0);
    EXPECT_EQ(info.LastWriteTime(), 0);
    EXPECT_DOUBLE_EQ(info.LastWriteDateTime(), -109205.0);

    const TZelFileInfo named(platform::invalid_file_handle, "given.log");
    EXPECT_EQ(named.FileName(), "given.log");
}

} // namespace
} // namespace zel
