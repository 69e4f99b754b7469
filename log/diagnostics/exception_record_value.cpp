#include "log/diagnostics/exception_record_value.h"

#include <QStringList>

#include <algorithm>

namespace zel {

TExceptionRecordVariant::TExceptionRecordVariant(const TExceptionRecord& record) {
    Frecord = record;
    // The nested record belongs to whoever raised the exception and does not outlive it.
    Frecord.NestedRecord = nullptr;
    Frecord.NumberParameters =
        std::min<std::uint32_t>(Frecord.NumberParameters, TExceptionRecord::max_parameters);
}

namespace {

QString upper_hex(quint64 value, int digits) {
    return QString::number(value, 16).toUpper().rightJustified(digits, QLatin1Char('0'));
}

} // namespace

QString TExceptionRecordVariant::as_text() const {
    QString text = QLatin1String("Exception:code=0x") + upper_hex(Frecord.ExceptionCode, 8) +
                   QLatin1String("h,flags=") + QString::number(Frecord.ExceptionFlags) +
                   QLatin1String(",address=0x") +
                   upper_hex(reinterpret_cast<quintptr>(Frecord.ExceptionAddress), 1) +
                   QLatin1String("h,nb_parameters=") + QString::number(Frecord.NumberParameters);
    if (Frecord.NumberParameters != 0) {
        QStringList parameters;
        for (std::uint32_t i = 0; i < Frecord.NumberParameters; ++i)
            parameters << QString::number(Frecord.ExceptionInformation[i]);
        text +=
            QLatin1String(",parameters=[") + parameters.join(QLatin1Char(',')) + QLatin1Char(']');
    }
    return text;
}

int TExceptionRecordVariant::compare(const ILogCustomValue& other) const {
    const std::int64_t mine = as_integer();
    const std::int64_t theirs = other.as_integer();
    return mine < theirs ? -1 : (mine > theirs ? 1 : 0);
}

std::int64_t TExceptionRecordVariant::as_integer() const {
    return static_cast<std::int32_t>(Frecord.ExceptionCode);
}

std::shared_ptr<const TExceptionRecordVariant>
make_exception_value(const TExceptionRecord& record) {
    return std::make_shared<const TExceptionRecordVariant>(record);
}

} // namespace zel
