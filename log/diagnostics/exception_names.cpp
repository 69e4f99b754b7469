#include "log/diagnostics/exception_names.h"

#include "platform/fatal_signals.h"
#include "platform/throw_hook.h"
#include "platform/type_name.h"

#include <array>
#include <typeinfo>

namespace zel {

namespace {

struct code_name {
    std::uint32_t code;
    const char* text;
};

// The names of the exception codes, kept as they read in logs written on any platform.
constexpr std::array code_names{
    code_name{0x80000001, "Guard page fault"},
    code_name{0x80000002, "Data misalignment"},
    code_name{0x80000003, "Breakpoint"},
    code_name{0x80000004, "Single step debug"},
    code_name{0xC0000005, "Access violation"},
    code_name{0xC0000006, "In page error"},
    code_name{0xC0000008, "Invalid handle"},
    code_name{0xC000001D, "Illegal instruction"},
    code_name{0xC0000025, "Non-continuable exception"},
    code_name{0xC0000026, "Invalid disposition"},
    code_name{0xC000008C, "Array bounts execeeded"},
    code_name{0xC000008D, "Float denormal operand"},
    code_name{0xC000008E, "Float division by zero"},
    code_name{0xC000008F, "Float inexact result"},
    code_name{0xC0000090, "Float invalid operation"},
    code_name{0xC0000091, "Float overflow"},
    code_name{0xC0000092, "Float stack check"},
    code_name{0xC0000093, "Float underflow"},
    code_name{0xC0000094, "Integer division by zero"},
    code_name{0xC0000095, "Integer overflow"},
    code_name{0xC0000096, "Privileged instruction"},
    code_name{0xC00000FD, "Stack overflow"},
    code_name{0xC000013A, "Control-C"},
};

// Addresses below this are not objects (the first page is never mapped).
constexpr std::uintptr_t lowest_object_address = 4097;

QString hex8(std::uint32_t code) {
    return QString::number(code, 16).toUpper().rightJustified(8, QLatin1Char('0'));
}

QString runtime_exception_name(const TExceptionRecord& record) {
    QString by_code =
        QLatin1String("Runtime/cpp, code 0x") + hex8(record.ExceptionCode) + QLatin1Char('h');
    if (record.NumberParameters < 3 || record.ExceptionInformation[1] < lowest_object_address ||
        record.ExceptionInformation[2] == 0)
        return by_code;
    const platform::thrown_exception thrown{
        reinterpret_cast<const void*>(record.ExceptionInformation[1]),
        reinterpret_cast<const std::type_info*>(record.ExceptionInformation[2]),
        record.ExceptionInformation[0]};
    const QString type = QString::fromStdString(platform::type_name(*thrown.type));
    const QString message = QString::fromStdString(platform::exception_message(thrown));
    // An object without a message of its own (a thrown number) keeps the runtime's name.
    return (message.isEmpty() ? by_code : message) + QLatin1String(" in ") + type;
}

} // namespace

QString exception_name(const TExceptionRecord& record) {
    const std::uint32_t code = record.ExceptionCode;
    if (code == runtime_exception_code || code == runtime_exception_code_alt)
        return runtime_exception_name(record);
    for (const code_name& known : code_names) {
        if (known.code == code)
            return QString::fromLatin1(known.text);
    }
    const std::string system_text = platform::signal_exception_text(code);
    if (!system_text.empty())
        return QString::fromStdString(system_text);
    return QLatin1String("Code 0x") + hex8(code) + QLatin1Char('h');
}

} // namespace zel
