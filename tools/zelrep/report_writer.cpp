#include "tools/zelrep/report_writer.h"

#include "log/core/log_procedures.h"
#include "log/core/log_root.h"
#include "log/diagnostics/exception_capture.h"
#include "tools/zelrep/report_events.h"

#include <QFile>

namespace zel {

bool write_report(const QString& report_path, const QString& comment) {
    // Whatever lies at the path is replaced.
    if (QFile::exists(report_path) && !QFile::remove(report_path))
        return false;
    const std::shared_ptr<TLogRoot> root = TLogRoot::Create();
    default_log_root = root;
    root->set_discard({});
    const ILogStoragePtr storage = root->new_storage();
    if (!storage)
        return false;
    storage->set_fq_filename(report_path);
    storage->set_most_recent_first(true);
    storage->set_discard({});
    storage->set_flush_on(Tlog_kinds::all());
    root->register_storage(storage);

    // A fault while the report is made ends up in the report.
    register_exception_root(root);
    add_report_events(root, comment);
    unregister_exception_root(root);
    root->stop(); // the footer and the final write, which closes the file
    // Asked once more, since the stop does not say: false when the report did not fit whole
    // (a full disk leaves it cut after its last whole entry).
    return storage->write_event(nullptr);
}

} // namespace zel
