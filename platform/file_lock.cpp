#include "platform/file_lock.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>

namespace zel::platform {

file_lock::file_lock(const std::string& path)
    : descriptor_(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600)) {}

file_lock::~file_lock() {
    unlock();
}

bool file_lock::lock() {
    if (!descriptor_.valid())
        return false;
    int result = 0;
    do
        result = ::flock(descriptor_.get(), LOCK_EX);
    while (result != 0 && errno == EINTR);
    locked_ = result == 0;
    return locked_;
}

bool file_lock::try_lock() {
    if (!descriptor_.valid())
        return false;
    locked_ = ::flock(descriptor_.get(), LOCK_EX | LOCK_NB) == 0;
    return locked_;
}

void file_lock::unlock() {
    if (locked_)
        ::flock(descriptor_.get(), LOCK_UN);
    locked_ = false;
}

} // namespace zel::platform
