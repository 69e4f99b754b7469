#pragma once

#include "filesystem/byte_stream.h"
#include "platform/file_handle.h"

namespace zel {

// A byte stream over a file handle that it neither opens nor closes.
class THandleStream : public TByteStream {
public:
    explicit THandleStream(platform::TFileHandle handle) noexcept
        : FHandle(handle) {}

    std::int64_t Read(std::span<std::byte> buffer) override;
    std::int64_t Write(std::span<const std::byte> buffer) override;
    std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
    std::int64_t Size() override;
    bool Truncate() override;

    platform::TFileHandle Handle() const noexcept { return FHandle; }

protected:
    platform::TFileHandle FHandle;
};

} // namespace zel
