#include "platform/whole_file.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace zel::platform {

whole_file::whole_file(const std::string& path)
    : fd_(::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666)) {}

bool whole_file::replace(std::string_view contents) {
    if (!fd_.valid())
        return false;
    std::size_t done = 0;
    while (done < contents.size()) { // one call, unless the kernel takes less
        const ssize_t written = ::pwrite(fd_.get(), contents.data() + done, contents.size() - done,
                                         static_cast<off_t>(done));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            size_ = std::max<std::uint64_t>(size_, done); // the next replace cuts it off
            return false;
        }
        done += static_cast<std::size_t>(written);
    }
    if (contents.size() < size_ && ::ftruncate(fd_.get(), static_cast<off_t>(contents.size())) != 0)
        return false;
    size_ = contents.size();
    return true;
}

void whole_file::close() noexcept {
    fd_.reset();
    size_ = 0;
}

} // namespace zel::platform
