#include "platform/file_handle.h"

#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zel::platform {

namespace {

int access_flags(TFileAccess access) {
    switch (access) {
    case TFileAccess::read:
        return O_RDONLY;
    case TFileAccess::write:
        return O_WRONLY;
    case TFileAccess::read_write:
        return O_RDWR;
    }
    return O_RDONLY;
}

int disposition_flags(TFileDisposition disposition) {
    switch (disposition) {
    case TFileDisposition::create_new:
        return O_CREAT | O_EXCL;
    case TFileDisposition::create_always:
        return O_CREAT | O_TRUNC;
    case TFileDisposition::open_existing:
        return 0;
    case TFileDisposition::open_always:
        return O_CREAT;
    case TFileDisposition::truncate_existing:
        return O_TRUNC;
    }
    return 0;
}

} // namespace

std::size_t max_path_length() noexcept {
    return PATH_MAX - 1; // PATH_MAX counts the terminating NUL
}

TFileHandle open_file(const std::string& path, TFileAccess access, TFileDisposition disposition) {
    // Emptying a file one may only read is refused, as Windows does.
    if (disposition == TFileDisposition::truncate_existing && access == TFileAccess::read)
        return invalid_file_handle;
    const int flags = access_flags(access) | disposition_flags(disposition) | O_CLOEXEC;
    int handle = -1;
    do
        handle = ::open(path.c_str(), flags, 0666);
    while (handle < 0 && errno == EINTR);
    return handle < 0 ? invalid_file_handle : handle;
}

void close_file(TFileHandle handle) noexcept {
    if (handle >= 0)
        ::close(handle);
}

std::int64_t read_file(TFileHandle handle, std::span<std::byte> buffer) noexcept {
    ssize_t count = -1;
    do
        count = ::read(handle, buffer.data(), buffer.size());
    while (count < 0 && errno == EINTR);
    return count;
}

std::int64_t read_file_at(TFileHandle handle, std::span<std::byte> buffer,
                          std::int64_t offset) noexcept {
    ssize_t count = -1;
    do
        count = ::pread(handle, buffer.data(), buffer.size(), offset);
    while (count < 0 && errno == EINTR);
    return count;
}

std::int64_t write_file(TFileHandle handle, std::span<const std::byte> buffer) noexcept {
    std::size_t written = 0;
    while (written < buffer.size()) {
        const ssize_t count = ::write(handle, buffer.data() + written, buffer.size() - written);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            return written == 0 ? -1 : static_cast<std::int64_t>(written);
        written += static_cast<std::size_t>(count);
    }
    return static_cast<std::int64_t>(written);
}

std::int64_t write_file_at(TFileHandle handle, std::span<const std::byte> buffer,
                           std::int64_t offset) noexcept {
    std::size_t written = 0;
    while (written < buffer.size()) {
        const ssize_t count = ::pwrite(handle, buffer.data() + written, buffer.size() - written,
                                       offset + static_cast<std::int64_t>(written));
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            return written == 0 ? -1 : static_cast<std::int64_t>(written);
        written += static_cast<std::size_t>(count);
    }
    return static_cast<std::int64_t>(written);
}

std::int64_t seek_file(TFileHandle handle, std::int64_t offset, TSeekFrom from) noexcept {
    int whence = SEEK_SET;
    if (from == TSeekFrom::current)
        whence = SEEK_CUR;
    else if (from == TSeekFrom::end)
        whence = SEEK_END;
    return ::lseek(handle, offset, whence);
}

std::int64_t file_size(TFileHandle handle) noexcept {
    struct stat status {};
    if (::fstat(handle, &status) != 0)
        return -1;
    return status.st_size;
}

bool resize_file(TFileHandle handle, std::int64_t size) noexcept {
    int result = -1;
    do
        result = ::ftruncate(handle, size);
    while (result != 0 && errno == EINTR);
    return result == 0;
}

} // namespace zel::platform
