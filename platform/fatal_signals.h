#pragma once

#include "platform/exception_record.h"

#include <cstdint>
#include <string>

namespace zel::platform {

// Called on the faulting thread, inside the signal handler, on the alternate signal stack when
// the thread has one. It must not wait on a lock. Afterwards the signal goes on to the
// disposition that was installed before ours (the default one terminates the process).
using fatal_signal_observer = void (*)(const exception_pointers& exception) noexcept;

// Catches SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGTRAP, SIGSYS and SIGABRT for the whole process and
// gives the calling thread an alternate signal stack. Replaces the observer when already
// installed; false when a handler could not be installed (nothing is left installed then).
bool install_fatal_signal_handlers(fatal_signal_observer observer);

// Puts the previous dispositions back.
void remove_fatal_signal_handlers();

// Gives the calling thread its own alternate signal stack (kept until the thread ends), so that
// a stack overflow on that thread still reaches the observer.
void ensure_alternate_signal_stack();

// The system's description of an exception code that stands for a signal without a Windows
// counterpart (e.g. "Aborted"); empty for any other code.
std::string signal_exception_text(std::uint32_t code);

// The code of a trapped invalid floating-point operation, renamed after the more precise
// condition the FPU reports with it, in this order: denormal operand (flag 0x02), division by
// zero (0x04), overflow (0x08), underflow (0x10), inexact result (0x20); an x87 stack fault wins
// over all of them. The flag bits are those of the x87 status word and of MXCSR.
std::uint32_t refine_float_invalid(unsigned conditions, bool stack_fault);

} // namespace zel::platform
