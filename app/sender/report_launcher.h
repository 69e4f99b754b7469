#pragma once

#include <QString>

#include <memory>

namespace zel {

class TStartedProcess;

// What start_process gives back; all empty when the process could not be created.
struct TProcessInformation {
    std::shared_ptr<TStartedProcess> hProcess;
    qint64 dwProcessId = 0;
};

// Upper limit of a report tool's run: a hung tool must not hold the send for ever.
inline constexpr int report_tool_time_limit_ms = 10 * 60 * 1000;

// Starts the report tool with `tool_path -raw_report /report_path="..." /comment="..."` and
// waits for its end while the event loop runs. False when no file exists at `tool_path`, or
// when the tool was still running after `time_limit_ms` (it is then stopped, with a warning).
bool create_raw_report(const QString& tool_path, const QString& report_path, const QString& comment,
                       int time_limit_ms = report_tool_time_limit_ms);

// Starts the program that the command line names; the line is split the Windows way
// (split_command_line). A non-negative `idle_timeout_ms` waits up to that long for the process
// to have started. `show` has no meaning for a program without a window here.
void start_process(const QString& command_line, int idle_timeout_ms, bool show,
                   TProcessInformation& process_information);

// Runs the event loop until the process has ended, or until `time_limit_ms` has passed (a
// negative limit waits without end); false when the limit ended the wait. Nothing to wait for
// gives true at once.
bool wait_for_process(const TProcessInformation& process_information, int time_limit_ms);

// Stops a process that is still running and waits for its end.
void kill_process(const TProcessInformation& process_information);

} // namespace zel
