#pragma once

#include "log/core/log_value.h"

#include <QChar>
#include <QString>

#include <concepts>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace zel {

// One argument of a formatted log message. Built implicitly from the usual C++ and Qt values, so
// that call sites read log_add_fmt(LK_ERROR, "unable to create folder: %s", {folder}).
class TLogArg {
public:
    enum class Kind : std::uint8_t {
        Integer,
        Int64,
        UInt64,
        Boolean,
        Char,
        Float,
        Text,
        Pointer,
        Value
    };

    TLogArg(bool value) noexcept
        : Fvalue(value) {}
    TLogArg(char value) noexcept
        : Fvalue(QChar::fromLatin1(value)) {}
    TLogArg(char16_t value) noexcept
        : Fvalue(QChar(value)) {}
    TLogArg(QChar value) noexcept
        : Fvalue(value) {}
    template <std::signed_integral T>
    requires(!std::same_as<T, char>) TLogArg(T value)
    noexcept {
        if constexpr (sizeof(T) <= sizeof(std::int32_t))
            Fvalue = static_cast<std::int32_t>(value);
        else
            Fvalue = static_cast<std::int64_t>(value);
    }
    template <std::unsigned_integral T>
    requires(!std::same_as<T, bool> && !std::same_as<T, char16_t> && !std::same_as<T, char>)
        TLogArg(T value)
    noexcept {
        if constexpr (sizeof(T) < sizeof(std::int32_t))
            Fvalue = static_cast<std::int32_t>(value);
        else if constexpr (sizeof(T) == sizeof(std::uint32_t))
            Fvalue = static_cast<std::int64_t>(value);
        else
            Fvalue = static_cast<std::uint64_t>(value);
    }
    TLogArg(double value) noexcept
        : Fvalue(value) {}
    TLogArg(float value) noexcept
        : Fvalue(static_cast<double>(value)) {}
    TLogArg(QString value) noexcept
        : Fvalue(std::move(value)) {}
    TLogArg(const char* utf8)
        : Fvalue(QString::fromUtf8(utf8)) {}
    TLogArg(const char16_t* text)
        : Fvalue(QString::fromUtf16(text)) {}
    TLogArg(std::string_view utf8)
        : Fvalue(QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()))) {}
    TLogArg(const std::string& utf8)
        : TLogArg(std::string_view(utf8)) {}
    TLogArg(const void* pointer) noexcept
        : Fvalue(pointer) {}
    TLogArg(std::nullptr_t) noexcept
        : Fvalue(static_cast<const void*>(nullptr)) {}
    TLogArg(TLogValue value) noexcept
        : Fvalue(std::move(value)) {}

    Kind kind() const noexcept { return static_cast<Kind>(Fvalue.index()); }

    template <class T>
    const T& get() const {
        return std::get<T>(Fvalue);
    }

    // The argument's text for named placeholders: decimal numbers, "-1"/"0" for booleans, the
    // character or text itself, "0x" + hexadecimal digits + "h" for a pointer.
    QString as_text() const;

private:
    std::variant<std::int32_t, std::int64_t, std::uint64_t, bool, QChar, double, QString,
                 const void*, TLogValue>
        Fvalue;
};

// An argument list: a view over arguments that the caller keeps alive for the call, written as a
// braced list at the call site or passed from a container.
class TLogArgs {
public:
    TLogArgs() noexcept = default;
    TLogArgs(std::initializer_list<TLogArg> args) noexcept
        : Fargs(args.begin(), args.size()) {}
    TLogArgs(std::span<const TLogArg> args) noexcept
        : Fargs(args) {}
    TLogArgs(const std::vector<TLogArg>& args) noexcept
        : Fargs(args) {}

    std::size_t size() const noexcept { return Fargs.size(); }
    bool empty() const noexcept { return Fargs.empty(); }
    const TLogArg& operator[](std::size_t index) const noexcept { return Fargs[index]; }
    auto begin() const noexcept { return Fargs.begin(); }
    auto end() const noexcept { return Fargs.end(); }

private:
    std::span<const TLogArg> Fargs;
};

// A boolean parameter that takes a bool and nothing else (no number, pointer or braced list), so
// that add(kind, "count %d", {1}) picks the argument-list overload, never the boolean one.
class TLogBoolean {
public:
    template <std::same_as<bool> B>
    constexpr TLogBoolean(B value) noexcept
        : Fvalue(value) {}
    constexpr operator bool() const noexcept { return Fvalue; }

private:
    bool Fvalue;
};

} // namespace zel
