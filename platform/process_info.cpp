#include "platform/process_info.h"

#include <filesystem>
#include <pthread.h>
#include <sys/syscall.h>
#include <system_error>
#include <unistd.h>

namespace zel::platform {

namespace {

// Cached per thread: the id never changes for a thread and is read on every log event's path.
thread_local std::uint32_t cached_thread_id = 0;

// The only thread of a forked child inherits the parent thread's cache; make it ask again.
const int fork_reset_registered = ::pthread_atfork(nullptr, nullptr, [] { cached_thread_id = 0; });

} // namespace

std::uint32_t kernel_thread_id() noexcept {
    return static_cast<std::uint32_t>(::syscall(SYS_gettid));
}

std::uint32_t current_thread_id() noexcept {
    if (cached_thread_id == 0)
        cached_thread_id = kernel_thread_id();
    return cached_thread_id;
}

void set_acting_thread_id(std::uint32_t id) noexcept {
    cached_thread_id = id;
}

std::uint32_t current_process_id() noexcept {
    return static_cast<std::uint32_t>(::getpid());
}

std::string executable_path() {
    std::error_code error;
    return std::filesystem::read_symlink("/proc/self/exe", error).string();
}

} // namespace zel::platform
