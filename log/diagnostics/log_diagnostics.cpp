#include "log/diagnostics/log_diagnostics.h"

#include "Common/task_pool.h"
#include "log/core/log_event.h"
#include "log/core/log_extensions.h"
#include "log/diagnostics/cpu_info.h"
#include "log/diagnostics/crash_list_sync.h"
#include "log/diagnostics/exception_capture.h"
#include "log/diagnostics/system_information.h"
#include "platform/command_line.h"

namespace zel {

namespace {

QStringList program_arguments() {
    QStringList arguments;
    for (const std::string& argument : platform::command_line_arguments())
        arguments << QString::fromLocal8Bit(argument);
    return arguments;
}

void add_memory(TLogEvent& event) {
    platform::memory_status status;
    if (platform::read_memory_status(status))
        write_memory(event, status, true);
    else if (platform::read_basic_memory_status(status))
        write_memory(event, status, false);
}

} // namespace

void install_log_diagnostics() {
    (void)cpu_info();
    TLogDiagnosticsHooks hooks;
    hooks.add_commandline = [](TLogEvent& event, const QString& hide_if_contains) {
        write_commandline(event, hide_if_contains, program_arguments());
    };
    hooks.add_cpu = [](TLogEvent& event) {
        write_cpu(event, cpu_info(), task_pool->Getnb_thread(), default_thread_count());
    };
    hooks.add_exception = [](TLogEvent& event, const TExceptionPointers* Exception_info) {
        event.set_log_type(LK_EXCEPTION);
        write_exception(event, Exception_info);
    };
    hooks.add_memory = &add_memory;
    hooks.add_startup_info = [](TLogEvent& event) { write_startup_info(event); };
    hooks.add_winerror = [](TLogEvent& event, int code) { write_winerror(event, code); };
    hooks.sync = &sync_crash_list;
    hooks.unregister_exception_roots = [] { unregister_exception_root(nullptr); };
    hooks.register_exception_root = &register_exception_root;
    hooks.unregister_exception_root = &unregister_exception_root;
    set_log_diagnostics_hooks(std::move(hooks));
}

} // namespace zel
