#include "filesystem/memory_stream.h"

#include <algorithm>
#include <exception>
#include <limits>
#include <utility>

namespace zel {

TMemoryByteStream::TMemoryByteStream(std::vector<std::byte> bytes)
    : FBytes(std::move(bytes)) {}

std::int64_t TMemoryByteStream::Read(std::span<std::byte> buffer) {
    const auto size = static_cast<std::int64_t>(FBytes.size());
    if (FPosition >= size)
        return 0;
    const auto count = std::min(static_cast<std::int64_t>(buffer.size()), size - FPosition);
    const auto first = FBytes.begin() + FPosition;
    std::copy(first, first + count, buffer.begin());
    FPosition += count;
    return count;
}

std::int64_t TMemoryByteStream::Write(std::span<const std::byte> buffer) {
    const auto count = static_cast<std::int64_t>(buffer.size());
    if (FPosition > std::numeric_limits<std::int64_t>::max() - count)
        return -1;
    const auto end = static_cast<std::size_t>(FPosition + count);
    if (end > FBytes.size() && !Resize(end))
        return -1;
    std::copy(buffer.begin(), buffer.end(), FBytes.begin() + FPosition);
    FPosition += count;
    return count;
}

std::int64_t TMemoryByteStream::Seek(std::int64_t offset, TSeekOrigin origin) {
    std::int64_t base = 0;
    if (origin == TSeekOrigin::soCurrent)
        base = FPosition;
    else if (origin == TSeekOrigin::soEnd)
        base = static_cast<std::int64_t>(FBytes.size());
    if ((offset > 0 && base > std::numeric_limits<std::int64_t>::max() - offset) ||
        base + offset < 0)
        return -1;
    FPosition = base + offset;
    return FPosition;
}

std::int64_t TMemoryByteStream::Size() {
    return static_cast<std::int64_t>(FBytes.size());
}

bool TMemoryByteStream::Truncate() {
    return Resize(static_cast<std::size_t>(FPosition));
}

bool TMemoryByteStream::Resize(std::size_t size) noexcept {
    // A stream in memory larger than any machine's memory is refused before asking for it.
    constexpr std::size_t largest = std::size_t{1} << 39;
    if (size > largest)
        return false;
    try {
        FBytes.resize(size);
        return true;
    } catch (const std::exception&) { // more than memory holds
        return false;
    }
}

} // namespace zel
