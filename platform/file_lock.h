#pragma once

#include "platform/unique_descriptor.h"

#include <string>

namespace zel::platform {

// An advisory lock on a file shared by all processes that name the same file. The kernel
// releases it when the holding process dies, however it dies. The lock file is created when
// missing and never deleted (deleting it would let two processes hold locks on two files).
class file_lock {
public:
    explicit file_lock(const std::string& path);
    ~file_lock();

    file_lock(const file_lock&) = delete;
    file_lock& operator=(const file_lock&) = delete;

    // Waits for the lock; false when the lock file cannot be opened.
    bool lock();
    // Takes the lock only when nobody holds it.
    bool try_lock();
    void unlock();

private:
    unique_descriptor descriptor_;
    bool locked_ = false;
};

} // namespace zel::platform
