#include "tests/support/wait_until.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>

namespace zel::test {

bool wait_until(const std::function<bool()>& condition, int timeout_ms) {
    const QDeadlineTimer deadline(timeout_ms);
    QTimer wake;
    wake.setSingleShot(true);
    while (!condition()) {
        if (deadline.hasExpired())
            return condition();
        wake.start(static_cast<int>(std::max<qint64>(1, deadline.remainingTime())));
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

} // namespace zel::test
