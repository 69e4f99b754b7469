#include "filesystem/memory_stream.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <string>
#include <vector>

namespace zel {
namespace {

std::vector<std::byte> bytes(const std::string& text) {
    const auto view = std::as_bytes(std::span(text));
    return {view.begin(), view.end()};
}

std::string text_of(const std::vector<std::byte>& data) {
    std::string text(data.size(), '\0');
    std::memcpy(text.data(), data.data(), data.size());
    return text;
}

TEST(MemoryStream, ReadsWhatItHoldsThenStops) {
    TMemoryByteStream stream(bytes("abcdef"));
    std::vector<std::byte> buffer(4);
    EXPECT_EQ(stream.Read(buffer), 4);
    EXPECT_EQ(text_of(buffer), "abcd");
    EXPECT_EQ(stream.Read(buffer), 2);
    EXPECT_EQ(stream.Read(buffer), 0);
    EXPECT_EQ(stream.Size(), 6);
    EXPECT_EQ(stream.Position(), 6);
}

TEST(MemoryStream, SeekFromEachOrigin) {
    struct Case {
        std::int64_t start;
        std::int64_t offset;
        TSeekOrigin origin;
        std::int64_t result;
    };
    const auto max = std::numeric_limits<std::int64_t>::max();
    const std::vector<Case> cases = {
        {2, 3, TSeekOrigin::soBeginning, 3},  {2, 3, TSeekOrigin::soCurrent, 5},
        {2, -1, TSeekOrigin::soEnd, 5},       {2, 4, TSeekOrigin::soEnd, 10},
        {2, -3, TSeekOrigin::soCurrent, -1},  {2, -7, TSeekOrigin::soEnd, -1},
        {2, max, TSeekOrigin::soCurrent, -1},
    };
    for (const auto& c : cases) {
        TMemoryByteStream stream(bytes("abcdef"));
        stream.Seek(c.start, TSeekOrigin::soBeginning);
        EXPECT_EQ(stream.Seek(c.offset, c.origin), c.result) << c.offset;
        EXPECT_EQ(stream.Position(), c.result < 0 ? c.start : c.result);
    }
}

TEST(MemoryStream, WritesOverwriteExtendAndFillGaps) {
    TMemoryByteStream stream(bytes("abcdef"));
    stream.Seek(4, TSeekOrigin::soBeginning);
    EXPECT_EQ(stream.Write(bytes("XYZ")), 3);
    EXPECT_EQ(text_of(stream.Bytes()), "abcdXYZ");
    stream.Seek(2, TSeekOrigin::soEnd);
    EXPECT_EQ(stream.Write(bytes("!")), 1);
    EXPECT_EQ(text_of(stream.Bytes()), std::string("abcdXYZ\0\0!", 10));

    stream.Seek(3, TSeekOrigin::soBeginning);
    EXPECT_TRUE(stream.Truncate());
    EXPECT_EQ(text_of(stream.Bytes()), "abc");
    std::vector<std::byte> buffer(2);
    EXPECT_EQ(stream.Read(buffer), 0);
}

TEST(MemoryStream, AWriteBeyondWhatMemoryHoldsFails) {
    TMemoryByteStream stream;
    stream.Seek(std::numeric_limits<std::int64_t>::max() / 2, TSeekOrigin::soBeginning);
    EXPECT_EQ(stream.Write(bytes("x")), -1);
    EXPECT_FALSE(stream.Truncate());
    EXPECT_EQ(stream.Size(), 0);
}

} // namespace
} // namespace zel
