#include "log/core/log_vocabulary.h"

namespace zel {

QString log_kind_name(Tlog_kind kind) {
    // Built once: the names are asked for on every printed event.
    static const std::array<QString, log_kind_count> names = [] {
        std::array<QString, log_kind_count> built;
        for (std::size_t i = 0; i < built.size(); ++i)
            built[i] = log_kind_names[i].toString();
        return built;
    }();
    return kind < log_kind_count ? names[kind] : QString();
}

std::optional<QString> without_identity(const QString& name) {
    const qsizetype brace = name.indexOf(u'{');
    if (brace < 0)
        return std::nullopt;
    return QString(name).remove(brace, 38);
}

} // namespace zel
