#include "platform/alternate_signal_stack.h"

#include <algorithm>
#include <csignal>
#include <cstddef>
#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

namespace zel::platform {

namespace {

// The handler itself needs little (the report is written by another thread), but the signal
// goes on to whatever handler was installed before ours, which may need more. The pages are
// mapped on demand, so an unused stack costs address space only; a guard page below it turns
// an overflow of the alternate stack into a fault instead of a write into the heap.
constexpr std::size_t wanted_size = 128 * 1024;

std::size_t page_size() {
    const long size = ::sysconf(_SC_PAGESIZE);
    return size > 0 ? static_cast<std::size_t>(size) : 4096;
}

class alternate_stack {
public:
    alternate_stack() noexcept {
        stack_t current{};
        if (::sigaltstack(nullptr, &current) != 0 || (current.ss_flags & SS_DISABLE) == 0)
            return;
        const std::size_t page = page_size();
        const long minimum = ::sysconf(_SC_SIGSTKSZ);
        const std::size_t usable =
            (std::max<std::size_t>(minimum > 0 ? static_cast<std::size_t>(minimum) : 0,
                                   wanted_size) +
             page - 1) /
            page * page;
        void* memory = ::mmap(nullptr, usable + page, PROT_READ | PROT_WRITE,
                              MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE | MAP_STACK, -1, 0);
        if (memory == MAP_FAILED)
            return;
        mapping_ = memory;
        mapping_size_ = usable + page;
        ::mprotect(mapping_, page, PROT_NONE);
        stack_t stack{};
        stack.ss_sp = static_cast<char*>(mapping_) + page;
        stack.ss_size = usable;
        if (::sigaltstack(&stack, nullptr) == 0)
            in_use_ = stack.ss_sp;
    }

    ~alternate_stack() {
        stack_t current{};
        if (in_use_ != nullptr && ::sigaltstack(nullptr, &current) == 0 &&
            current.ss_sp == in_use_) {
            stack_t disabled{};
            disabled.ss_flags = SS_DISABLE;
            ::sigaltstack(&disabled, nullptr);
        }
        if (mapping_ != nullptr)
            ::munmap(mapping_, mapping_size_);
    }

    alternate_stack(const alternate_stack&) = delete;
    alternate_stack& operator=(const alternate_stack&) = delete;

private:
    void* mapping_ = nullptr;
    std::size_t mapping_size_ = 0;
    void* in_use_ = nullptr;
};

} // namespace

void ensure_alternate_signal_stack() noexcept {
    static thread_local const alternate_stack stack;
    (void)stack;
}

} // namespace zel::platform
