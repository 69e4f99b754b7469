#pragma once

#include "log/core/log_interfaces.h"
#include "log/diagnostics/cpu_info.h"
#include "platform/memory_status.h"

#include <QLocale>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <vector>

namespace zel {

// The system-information events. Each writer adds its lines to `event` with the event's
// formatted add, inside one update, so that the event is committed once, after its last line.

// "Command line: %d parameter(s)", then "Param #%.2d: \"%s\"" for the program (number 00) and
// each parameter, leaving out those that contain `hide_if_contains` (in any letter case).
void write_commandline(ILogEvent& event, const QString& hide_if_contains,
                       const QStringList& arguments);

// The processor's name and core layout, the worker counts and the instruction-set extensions.
void write_cpu(ILogEvent& event, const cpu_record& cpu, std::int32_t pool_threads,
               std::int32_t parallel_threads);

// Eight memory lines from the full figures, or five from the basic ones.
void write_memory(ILogEvent& event, const platform::memory_status& status, bool full);

// The operating system, the program or library with its version, and the languages.
void write_startup_info(ILogEvent& event);

// "Windows Error 0x%.8X - \"%s\"" for an error code (errno); nothing for 0.
void write_winerror(ILogEvent& event, int code);

// The exception's name, address and parameters, with the record kept as the event's value.
void write_exception(ILogEvent& event, const TExceptionPointers* Exception_info);

// The format and arguments of the OS line; builds from 8250 on are all named "Windows 8".
struct TOsLine {
    QString format;
    std::vector<TLogArg> args;
};
TOsLine os_line(const QString& name, const QString& bits, std::uint32_t build,
                std::int32_t service_pack_major, std::int32_t service_pack_minor);

// "English (United States)"; "C" for the C locale.
QString locale_display_name(const QLocale& locale);

} // namespace zel
