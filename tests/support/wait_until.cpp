#include "tests/support/wait_until.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>

namespace zel::test {

bool wait_until(const std::function<bool()>& condition, int timeout_ms) {
    const QDeadlineTimer deadline(timeout_ms);
    QTimer wake; // ends the last wait when nothing else happens before the deadline
    wake.setSingleShot(true);
    wake.start(timeout_ms);
    while (!condition()) {
        if (deadline.hasExpired())
            return condition();
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

} // namespace zel::test
