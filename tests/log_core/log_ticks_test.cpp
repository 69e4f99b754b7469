#include "log/core/log_process.h"
#include "platform/process_info.h"
#include "platform/system_uptime.h"

#include <QProcess>
#include <QStringList>

#include <gtest/gtest.h>

namespace zel {
namespace {

// The counter counts from boot with suspended time included, as the system's uptime does: an
// event time anchored before a suspend is still true after it.
TEST(LogTicks, CountTheTimeSinceBootSuspendedTimeIncluded) {
    const double before = platform::system_uptime_seconds();
    const double ticks = static_cast<double>(read_ticks()) / perf_frequency;
    const double after = platform::system_uptime_seconds();
    ASSERT_GE(before, 0);
    EXPECT_GE(ticks, before - 0.001);
    EXPECT_LE(ticks, after + 0.001);
}

// Runs `arguments` in new user and time namespaces whose boot clock is a day ahead of the
// monotonic one, as after a day-long suspend; the exit code, or -1 when it did not run.
int run_a_day_after_a_suspend(const QStringList& arguments) {
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start("unshare",
                  QStringList{"--user", "--map-root-user", "--time", "--boottime", "86400", "--"} +
                      arguments);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit)
        return -1;
    return process.exitCode();
}

TEST(LogTicks, FollowTheBootClockWhenItRunsAheadOfTheMonotonicOne) {
    if (run_a_day_after_a_suspend({"true"}) != 0)
        GTEST_SKIP() << "no time namespaces here (unshare, user namespaces, Linux 5.6)";
    const QString self = QString::fromStdString(platform::executable_path());
    EXPECT_EQ(run_a_day_after_a_suspend(
                  {self, "--gtest_filter=LogTicks.CountTheTimeSinceBootSuspendedTimeIncluded"}),
              0);
}

} // namespace
} // namespace zel
