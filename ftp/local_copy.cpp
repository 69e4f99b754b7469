#include "ftp/local_copy.h"

#include "platform/error_text.h"
#include "platform/file_copy.h"

#include <QFile>

#include <cerrno>

namespace zel {

namespace {

QString reason_of(int error) {
    if (error == ENODATA)
        return QStringLiteral("the file got shorter while it was copied");
    return QString::fromStdString(platform::error_description(error));
}

} // namespace

TLocalCopy::Started TLocalCopy::start(const QString& from, const QString& to) {
    auto started = platform::FileSnapshot::start(QFile::encodeName(from).toStdString(),
                                                 QFile::encodeName(to).toStdString());
    if (!started.snapshot) {
        using Stage = platform::FileSnapshot::Stage;
        const QString reason = reason_of(started.error);
        if (started.stage == Stage::space)
            return {nullptr, QStringLiteral("not enough free space for the copy in ") + to};
        if (started.stage == Stage::target)
            return {nullptr, QStringLiteral("cannot create ") + to + QStringLiteral(": ") + reason};
        return {nullptr, QStringLiteral("cannot read ") + from + QStringLiteral(": ") + reason};
    }
    return {std::shared_ptr<TLocalCopy>(new TLocalCopy(std::move(started.snapshot))), {}};
}

TLocalCopy::TLocalCopy(std::unique_ptr<platform::FileSnapshot> snapshot)
    : snapshot_(std::move(snapshot))
    , notifier_(snapshot_->ready_descriptor(), QSocketNotifier::Read) {
    // Enabled even when the copy has already ended: its end left the descriptor readable, so
    // the end is reported from the event loop like any other.
    QObject::connect(&notifier_, &QSocketNotifier::activated, [this] { changed(); });
}

TLocalCopy::~TLocalCopy() {
    notifier_.setEnabled(false);
}

void TLocalCopy::changed() {
    snapshot_->acknowledge();
    if (snapshot_->finished()) {
        notifier_.setEnabled(false);
        if (!finish_reported_) {
            finish_reported_ = true;
            if (const auto handler = on_finished)
                handler(*this);
        }
    }
    if (const auto handler = on_changed)
        handler();
}

int TLocalCopy::descriptor() const {
    return snapshot_->descriptor();
}

std::int64_t TLocalCopy::available() const {
    return snapshot_->copied();
}

bool TLocalCopy::complete() const {
    return snapshot_->finished() && snapshot_->error() == 0;
}

QString TLocalCopy::failure() const {
    if (!snapshot_->finished() || snapshot_->error() == 0)
        return {};
    return reason_of(snapshot_->error());
}

std::int64_t TLocalCopy::size() const {
    return snapshot_->size();
}

void TLocalCopy::remove() {
    notifier_.setEnabled(false);
    snapshot_->remove();
}

} // namespace zel
