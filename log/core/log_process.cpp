#include "log/core/log_process.h"

#include "platform/performance_counter.h"
#include "platform/process_info.h"

#include <QFile>
#include <QFileInfo>

namespace zel {

std::int64_t read_ticks() noexcept {
    return platform::performance_counter_ns();
}

std::uint32_t log_process_id() noexcept {
    static const std::uint32_t id = platform::current_process_id();
    return id;
}

const QString& log_module_path() {
    static const QString path =
        QFile::decodeName(QByteArray::fromStdString(platform::executable_path()));
    return path;
}

const QString& log_module_name() {
    static const QString name = QFileInfo(log_module_path()).fileName();
    return name;
}

} // namespace zel
