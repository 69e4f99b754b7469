#include "tools/zelrep/report_events.h"

#include "log/core/safe_format.h"
#include "log/diagnostics/system_information.h"
#include "platform/os_version.h"
#include "platform/system_uptime.h"
#include "tools/zelrep/disk_lines.h"

#include <QDateTime>
#include <QLocale>
#include <QTimeZone>

#include <cstdlib>

namespace zel {

namespace {

ILogGroupPtr section(const ILogRootPtr& root, const QString& title) {
    ILogGroupPtr group = root->new_group(title);
    group->set_text(title); // the group's line in the file, so that it reads back as a group
    return group;
}

QString or_none(const QString& text) {
    return text.isEmpty() ? QStringLiteral("(none)") : text;
}

void add_operating_system(const ILogRootPtr& root) {
    const platform::os_version os = platform::read_os_version();
    const ILogGroupPtr group = section(root, QStringLiteral("Operating system"));
    group->add(LK_INFO, QStringLiteral("Distribution : %s"), {os.pretty_name});
    group->add(LK_INFO, QStringLiteral("Distribution id : %s %s"),
               {os.distribution_id, os.distribution_version});
    group->add(LK_INFO, QStringLiteral("Kernel : %s %s"), {os.kernel_name, os.kernel_release});
    group->add(LK_INFO, QStringLiteral("Kernel build : %s"), {os.kernel_build});
    group->add(LK_INFO, QStringLiteral("Architecture : %s"), {os.machine});
    group->add(LK_INFO, QStringLiteral("Host name : %s"), {os.host_name});
    const double uptime = platform::system_uptime_seconds();
    if (uptime >= 0)
        group->add(LK_INFO, QStringLiteral("Uptime : %s"), {duration_text(uptime / 86400.0)});
}

void add_disks(const ILogRootPtr& root) {
    add_disk_lines(section(root, QStringLiteral("Disks")), platform::mounted_volumes());
}

void add_desktop_session(const ILogRootPtr& root) {
    const ILogGroupPtr group = section(root, QStringLiteral("Desktop session"));
    const struct {
        const char* label;
        const char* variable;
    } facts[] = {
        {"Desktop : %s", "XDG_CURRENT_DESKTOP"},
        {"Session : %s", "DESKTOP_SESSION"},
        {"Session type : %s", "XDG_SESSION_TYPE"},
        {"Wayland display : %s", "WAYLAND_DISPLAY"},
        {"X display : %s", "DISPLAY"},
    };
    for (const auto& fact : facts)
        group->add(LK_INFO, QString::fromLatin1(fact.label),
                   {or_none(qEnvironmentVariable(fact.variable))});
}

void add_locale_and_time_zone(const ILogRootPtr& root) {
    const ILogGroupPtr group = section(root, QStringLiteral("Locale and time zone"));
    const QLocale locale = QLocale::system();
    group->add(LK_INFO, QStringLiteral("Locale : %s (%s)"),
               {locale.name(), locale_display_name(locale)});
    const QDateTime now = QDateTime::currentDateTime();
    const int offset = now.offsetFromUtc();
    const QString sign = offset < 0 ? QStringLiteral("-") : QStringLiteral("+");
    const int minutes = std::abs(offset) / 60;
    group->add(LK_INFO, QStringLiteral("Time zone : %s (%s), UTC%s%.2d:%.2d"),
               {QString::fromUtf8(QTimeZone::systemTimeZoneId()), now.timeZoneAbbreviation(), sign,
                minutes / 60, minutes % 60});
}

} // namespace

void add_report_events(const ILogRootPtr& root, const QString& comment) {
    root->add(LK_IMPORTANT, QStringLiteral("Comment: %s"), {comment});
    root->add_startup_info();
    root->add_cpu();
    root->add_memory();
    root->add_commandline(QString());
    add_operating_system(root);
    add_disks(root);
    add_desktop_session(root);
    add_locale_and_time_zone(root);
}

} // namespace zel
