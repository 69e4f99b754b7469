#include "log/core/log_value.h"

#include "log/core/number_format.h"

namespace zel {

bool TLogValue::as_boolean() const noexcept {
    const bool* value = std::get_if<bool>(&Fvalue);
    return value != nullptr && *value;
}

std::int64_t TLogValue::as_integer() const noexcept {
    switch (kind()) {
    case Kind::Boolean:
        return std::get<bool>(Fvalue) ? 1 : 0;
    case Kind::Integer:
        return std::get<std::int64_t>(Fvalue);
    case Kind::Custom:
        return custom() ? custom()->as_integer() : 0;
    default:
        return 0;
    }
}

double TLogValue::as_float() const noexcept {
    if (const double* value = std::get_if<double>(&Fvalue))
        return *value;
    return static_cast<double>(as_integer());
}

const ILogCustomValuePtr& TLogValue::custom() const noexcept {
    static const ILogCustomValuePtr none;
    const ILogCustomValuePtr* value = std::get_if<ILogCustomValuePtr>(&Fvalue);
    return value != nullptr ? *value : none;
}

QString TLogValue::as_text() const {
    switch (kind()) {
    case Kind::Empty:
        return {};
    case Kind::Boolean:
        return std::get<bool>(Fvalue) ? QStringLiteral("True") : QStringLiteral("False");
    case Kind::Integer:
        return QString::number(std::get<std::int64_t>(Fvalue));
    case Kind::Float:
        return float_to_text(std::get<double>(Fvalue));
    case Kind::Text:
        return std::get<QString>(Fvalue);
    case Kind::Custom:
        return custom() ? custom()->as_text() : QString();
    }
    return {};
}

bool operator==(const TLogValue& a, const TLogValue& b) {
    if (a.kind() != b.kind())
        return false;
    if (a.kind() != TLogValue::Kind::Custom)
        return a.Fvalue == b.Fvalue;
    const auto& x = a.custom();
    const auto& y = b.custom();
    if (!x || !y)
        return x == y;
    return x->compare(*y) == 0;
}

} // namespace zel
