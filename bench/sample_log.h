#pragma once

// The saved log the reading benchmarks open: 200,000 events written by a storage in the main
// window's layout, in groups of a thousand, a tenth of them three-line warnings.

#include "log/core/log_procedures.h"
#include "log/core/log_root.h"

#include <QString>

namespace zel::bench {

inline constexpr int sample_log_events = 200000;

// Logs the sample session into `root` on the calling thread: a third of the events in the root,
// the rest in the current group.
inline void log_sample_session(const ILogGroupPtr& root) {
    ILogGroupPtr group = root;
    for (int i = 0; i < sample_log_events; ++i) {
        if (i % 1000 == 0) {
            root->add_seeded_group(group, GK_NONE);
            group->set_text(QStringLiteral("Upload %1").arg(i / 1000));
        }
        const ILogGroupPtr& into = i % 3 == 0 ? root : group;
        if (i % 10 == 0)
            into->add(LK_WARNING, QStringLiteral("reply %1\r\nsecond line\r\nthird line").arg(i));
        else
            into->add(i % 7 == 0 ? LK_DEBUG : LK_INFO,
                      QStringLiteral("step %1 of the send: in progress").arg(i));
    }
}

// Writes the sample session to `file_name` with a storage of the main window's layout.
inline void write_sample_log(const QString& file_name) {
    const auto root = TLogRoot::Create();
    const ILogRootPtr previous = default_log_root;
    default_log_root = root;
    root->set_discard({});
    log_sample_session(root);
    const ILogStoragePtr storage = root->new_storage();
    storage->set_fq_filename(file_name);
    storage->set_discard({});
    root->register_storage(storage);
    storage->write_event(nullptr);
    root->clear_all();
    default_log_root = previous;
}

} // namespace zel::bench
