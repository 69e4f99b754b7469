#pragma once

#include <QString>

#include <concepts>
#include <cstdint>
#include <memory>
#include <variant>

namespace zel {

// A value kind that a higher layer defines (the exception record of a captured exception, for
// instance). Values are immutable and shared.
class ILogCustomValue {
public:
    virtual ~ILogCustomValue() = default;
    virtual QString as_text() const = 0;
    // Below zero, zero or above zero as this value orders before, with or after the other.
    virtual int compare(const ILogCustomValue& other) const = 0;
    // The value taken as a number, for conversions to any type other than text.
    virtual std::int64_t as_integer() const = 0;
};

using ILogCustomValuePtr = std::shared_ptr<const ILogCustomValue>;

// The value an event may carry: nothing, a boolean, a number, a text or a custom value.
class TLogValue {
public:
    enum class Kind : std::uint8_t { Empty, Boolean, Integer, Float, Text, Custom };

    TLogValue() noexcept = default;
    TLogValue(bool value) noexcept
        : Fvalue(value) {}
    template <std::integral T>
    requires(!std::same_as<T, bool>) TLogValue(T value)
    noexcept
        : Fvalue(static_cast<std::int64_t>(value)) {}
    TLogValue(double value) noexcept
        : Fvalue(value) {}
    TLogValue(QString value) noexcept
        : Fvalue(std::move(value)) {}
    TLogValue(const char* utf8)
        : Fvalue(QString::fromUtf8(utf8)) {}
    TLogValue(ILogCustomValuePtr value) noexcept
        : Fvalue(std::move(value)) {}

    Kind kind() const noexcept { return static_cast<Kind>(Fvalue.index()); }
    bool empty() const noexcept { return kind() == Kind::Empty; }

    // Each accessor gives the stored value when it is of that kind, else a neutral one.
    bool as_boolean() const noexcept;
    std::int64_t as_integer() const noexcept;
    double as_float() const noexcept;
    const ILogCustomValuePtr& custom() const noexcept;

    // The value's own text: decimal numbers, "True"/"False", the text itself, a custom value's
    // text; empty when there is no value.
    QString as_text() const;

    // Same kind and equal content; custom values compare through their own comparison.
    friend bool operator==(const TLogValue& a, const TLogValue& b);

private:
    std::variant<std::monostate, bool, std::int64_t, double, QString, ILogCustomValuePtr> Fvalue;
};

} // namespace zel
