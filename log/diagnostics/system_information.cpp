#include "log/diagnostics/system_information.h"

#include "log/core/safe_format.h"
#include "log/diagnostics/exception_names.h"
#include "log/diagnostics/exception_record_value.h"
#include "log/support/module_version.h"
#include "platform/error_text.h"
#include "platform/os_version.h"

#include <algorithm>

namespace zel {

namespace {

// Brackets a writer's lines in one update of the event.
class one_update {
public:
    explicit one_update(ILogEvent& event)
        : Fevent(event) {
        Fevent.BeginUpdate();
    }
    ~one_update() { Fevent.EndUpdate(); }
    one_update(const one_update&) = delete;
    one_update& operator=(const one_update&) = delete;

private:
    ILogEvent& Fevent;
};

QString bits_text(const std::string& machine) {
    switch (platform::native_architecture_bits(machine)) {
    case 64:
        return QStringLiteral("64 bits");
    case 32:
        return QStringLiteral("32 bits");
    default:
        return QStringLiteral("? bits");
    }
}

// Any address inside this library names the module that runs the logging code.
void module_marker() {}

} // namespace

void write_commandline(ILogEvent& event, const QString& hide_if_contains,
                       const QStringList& arguments) {
    const one_update update(event);
    const auto count = static_cast<std::int32_t>(arguments.size());
    event.add(QStringLiteral("Command line: %d parameter(s)"), {count > 0 ? count - 1 : 0});
    for (std::int32_t i = 0; i < count; ++i) {
        const QString& parameter = arguments[i];
        if (!hide_if_contains.isEmpty() &&
            parameter.contains(hide_if_contains, Qt::CaseInsensitive))
            continue;
        event.add(QStringLiteral("Param #%.2d: \"%s\""), {i, parameter});
    }
}

void write_cpu(ILogEvent& event, const cpu_record& cpu, std::int32_t pool_threads,
               std::int32_t parallel_threads) {
    const one_update update(event);
    const QString brand = QString::fromLatin1(cpu.brand).trimmed();
    if (cpu.cores_per_package == 1 && cpu.logical_per_package > 1)
        event.add(QStringLiteral("Processor %s with %d logical core(s)"),
                  {brand, cpu.logical_per_package});
    else
        event.add(QStringLiteral("Processor %s with %d core(s) CPU"), {brand, pool_threads});
    event.add(QStringLiteral("Pipeline(s): %d - parallelize up to %d"),
              {pool_threads, parallel_threads});
    event.add(QStringLiteral("Supported instruction set: %s"),
              {QString::fromLatin1(cpu_feature_list(cpu))});
}

void write_memory(ILogEvent& event, const platform::memory_status& status, bool full) {
    const one_update update(event);
    event.add(QStringLiteral("Total Physical Memory : %s"), {size_text(status.total_physical)});
    event.add(QStringLiteral("Available Physical Memory : %s"),
              {size_text(status.available_physical)});
    event.add(QStringLiteral("Memory Load  : %d%%"), {status.memory_load});
    event.add(QStringLiteral("Total Virtual Memory : %s"), {size_text(status.total_virtual)});
    event.add(QStringLiteral("Available Virtual Memory : %s"),
              {size_text(status.available_virtual)});
    if (!full)
        return;
    event.add(QStringLiteral("Available extended Virtual Memory : %s"),
              {size_text(status.available_extended_virtual)});
    event.add(QStringLiteral("Total Memory : %s"), {size_text(status.total_commit)});
    event.add(QStringLiteral("Available Memory : %s"), {size_text(status.available_commit)});
}

TOsLine os_line(const QString& name, const QString& bits, std::uint32_t build,
                std::int32_t service_pack_major, std::int32_t service_pack_minor) {
    if (build < 8250)
        return {QStringLiteral("OS : %s (%s), Build %d, service pack %d.%d"),
                {name, bits, build, service_pack_major, service_pack_minor}};
    return {QStringLiteral("OS : Windows 8 (%s), Build %d, service pack %d.%d"),
            {bits, build, service_pack_major, service_pack_minor}};
}

QString locale_display_name(const QLocale& locale) {
    if (locale.language() == QLocale::C)
        return QStringLiteral("C");
    QString name = QLocale::languageToString(locale.language());
    if (locale.territory() != QLocale::AnyTerritory)
        name +=
            QLatin1String(" (") + QLocale::territoryToString(locale.territory()) + QLatin1Char(')');
    return name;
}

void write_startup_info(ILogEvent& event) {
    const platform::os_version os = platform::read_os_version();
    const one_update update(event);
    // The kernel stands for the Windows build: its major version is the build number, its
    // minor version and patch level are the service pack. A kernel's major version is far
    // below 8250, so the name is always the system's own: the distribution and the kernel.
    const QString name = QString::fromStdString(os.pretty_name) + QLatin1String(", ") +
                         QString::fromStdString(os.kernel_name) + QLatin1Char(' ') +
                         QString::fromStdString(os.kernel_release);
    const TOsLine line =
        os_line(name, bits_text(os.machine), static_cast<std::uint32_t>(os.kernel_major),
                os.kernel_minor, os.kernel_patch);
    event.add(line.format, line.args);

    const auto* self = reinterpret_cast<module_handle>(&module_marker);
    const QString module_path = get_module_file_name(self);
    QString version;
    if (module_is_library(self)) {
        event.add(QStringLiteral("library name : %s"), {module_path});
        if (get_file_version(module_path, version))
            event.add(QStringLiteral("library Version : %s"), {version});
        const QString host = get_module_file_name(nullptr);
        event.add(QStringLiteral("host name : %s"), {host});
        QString host_version;
        if (get_file_version(host, host_version))
            event.add(QStringLiteral("host version : %s"), {host_version});
    } else {
        event.add(QStringLiteral("file name : %s"), {module_path});
        if (get_file_version(module_path, version))
            event.add(QStringLiteral("file version : %s"), {version});
    }

    event.add(QStringLiteral("User language   : %s"), {locale_display_name(QLocale::system())});
    const QLocale system_locale =
        os.system_locale.empty() ? QLocale::c() : QLocale(QString::fromStdString(os.system_locale));
    event.add(QStringLiteral("System language : %s"), {locale_display_name(system_locale)});
}

void write_winerror(ILogEvent& event, int code) {
    if (code == 0)
        return;
    const one_update update(event);
    event.add(QStringLiteral("Windows Error 0x%.8X - \"%s\""),
              {static_cast<std::uint32_t>(code),
               QString::fromStdString(platform::error_description(code))});
}

void write_exception(ILogEvent& event, const TExceptionPointers* Exception_info) {
    if (Exception_info == nullptr || Exception_info->ExceptionRecord == nullptr)
        return;
    const TExceptionRecord& record = *Exception_info->ExceptionRecord;
    const QString name = exception_name(record);
    if (name.isEmpty())
        return;
    const one_update update(event);
    event.set_value(TLogValue(ILogCustomValuePtr(make_exception_value(record))));
    const std::uint32_t count =
        std::min<std::uint32_t>(record.NumberParameters, TExceptionRecord::max_parameters);
    event.add(QStringLiteral("%s at address %p with %d parameters: "),
              {name, record.ExceptionAddress, count});
    for (std::uint32_t i = 0; i < count; ++i)
        event.add(QStringLiteral("Param %d: $%.8X"), {i, record.ExceptionInformation[i]});
}

} // namespace zel
