#pragma once

#include "log/core/log_storage_interface.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <mutex>
#include <vector>

namespace zel {

// The root's in-memory crash list: lines "<module>:<pid>=<log file>", sorted and compared without
// regard to case, without duplicates; a line may carry the storage that owns it. The diagnostics
// layer merges it with the crash-list file. Its lock comes last in the lock order; lock() and
// unlock() make several operations one step.
class TCrashList {
public:
    struct TLine {
        QString text;
        ILogStoragePtr storage;
    };

    void lock() const { Flock.lock(); }
    void unlock() const { Flock.unlock(); }

    std::int32_t count() const;
    // The position of `line`, or -1.
    std::int32_t index_of(const QString& line) const;
    // The position of the line that `storage` owns, or -1.
    std::int32_t index_of_storage(const ILogStorage* storage) const;
    // Adds `line` unless it is there; returns its position.
    std::int32_t add(const QString& line);
    // Lets `storage` own the line at `index`.
    void attach(std::int32_t index, const ILogStoragePtr& storage);
    void remove(std::int32_t index);
    TLine line(std::int32_t index) const;
    // Every line, and the lines that no storage owns (logs of other processes or earlier runs).
    QStringList lines() const;
    QStringList detached_lines() const;
    // Drops every storage reference; the lines stay.
    void release_storages();
    void clear();

private:
    // Under the lock: where `line` is or would be inserted, and whether it is there.
    std::size_t position(const QString& line) const;
    bool holds(std::size_t at, const QString& line) const;

    mutable std::recursive_mutex Flock;
    std::vector<TLine> Flines;
};

} // namespace zel
