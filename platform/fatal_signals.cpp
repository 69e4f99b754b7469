#include "platform/fatal_signals.h"

#include "platform/process_info.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <thread>
#include <ucontext.h>
#include <unistd.h>

namespace zel::platform {

namespace {

constexpr int any_reason = INT_MIN;
constexpr std::uint32_t access_violation = 0xC0000005;
constexpr std::uint32_t in_page_error = 0xC0000006;
constexpr std::uint32_t stack_overflow = 0xC00000FD;
constexpr std::uint32_t float_invalid_operation = 0xC0000090;

// How a signal and its reason (si_code) become an exception code; the first matching row wins.
// `own_text`: the code has no name of its own in the log, the system's signal description is
// used (SIGABRT takes the code that abort() raises on Windows).
struct signal_mapping {
    int signal;
    int reason;
    std::uint32_t code;
    bool own_text;
};

constexpr signal_mapping mappings[] = {
    {SIGSEGV, any_reason, access_violation, false},       // stack overflow: see is_stack_overflow
    {SIGBUS, BUS_ADRALN, 0x80000002, false},              // Data misalignment
    {SIGBUS, any_reason, in_page_error, false},           // mapped file truncated, memory error
    {SIGFPE, FPE_INTDIV, 0xC0000094, false},              // Integer division by zero
    {SIGFPE, FPE_INTOVF, 0xC0000095, false},              // Integer overflow
    {SIGFPE, FPE_FLTDIV, 0xC000008E, false},              // Float division by zero
    {SIGFPE, FPE_FLTOVF, 0xC0000091, false},              // Float overflow
    {SIGFPE, FPE_FLTUND, 0xC0000093, false},              // Float underflow
    {SIGFPE, FPE_FLTRES, 0xC000008F, false},              // Float inexact result
    {SIGFPE, FPE_FLTSUB, 0xC000008C, false},              // subscript out of range
    {SIGFPE, any_reason, float_invalid_operation, false}, // refined from the FPU status
    {SIGILL, ILL_PRVOPC, 0xC0000096, false},              // Privileged instruction
    {SIGILL, ILL_PRVREG, 0xC0000096, false},
    {SIGILL, any_reason, 0xC000001D, false},  // Illegal instruction
    {SIGTRAP, TRAP_TRACE, 0x80000004, false}, // Single step debug
    {SIGTRAP, any_reason, 0x80000003, false}, // Breakpoint
    {SIGSYS, any_reason, 0xC000001C, true},
    {SIGABRT, any_reason, 0x40000015, true},
};

constexpr int handled_signals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGTRAP, SIGSYS, SIGABRT};

std::mutex install_mutex; // install and remove only; never taken by the handler
std::atomic<fatal_signal_observer> current_observer{nullptr};
bool installed = false;
struct sigaction previous_actions[NSIG]; // written before our handler goes in

std::uint32_t exception_code(int signal, int reason) {
    for (const signal_mapping& row : mappings) {
        if (row.signal == signal && (row.reason == any_reason || row.reason == reason))
            return row.code;
    }
    return 0;
}

struct machine_state {
    std::uintptr_t instruction = 0;
    std::uintptr_t stack = 0;
    bool write_access = false;
    bool execute_access = false;
};

machine_state read_machine_state(const void* context) {
    machine_state state;
    if (context == nullptr)
        return state;
    const auto* uc = static_cast<const ucontext_t*>(context);
#if defined(__x86_64__)
    state.instruction = static_cast<std::uintptr_t>(uc->uc_mcontext.gregs[REG_RIP]);
    state.stack = static_cast<std::uintptr_t>(uc->uc_mcontext.gregs[REG_RSP]);
    // Page-fault error code: bit 1 a write, bit 4 an instruction fetch.
    const auto error = static_cast<std::uint64_t>(uc->uc_mcontext.gregs[REG_ERR]);
    state.write_access = (error & 0x2U) != 0;
    state.execute_access = (error & 0x10U) != 0;
#elif defined(__aarch64__)
    state.instruction = uc->uc_mcontext.pc;
    state.stack = uc->uc_mcontext.sp;
#else
    (void)uc;
#endif
    return state;
}

// A fault at most 64 KiB below the stack pointer (a push, a probe of a new frame) is taken to be
// the thread running out of stack.
bool is_stack_overflow(std::uintptr_t fault, std::uintptr_t stack) {
    constexpr std::uintptr_t reach = 64 * 1024;
    constexpr std::uintptr_t above = 256;
    return fault != 0 && stack > reach && fault >= stack - reach && fault < stack + above;
}

std::uint32_t float_invalid_code(const void* context) {
#if defined(__x86_64__)
    const auto* fpu =
        context != nullptr ? static_cast<const ucontext_t*>(context)->uc_mcontext.fpregs : nullptr;
    if (fpu == nullptr)
        return float_invalid_operation;
    // Only conditions that are pending and unmasked (that could have trapped) count, so stale
    // sticky flags do not rename a genuine invalid operation.
    const unsigned x87 = fpu->swd & ~fpu->cwd & 0x3FU;
    const unsigned sse = fpu->mxcsr & ~(fpu->mxcsr >> 7) & 0x3FU;
    return refine_float_invalid(x87 | sse, (fpu->swd & 0x40U) != 0);
#else
    (void)context;
    return float_invalid_operation;
#endif
}

exception_record describe(int signal, const siginfo_t& info, const void* context) {
    exception_record record;
    record.code = exception_code(signal, info.si_code);
    const machine_state state = read_machine_state(context);
    const auto fault = reinterpret_cast<std::uintptr_t>(info.si_addr);
    record.address = state.instruction != 0 ? state.instruction : fault;

    if (record.code == access_violation || record.code == in_page_error) {
        if (record.code == access_violation && is_stack_overflow(fault, state.stack))
            record.code = stack_overflow;
        // The Windows parameters of a memory fault: 0 read, 1 write, 8 execute; the address.
        record.parameters[0] = state.execute_access ? 8 : (state.write_access ? 1 : 0);
        record.parameters[1] = fault;
        record.nb_parameters = 2;
    } else if (record.code == float_invalid_operation) {
        record.code = float_invalid_code(context);
    }
    return record;
}

// A fault raised by the kernel for the instruction itself happens again when the handler
// returns; anything else (kill, abort, a trap that already moved past its instruction) is sent
// again.
bool repeats_on_return(int signal, const siginfo_t& info) {
    const bool fault_signal =
        signal == SIGSEGV || signal == SIGBUS || signal == SIGFPE || signal == SIGILL;
    return fault_signal && info.si_code > 0 && info.si_code != BUS_MCEERR_AO;
}

void pass_on(int signal, siginfo_t* info, void* context) {
    const struct sigaction& previous = previous_actions[signal];
    if ((previous.sa_flags & SA_SIGINFO) != 0 && previous.sa_sigaction != nullptr) {
        previous.sa_sigaction(signal, info, context);
        return;
    }
    if (previous.sa_handler == SIG_IGN && !repeats_on_return(signal, *info))
        return;
    if (previous.sa_handler != SIG_IGN && previous.sa_handler != SIG_DFL) {
        previous.sa_handler(signal);
        return;
    }
    // Default disposition (an ignored fault cannot be ignored either): put it back and let the
    // signal happen again under it.
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    sigemptyset(&fallback.sa_mask);
    ::sigaction(signal, &fallback, nullptr);
    if (!repeats_on_return(signal, *info))
        ::raise(signal);
}

// The reporter: a thread that runs the observer for a faulting thread, so that the observer
// works on an ordinary stack, with the floating-point exceptions of an ordinary thread (masked:
// logging a floating-point fault cannot raise another), and may wait on locks without
// blocking the faulting thread forever. The handler and the reporter talk through two pipes,
// which are safe to use in a signal handler: a byte on `request` asks for a report of `slot`, a
// byte on `done` says it is finished. One report at a time: a thread that faults while another
// report is in flight is not reported.
struct fault_slot {
    exception_record record;
    std::uint32_t thread = 0;
};

class reporter {
public:
    reporter() = default;
    ~reporter() { stop(); }
    reporter(const reporter&) = delete;
    reporter& operator=(const reporter&) = delete;

    bool start() {
        if (running_.load())
            return true;
        if (::pipe2(request_, O_CLOEXEC) != 0)
            return false;
        if (::pipe2(done_, O_CLOEXEC | O_NONBLOCK) != 0) {
            close_pipe(request_);
            return false;
        }
        busy_.store(false);
        thread_ = std::make_unique<std::thread>([this] { serve(); });
        running_.store(true);
        return true;
    }

    void stop() {
        if (!running_.load())
            return;
        running_.store(false);
        const char stop_request = 'S';
        (void)!::write(request_[1], &stop_request, 1);
        thread_->join();
        thread_.reset();
        close_pipe(request_);
        close_pipe(done_);
    }

    // A forked child has no reporter thread: forget the parent's (its handle is left alone).
    void forget_after_fork() noexcept {
        if (!running_.load())
            return;
        running_.store(false);
        (void)thread_.release();
        close_pipe(request_);
        close_pipe(done_);
    }

    // In the signal handler: async-signal-safe calls only.
    void report(const exception_record& record) noexcept {
        const std::uint32_t thread = kernel_thread_id();
        bool expected = false;
        if (!running_.load() || thread == reporter_thread_.load() ||
            !busy_.compare_exchange_strong(expected, true))
            return;
        slot_.record = record;
        slot_.thread = thread;
        char stale = 0;
        while (::read(done_[0], &stale, 1) == 1) {
        }
        const char report_request = 'R';
        if (::write(request_[1], &report_request, 1) != 1) {
            busy_.store(false);
            return;
        }
        wait_done();
    }

private:
    void serve() {
        reporter_thread_.store(kernel_thread_id());
        for (;;) {
            char request = 0;
            const ssize_t got = ::read(request_[0], &request, 1);
            if (got < 0 && errno == EINTR)
                continue;
            if (got != 1 || request != 'R')
                return;
            if (const fatal_signal_observer observer = current_observer.load()) {
                exception_record record = slot_.record;
                set_acting_thread_id(slot_.thread);
                observer(exception_pointers{&record, nullptr}, slot_.thread);
                set_acting_thread_id(0);
            }
            const char finished = 'D';
            (void)!::write(done_[1], &finished, 1);
            busy_.store(false); // after the answer: the next report drains it first
        }
    }

    void wait_done() noexcept {
        timespec deadline{};
        ::clock_gettime(CLOCK_MONOTONIC, &deadline);
        const long long end_ms =
            deadline.tv_sec * 1000LL + deadline.tv_nsec / 1000000 + report_patience_ms;
        for (;;) {
            timespec now{};
            ::clock_gettime(CLOCK_MONOTONIC, &now);
            const long long left = end_ms - (now.tv_sec * 1000LL + now.tv_nsec / 1000000);
            if (left <= 0)
                return;
            pollfd done{done_[0], POLLIN, 0};
            const int ready = ::poll(&done, 1, static_cast<int>(left));
            if (ready > 0) {
                char answer = 0;
                (void)!::read(done_[0], &answer, 1);
                return;
            }
            if (ready < 0 && errno != EINTR)
                return;
        }
    }

    static void close_pipe(int (&pipe)[2]) noexcept {
        ::close(pipe[0]);
        ::close(pipe[1]);
        pipe[0] = pipe[1] = -1;
    }

    std::unique_ptr<std::thread> thread_;
    std::atomic<bool> running_{false};
    std::atomic<bool> busy_{false};
    std::atomic<std::uint32_t> reporter_thread_{0};
    int request_[2] = {-1, -1};
    int done_[2] = {-1, -1};
    fault_slot slot_;
};

reporter the_reporter;

const int fork_reset_registered =
    ::pthread_atfork(nullptr, nullptr, [] { the_reporter.forget_after_fork(); });

void on_signal(int signal, siginfo_t* info, void* context) {
    // A fault inside the handler comes back here (SA_NODEFER) and only goes on to the previous
    // disposition.
    static thread_local bool inside = false;
    const int saved_errno = errno;
    if (!inside) {
        inside = true;
        the_reporter.report(describe(signal, *info, context));
        inside = false;
    }
    errno = saved_errno;
    pass_on(signal, info, context);
}

bool is_ours(int signal) {
    struct sigaction current {};
    return ::sigaction(signal, nullptr, &current) == 0 && (current.sa_flags & SA_SIGINFO) != 0 &&
           current.sa_sigaction == &on_signal;
}

void restore_previous() {
    for (const int signal : handled_signals) {
        if (is_ours(signal))
            ::sigaction(signal, &previous_actions[signal], nullptr);
    }
}

// The alternate stack of one thread; disabled and freed when the thread ends.
class alternate_stack {
public:
    alternate_stack() {
        // A stack set up by someone else (a sanitizer runtime frees its own) stays in place.
        stack_t current{};
        if (::sigaltstack(nullptr, &current) == 0 && (current.ss_flags & SS_DISABLE) == 0)
            return;
        const long minimum = ::sysconf(_SC_SIGSTKSZ);
        // The observer formats and writes a log entry: give it far more than the minimum.
        size_ =
            std::max<std::size_t>(minimum > 0 ? static_cast<std::size_t>(minimum) : 0, 256 * 1024);
        memory_ = std::make_unique<char[]>(size_);
        stack_t stack{};
        stack.ss_sp = memory_.get();
        stack.ss_size = size_;
        active_ = ::sigaltstack(&stack, nullptr) == 0;
    }

    ~alternate_stack() {
        stack_t current{};
        if (active_ && ::sigaltstack(nullptr, &current) == 0 && current.ss_sp == memory_.get()) {
            stack_t disabled{};
            disabled.ss_flags = SS_DISABLE;
            ::sigaltstack(&disabled, nullptr);
        }
    }

    alternate_stack(const alternate_stack&) = delete;
    alternate_stack& operator=(const alternate_stack&) = delete;

private:
    std::unique_ptr<char[]> memory_;
    std::size_t size_ = 0;
    bool active_ = false;
};

} // namespace

std::uint32_t refine_float_invalid(unsigned conditions, bool stack_fault) {
    std::uint32_t code = float_invalid_operation;
    if ((conditions & 0x02U) != 0)
        code = 0xC000008D; // denormal operand
    else if ((conditions & 0x04U) != 0)
        code = 0xC000008E; // division by zero
    else if ((conditions & 0x08U) != 0)
        code = 0xC0000091; // overflow
    else if ((conditions & 0x10U) != 0)
        code = 0xC0000093; // underflow
    else if ((conditions & 0x20U) != 0)
        code = 0xC000008F; // inexact result
    if (stack_fault)
        code = 0xC0000092;
    return code;
}

bool install_fatal_signal_handlers(fatal_signal_observer observer) {
    const std::lock_guard guard(install_mutex);
    current_observer.store(observer);
    ensure_alternate_signal_stack();
    if (!the_reporter.start()) {
        current_observer.store(nullptr);
        return false;
    }
    if (installed)
        return true;

    struct sigaction ours {};
    ours.sa_sigaction = &on_signal;
    ours.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_NODEFER;
    sigemptyset(&ours.sa_mask);
    for (const int signal : handled_signals) {
        if (::sigaction(signal, nullptr, &previous_actions[signal]) != 0 ||
            ::sigaction(signal, &ours, nullptr) != 0) {
            restore_previous();
            the_reporter.stop();
            current_observer.store(nullptr);
            return false;
        }
    }
    installed = true;
    return true;
}

void remove_fatal_signal_handlers() {
    const std::lock_guard guard(install_mutex);
    if (installed)
        restore_previous();
    installed = false;
    the_reporter.stop();
    current_observer.store(nullptr);
}

void ensure_alternate_signal_stack() {
    static thread_local alternate_stack stack;
    (void)stack;
}

std::string signal_exception_text(std::uint32_t code) {
    for (const signal_mapping& row : mappings) {
        if (row.code == code && row.own_text) {
            const char* text = ::sigdescr_np(row.signal);
            return text != nullptr ? text : std::string{};
        }
    }
    return {};
}

} // namespace zel::platform
