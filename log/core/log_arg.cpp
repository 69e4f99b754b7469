#include "log/core/log_arg.h"

#include "log/core/number_format.h"

namespace zel {

QString TLogArg::as_text() const {
    switch (kind()) {
    case Kind::Integer:
        return QString::number(get<std::int32_t>());
    case Kind::Int64:
        return QString::number(get<std::int64_t>());
    case Kind::UInt64:
        return QString::number(get<std::uint64_t>());
    case Kind::Boolean:
        return get<bool>() ? QStringLiteral("-1") : QStringLiteral("0");
    case Kind::Char:
        return QString(get<QChar>());
    case Kind::Float:
        return float_to_text(get<double>());
    case Kind::Text:
        return get<QString>();
    case Kind::Pointer:
        return QStringLiteral("0x") +
               QString::number(reinterpret_cast<std::uintptr_t>(get<const void*>()), 16)
                   .rightJustified(8, u'0')
                   .toUpper() +
               u'h';
    case Kind::Value:
        return get<TLogValue>().as_text();
    }
    return {};
}

} // namespace zel
