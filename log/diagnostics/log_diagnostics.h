#pragma once

namespace zel {

// Installs the diagnostics layer into the logging core: the six system-information operations
// of an event (add_commandline, add_cpu, add_exception, add_memory, add_startup_info,
// add_winerror), the crash-list file behind the root's sync, exception capture switched on and
// off for a root (the log configuration's log_exceptions) and its end at the logging unit's
// shutdown. Also identifies the processor. The program calls it once
// during start-up, before any thread logs.
void install_log_diagnostics();

} // namespace zel
