#pragma once

#include "log/core/log_root.h"
#include "log/persistence/log_persistence.h"

#include <QString>

namespace zel::testing {

// A session writing its log file as the sender does: a root of its own whose one storage
// rewrites the file after every event, newest entry first.
class TWritingSession {
public:
    explicit TWritingSession(const QString& file_name) {
        install_log_persistence();
        storage = root->new_storage();
        root->set_header({});
        root->set_footer({});
        root->set_discard({});
        storage->set_fq_filename(file_name);
        storage->set_discard({});
        storage->set_flush_on(Tlog_kinds::all());
        root->register_storage(storage);
    }
    ~TWritingSession() { root->clear_all(); }
    TWritingSession(const TWritingSession&) = delete;
    TWritingSession& operator=(const TWritingSession&) = delete;

    ILogGroupPtr group(const ILogGroupPtr& parent, const QString& text) const {
        ILogGroupPtr added;
        parent->add_seeded_group(added, GK_NONE);
        added->set_text(text);
        return added;
    }

    // Writes the file as it stands now (the storage writes on each event; a group's text set
    // after it was placed is written by the next one).
    void write() const { storage->write_event(nullptr); }

    std::shared_ptr<TLogRoot> root = TLogRoot::Create();
    ILogStoragePtr storage;
};

} // namespace zel::testing
