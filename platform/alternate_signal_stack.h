#pragma once

namespace zel::platform {

// Gives the calling thread its own alternate signal stack, so that a stack overflow on that
// thread still reaches the fatal-signal handler. Cheap after the first call on a thread; the
// stack is freed when the thread ends. A stack set up by someone else (a sanitizer runtime)
// stays in place. Called by every thread that logs and at the start of every thread the
// library starts.
void ensure_alternate_signal_stack() noexcept;

} // namespace zel::platform
