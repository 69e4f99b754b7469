#include "filesystem/handle_stream.h"

namespace zel {

std::int64_t THandleStream::Read(std::span<std::byte> buffer) {
    return platform::read_file(FHandle, buffer);
}

std::int64_t THandleStream::Write(std::span<const std::byte> buffer) {
    return platform::write_file(FHandle, buffer);
}

std::int64_t THandleStream::Seek(std::int64_t offset, TSeekOrigin origin) {
    platform::TSeekFrom from = platform::TSeekFrom::beginning;
    if (origin == TSeekOrigin::soCurrent)
        from = platform::TSeekFrom::current;
    else if (origin == TSeekOrigin::soEnd)
        from = platform::TSeekFrom::end;
    return platform::seek_file(FHandle, offset, from);
}

std::int64_t THandleStream::Size() {
    return platform::file_size(FHandle);
}

bool THandleStream::Truncate() {
    const std::int64_t position = Position();
    return position >= 0 && platform::resize_file(FHandle, position);
}

} // namespace zel
