#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace zel {

enum class TSeekOrigin { soBeginning, soCurrent, soEnd };

// A seekable stream of bytes. Failures are results, never exceptions.
class TByteStream {
public:
    virtual ~TByteStream() = default;

    // Bytes read into buffer (0 at the end), or -1 when the stream cannot be read.
    virtual std::int64_t Read(std::span<std::byte> buffer) = 0;
    // Bytes written, or -1 when the stream cannot be written.
    virtual std::int64_t Write(std::span<const std::byte> buffer) = 0;
    // The new position, or -1 (the position is unchanged) when it cannot be reached.
    virtual std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) = 0;
    // -1 when unknown.
    virtual std::int64_t Size() = 0;
    // Makes the current position the end of the stream.
    virtual bool Truncate() = 0;

    std::int64_t Position() { return Seek(0, TSeekOrigin::soCurrent); }
};

} // namespace zel
