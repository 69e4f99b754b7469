#pragma once

#include "filesystem/byte_stream.h"

#include <vector>

namespace zel {

// A byte stream held in memory. The position may be set beyond the end; a write there fills
// the gap with zeros.
class TMemoryByteStream final : public TByteStream {
public:
    TMemoryByteStream() = default;
    explicit TMemoryByteStream(std::vector<std::byte> bytes);

    std::int64_t Read(std::span<std::byte> buffer) override;
    std::int64_t Write(std::span<const std::byte> buffer) override;
    std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
    std::int64_t Size() override;
    bool Truncate() override;

    const std::vector<std::byte>& Bytes() const noexcept { return FBytes; }

private:
    bool Resize(std::size_t size) noexcept;

    std::vector<std::byte> FBytes;
    std::int64_t FPosition = 0;
};

} // namespace zel
