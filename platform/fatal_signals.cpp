#include "platform/fatal_signals.h"

#include "platform/alternate_signal_stack.h"
#include "platform/process_info.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <linux/futex.h>
#include <memory>
#include <mutex>
#include <pthread.h>
#include <signal.h>
#include <sys/syscall.h>
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

// A futex word is the atomic's own 32-bit storage.
static_assert(sizeof(std::atomic<std::uint32_t>) == sizeof(std::uint32_t) &&
              std::atomic<std::uint32_t>::is_always_lock_free);

long long monotonic_ms() noexcept {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * 1000LL + now.tv_nsec / 1000000;
}

// Waits on the futex word `word` while it still holds `seen`, at most until `deadline_ms` of
// CLOCK_MONOTONIC; false once the deadline has passed. A raw system call: no lock, safe in a
// signal handler. Any wake-up, spurious or not, returns true; the caller looks again.
bool wait_for_change(std::atomic<std::uint32_t>& word, std::uint32_t seen,
                     long long deadline_ms) noexcept {
    const long long left = deadline_ms - monotonic_ms();
    if (left <= 0)
        return false;
    timespec timeout{};
    timeout.tv_sec = static_cast<time_t>(left / 1000);
    timeout.tv_nsec = static_cast<long>(left % 1000) * 1000000L;
    ::syscall(SYS_futex, reinterpret_cast<std::uint32_t*>(&word), FUTEX_WAIT_PRIVATE, seen,
              &timeout, nullptr, 0);
    return true;
}

void wake_all(std::atomic<std::uint32_t>& word) noexcept {
    ::syscall(SYS_futex, reinterpret_cast<std::uint32_t*>(&word), FUTEX_WAKE_PRIVATE, INT_MAX,
              nullptr, nullptr, 0);
}

// One fault waiting for its report. The faulting thread takes a free slot and fills it, the
// reporter marks it done; a faulting thread that stops waiting marks it abandoned, and whichever
// of the two comes last frees it.
enum slot_state : std::uint32_t { slot_free, slot_filling, slot_queued, slot_done, slot_abandoned };

struct fault_slot {
    std::atomic<std::uint32_t> state{slot_free};
    exception_record record;
    std::uint32_t thread = 0;
};

// Faults reported at once; a thread that finds every slot taken waits for one within its
// patience.
constexpr std::size_t slot_count = 16;
constexpr char stop_request = static_cast<char>(0x7F);
static_assert(slot_count < 0x7F);

// The reporter: a thread that runs the observer for faulting threads, one fault after the other,
// so that the observer works on an ordinary stack, with the floating-point exceptions of an
// ordinary thread (masked: logging a floating-point fault cannot raise another), and may wait
// on locks without blocking the faulting thread forever. A faulting thread names its slot by
// one byte on the `request` pipe and waits on the futex word `progress_`, which moves (with a
// wake-up) whenever a slot changes state.
//
// A thread whose report is done still waits, within its patience, until no report is unfinished:
// passing the signal on usually ends the process, which would cut short the report of a thread
// that faulted at the same time.
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
        for (fault_slot& slot : slots_)
            slot.state.store(slot_free);
        unfinished_.store(0);
        thread_ = std::make_unique<std::thread>([this] { serve(); });
        running_.store(true);
        return true;
    }

    void stop() {
        if (!running_.load())
            return;
        running_.store(false);
        (void)!::write(request_[1], &stop_request, 1);
        thread_->join();
        thread_.reset();
        close_pipe(request_);
    }

    // A forked child has no reporter thread: forget the parent's (its handle is left alone).
    void forget_after_fork() noexcept {
        if (!running_.load())
            return;
        running_.store(false);
        (void)thread_.release();
        close_pipe(request_);
    }

    // In the signal handler: async-signal-safe calls only.
    void report(const exception_record& record) noexcept {
        const std::uint32_t thread = kernel_thread_id();
        if (!running_.load() || thread == reporter_thread_.load())
            return;
        const long long deadline = monotonic_ms() + report_patience_ms;
        fault_slot* const slot = claim(deadline);
        if (slot == nullptr)
            return;
        slot->record = record;
        slot->thread = thread;
        slot->state.store(slot_queued);
        const auto index = static_cast<char>(slot - slots_.data());
        if (::write(request_[1], &index, 1) != 1) {
            release(*slot);
            wait_for_all(deadline);
            return;
        }
        wait_until([slot] { return slot->state.load() == slot_done; }, deadline);
        std::uint32_t queued = slot_queued;
        if (!slot->state.compare_exchange_strong(queued, slot_abandoned))
            release(*slot); // done
        wait_for_all(deadline);
    }

private:
    // A free slot, counted as unfinished from before it is taken, so that no thread that has
    // begun to report is ever missed by wait_for_all; null when none frees up in time.
    fault_slot* claim(long long deadline) noexcept {
        unfinished_.fetch_add(1);
        for (;;) {
            const std::uint32_t seen = progress_.load();
            for (fault_slot& slot : slots_) {
                std::uint32_t free = slot_free;
                if (slot.state.compare_exchange_strong(free, slot_filling))
                    return &slot;
            }
            if (!wait_for_change(progress_, seen, deadline)) {
                unfinished_.fetch_sub(1);
                announce();
                return nullptr;
            }
        }
    }

    void release(fault_slot& slot) noexcept {
        slot.state.store(slot_free);
        unfinished_.fetch_sub(1);
        announce();
    }

    void announce() noexcept {
        progress_.fetch_add(1);
        wake_all(progress_);
    }

    template <typename Condition>
    void wait_until(Condition condition, long long deadline) noexcept {
        for (;;) {
            const std::uint32_t seen = progress_.load();
            if (condition() || !wait_for_change(progress_, seen, deadline))
                return;
        }
    }

    void wait_for_all(long long deadline) noexcept {
        wait_until([this] { return unfinished_.load() == 0; }, deadline);
    }

    void serve() {
        ensure_alternate_signal_stack();
        reporter_thread_.store(kernel_thread_id());
        for (;;) {
            char request = 0;
            const ssize_t got = ::read(request_[0], &request, 1);
            if (got < 0 && errno == EINTR)
                continue;
            if (got != 1 || static_cast<unsigned char>(request) >= slot_count)
                return;
            fault_slot& slot = slots_[static_cast<unsigned char>(request)];
            if (slot.state.load() != slot_queued && slot.state.load() != slot_abandoned)
                continue;
            exception_record record = slot.record;
            const std::uint32_t faulting_thread = slot.thread;
            if (const fatal_signal_observer observer = current_observer.load()) {
                set_acting_thread_id(faulting_thread);
                observer(exception_pointers{&record, nullptr}, faulting_thread);
                set_acting_thread_id(0);
            }
            std::uint32_t queued = slot_queued;
            if (slot.state.compare_exchange_strong(queued, slot_done))
                announce();
            else
                release(slot); // its thread stopped waiting
        }
    }

    static void close_pipe(int (&pipe)[2]) noexcept {
        ::close(pipe[0]);
        ::close(pipe[1]);
        pipe[0] = pipe[1] = -1;
    }

    std::unique_ptr<std::thread> thread_;
    std::atomic<bool> running_{false};
    std::atomic<std::uint32_t> reporter_thread_{0};
    std::atomic<std::uint32_t> progress_{0};   // futex word
    std::atomic<std::uint32_t> unfinished_{0}; // threads that have begun to report, not yet done
    int request_[2] = {-1, -1};
    std::array<fault_slot, slot_count> slots_;
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
