#pragma once

#include "tests/log_core/recording_storage.h"

namespace zel {

// A crash-log storage reduced to what the crash list asks of it: it is a crash log and has a
// full file name. It writes nothing itself.
class TStubCrashStorage : public TRecordingStorage {
public:
    explicit TStubCrashStorage(QString fq_filename)
        : Ffq_filename(std::move(fq_filename)) {}

    bool crash_log() const override { return true; }
    QString fq_filename() const override { return Ffq_filename; }

private:
    const QString Ffq_filename;
};

} // namespace zel
