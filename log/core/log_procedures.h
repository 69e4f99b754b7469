#pragma once

#include "log/core/log_interfaces.h"

#include <QString>

#include <cstddef>
#include <mutex>

namespace zel {

// The holder of the process-wide root. It is written during start-up and shutdown, on the main
// thread, and read by any thread: each read and write is one step under a leaf lock that guards
// only the copy of the reference, so a reader gets the old root or the new one, and a root
// replaced while a thread logs into it lives until that thread is done with it. It reads like
// the reference it holds.
class TDefaultLogRoot {
public:
    ILogRootPtr load() const noexcept {
        std::scoped_lock guard(Fguard);
        return Froot;
    }
    operator ILogRootPtr() const noexcept { return load(); }
    // `default_log_root->op()` reads the root once and holds it until `op` returns.
    ILogRootPtr operator->() const noexcept { return load(); }
    explicit operator bool() const noexcept { return load() != nullptr; }

    // The replaced root is released after the lock, so that its end runs under no lock.
    TDefaultLogRoot& operator=(ILogRootPtr root) noexcept {
        {
            std::scoped_lock guard(Fguard);
            Froot.swap(root);
        }
        return *this;
    }
    void reset() noexcept { *this = nullptr; }

    friend bool operator==(const TDefaultLogRoot& held, const ILogRootPtr& root) noexcept {
        return held.load() == root;
    }
    friend bool operator==(const TDefaultLogRoot& held, std::nullptr_t) noexcept { return !held; }

private:
    mutable std::mutex Fguard;
    ILogRootPtr Froot;
};

// The process-wide root, null until the log configuration creates it.
extern TDefaultLogRoot default_log_root;

// Adds a message to default_log_root; does nothing while there is no root.
void log_add(Tlog_kind kind, const QString& txt);

// Adds a formatted message (safe_format: printf-style, or named placeholders when `fmt` starts
// with "{"; a mismatch gives an explanatory text) to default_log_root; nothing without a root.
void log_add_fmt(Tlog_kind kind, const QString& fmt, TLogArgs Params);

} // namespace zel
