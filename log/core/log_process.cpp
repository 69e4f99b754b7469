#include "log/core/log_process.h"

#include "platform/process_info.h"

#include <QFile>
#include <QFileInfo>

#include <chrono>

namespace zel {

std::int64_t read_ticks() noexcept {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
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
