#pragma once

#include "log/core/log_interfaces.h"

#include <QString>

#include <functional>

namespace zel {

class TLogEvent;
class TLogRoot;

// The logging core does not depend on the layers above it. What they add to the core's
// operations reaches it through these hooks, which each layer installs from its own install
// function (install_log_persistence, install_log_diagnostics) during the program's start-up,
// before any thread logs. A hook that is not installed does nothing: new_storage gives null,
// LoadFromFile and LoadFromStream give false, the system-information adders add nothing and the
// crash-list operations report false.

// File storages and the loader.
struct TLogPersistenceHooks {
    std::function<ILogStoragePtr()> new_storage;
    std::function<bool(const ILogGroupPtr& group, const QString& FileName)> load_from_file;
    std::function<bool(const ILogGroupPtr& group, TByteStream& FileStream, const QString& aCaption)>
        load_from_stream;
};

// System information, exception capture and the crash list. The event hooks run under the
// event's lock and fill the event through its own add/BeginUpdate/EndUpdate.
struct TLogDiagnosticsHooks {
    std::function<void(TLogEvent& event, const QString& hide_if_contains)> add_commandline;
    std::function<void(TLogEvent& event)> add_cpu;
    std::function<void(TLogEvent& event, const TExceptionPointers* Exception_info)> add_exception;
    std::function<void(TLogEvent& event)> add_memory;
    std::function<void(TLogEvent& event)> add_startup_info;
    // `code` is the caller's last error, read before the core did anything that may change it.
    std::function<void(TLogEvent& event, int code)> add_winerror;
    // Merges the crash-list file with root.crash_list() and attaches or detaches `src`.
    std::function<bool(TLogRoot& root, const ILogStoragePtr& src, bool adding)> sync;
    // First step of the logging unit's shutdown: no root receives exceptions any more.
    std::function<void()> unregister_exception_roots;
    // Exception capture for one root, switched by the log configuration's log_exceptions:
    // registering is false when the capture cannot be installed.
    std::function<bool(const ILogRootPtr& root)> register_exception_root;
    std::function<bool(const ILogRootPtr& root)> unregister_exception_root;
};

// The translation table behind translate_text; none by default.
using TTranslateText = std::function<bool(const QString& txt, QString& translation)>;

void set_log_persistence_hooks(TLogPersistenceHooks hooks);
void set_log_diagnostics_hooks(TLogDiagnosticsHooks hooks);
void set_translate_text(TTranslateText translate);

const TLogPersistenceHooks& log_persistence_hooks() noexcept;
const TLogDiagnosticsHooks& log_diagnostics_hooks() noexcept;

// The translation of `txt`, when a table is installed and holds one.
bool translate_text(const QString& txt, QString& translation);
// The translation of `txt`, or `txt` itself.
QString translate_or_keep(const QString& txt);

} // namespace zel
