#pragma once

// Helpers with which a test raises a real fault the compiler cannot see coming or fold away,
// and judges how the process that raised it ended.

#include <csignal>
#include <sys/wait.h>

namespace zel::test {

// `value`, passed through a volatile so that the compiler cannot fold what follows.
template <typename T>
T opaque(T value) {
    volatile T copy = value;
    return copy;
}

// Recurses until the stack runs out (the depth never goes negative).
inline int recurse(int depth) {
    if (opaque(depth) < 0)
        return 0;
    volatile char frame[512];
    frame[0] = static_cast<char>(depth);
    return recurse(depth + 1) + frame[0];
}

// `dividend` / `divisor` with no sanitizer's check in the way, so that a division by zero traps
// for real.
__attribute__((no_sanitize("integer-divide-by-zero"))) inline int divide(int dividend,
                                                                         int divisor) {
    return dividend / divisor;
}

// A death-test predicate: the child was ended by `signal`, or, where a runtime (a sanitizer)
// had its own handler for the signal before the capture was installed, by that handler, which
// reports the fault and exits in its own way once the capture passes the signal on.
struct ended_by {
    int signal;

    bool operator()(int status) const {
        if (WIFSIGNALED(status))
            return WTERMSIG(status) == signal;
        struct sigaction previous {};
        const bool runtime_handler =
            ::sigaction(signal, nullptr, &previous) == 0 && (previous.sa_flags & SA_SIGINFO) != 0;
        return runtime_handler && WIFEXITED(status) && WEXITSTATUS(status) != 0;
    }
};

} // namespace zel::test
