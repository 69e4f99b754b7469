#include "platform/whole_file.h"

#include "platform/file_handle.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <span>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zel::platform {

namespace {

int open_flags(whole_file_open how) {
    switch (how) {
    case whole_file_open::create_new:
        return O_CREAT | O_EXCL;
    case whole_file_open::open_existing:
        return 0;
    case whole_file_open::open_always:
        return O_CREAT;
    }
    return 0;
}

} // namespace

whole_file_status whole_file::open(const std::string& path, whole_file_open how) {
    close();
    int fd = -1;
    do
        fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC | open_flags(how), 0666);
    while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        if (errno == EEXIST)
            return whole_file_status::name_taken;
        return errno == ENOENT && how == whole_file_open::open_existing ? whole_file_status::missing
                                                                        : whole_file_status::failed;
    }
    unique_descriptor descriptor(fd);
    // Another writer keeps it; a file system without locks leaves the file unguarded.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK)
        return whole_file_status::in_use;
    struct stat status {};
    if (::fstat(fd, &status) != 0)
        return whole_file_status::failed;
    identity_ = {static_cast<std::uint64_t>(status.st_dev),
                 static_cast<std::uint64_t>(status.st_ino)};
    size_ = static_cast<std::uint64_t>(status.st_size);
    written_ = 0;
    fd_ = std::move(descriptor);
    return whole_file_status::opened;
}

bool whole_file::replace(std::string_view contents) {
    written_ = 0;
    if (!fd_.valid())
        return false;
    // One call, unless the kernel takes less.
    const std::int64_t count = write_file_at(fd_.get(), std::as_bytes(std::span(contents)), 0);
    const std::size_t done = count < 0 ? 0 : static_cast<std::size_t>(count);
    written_ = done;
    if (done < contents.size()) {
        size_ = std::max<std::uint64_t>(size_, done);
        return false;
    }
    if (contents.size() < size_ && !cut(contents.size()))
        return false;
    size_ = contents.size();
    return true;
}

bool whole_file::cut(std::uint64_t size) {
    if (!fd_.valid())
        return false;
    int result = -1;
    do
        result = ::ftruncate(fd_.get(), static_cast<off_t>(size));
    while (result != 0 && errno == EINTR);
    if (result != 0)
        return false;
    size_ = size;
    return true;
}

void whole_file::close() noexcept {
    fd_.reset(); // the lock goes with the descriptor
    identity_ = {};
    size_ = 0;
    written_ = 0;
}

} // namespace zel::platform
