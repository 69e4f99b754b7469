#pragma once

#include "platform/exception_record.h"

#include <cstdint>
#include <string>

namespace zel::platform {

// Receives one fatal signal, described as an exception record, on the capture's own reporter
// thread (an ordinary thread: it may take locks and allocate) while the faulting thread waits
// in its signal handler. current_thread_id() of the reporter answers the faulting thread's id
// during the call. The context of the record is null.
using fatal_signal_observer = void (*)(const exception_pointers& exception,
                                       std::uint32_t faulting_thread) noexcept;

// Catches SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGTRAP, SIGSYS and SIGABRT for the whole process,
// starts the reporter thread and gives the calling thread an alternate signal stack (other
// threads need ensure_alternate_signal_stack for a stack overflow to be caught). Faults of
// several threads at once are reported one after the other. A faulting thread waits at most
// `report_patience_ms` from its fault, first for its own report, then until no other thread's
// report is unfinished; a report that does not finish in time (the observer waits on a lock that
// a faulting thread holds) is given up. Then the signal goes on to the disposition that was
// installed before ours (the default one ends the process). Replaces the observer when already
// installed; false when a handler could not be installed (nothing is left installed then).
bool install_fatal_signal_handlers(fatal_signal_observer observer);

// Puts the previous dispositions back and stops the reporter thread.
void remove_fatal_signal_handlers();

inline constexpr int report_patience_ms = 3000;

// The system's description of an exception code that stands for a signal without a Windows
// counterpart (e.g. "Aborted"); empty for any other code.
std::string signal_exception_text(std::uint32_t code);

// The code of a trapped invalid floating-point operation, renamed after the more precise
// condition the FPU reports with it, in this order: denormal operand (flag 0x02), division by
// zero (0x04), overflow (0x08), underflow (0x10), inexact result (0x20); an x87 stack fault wins
// over all of them. The flag bits are those of the x87 status word and of MXCSR.
std::uint32_t refine_float_invalid(unsigned conditions, bool stack_fault);

} // namespace zel::platform
