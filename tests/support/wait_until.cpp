#include "tests/support/wait_until.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>

namespace zel::test {

bool wait_until(const std::function<bool()>& condition, int timeout_ms) {
    const QDeadlineTimer deadline(timeout_ms, Qt::PreciseTimer);
    QTimer wake; // makes the last wait end at the deadline when nothing else happens
    wake.setTimerType(Qt::PreciseTimer);
    wake.setSingleShot(true);
    while (!condition()) {
        if (deadline.hasExpired())
            return condition();
        if (!wake.isActive())
            wake.start(static_cast<int>(deadline.remainingTime()) + 1);
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

} // namespace zel::test
