#pragma once

#include "ftp/upload_source.h"

#include <QSocketNotifier>
#include <QString>

#include <functional>
#include <memory>

namespace zel {

namespace platform {
class FileSnapshot;
} // namespace platform

// The upload client's local copy of the user's file, made while the session opens: an upload
// source whose bytes become available as the copy goes on. Its changes arrive as events of the
// owning thread's event loop.
class TLocalCopy : public IUploadSource {
public:
    // The copy runs when `error` is empty; else `error` names what failed before it started.
    struct Started {
        std::shared_ptr<TLocalCopy> copy;
        QString error;
    };
    static Started start(const QString& from, const QString& to);

    ~TLocalCopy() override;

    int descriptor() const override;
    std::int64_t available() const override;
    bool complete() const override;
    QString failure() const override;

    std::int64_t size() const;
    // Takes the copy off the disk without waiting for its blocks to be freed.
    void remove();

    // Called once when the copy has ended, before the upload source's own notification.
    std::function<void(TLocalCopy& copy)> on_finished;

private:
    explicit TLocalCopy(std::unique_ptr<platform::FileSnapshot> snapshot);
    void changed();

    std::unique_ptr<platform::FileSnapshot> snapshot_;
    QSocketNotifier notifier_;
    bool finish_reported_ = false;
};

} // namespace zel
