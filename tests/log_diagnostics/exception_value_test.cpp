#include "log/diagnostics/exception_names.h"
#include "log/diagnostics/exception_record_value.h"
#include "tests/log_core/qt_print.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <typeinfo>

namespace zel {
namespace {

TExceptionRecord record_of(std::uint32_t code, std::initializer_list<std::uintptr_t> parameters,
                           std::uintptr_t address = 0x401000) {
    TExceptionRecord record;
    record.ExceptionCode = code;
    record.ExceptionAddress = reinterpret_cast<const void*>(address);
    for (const std::uintptr_t parameter : parameters)
        record.ExceptionInformation[record.NumberParameters++] = parameter;
    return record;
}

// What the throw hook records for a C++ exception object.
template <class T>
TExceptionRecord thrown(const T& object, std::uint32_t code = runtime_exception_code) {
    return record_of(code, {0x1234, reinterpret_cast<std::uintptr_t>(&object),
                            reinterpret_cast<std::uintptr_t>(&typeid(T))});
}

TEST(ExceptionName, CodesAreNamedFromTheTableTheSystemOrTheirNumber) {
    const struct {
        std::uint32_t code;
        const char* name;
    } cases[] = {
        {0xC0000005, "Access violation"},
        {0xC00000FD, "Stack overflow"},
        {0xC000008E, "Float division by zero"},
        {0xC0000094, "Integer division by zero"},
        {0x80000002, "Data misalignment"},
        {0xC000008C, "Array bounts execeeded"},
        {0xC000013A, "Control-C"},
        {0x40000015, "Aborted"},
        {0x12345678, "Code 0x12345678h"},
        {0x0000000A, "Code 0x0000000Ah"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(exception_name(record_of(c.code, {})), c.name) << std::hex << c.code;
}

TEST(ExceptionName, RuntimeExceptionsAreNamedByTheirObject) {
    const std::runtime_error error("disk full");
    EXPECT_EQ(exception_name(thrown(error)), "disk full in std::runtime_error");
    EXPECT_EQ(exception_name(thrown(error, runtime_exception_code_alt)),
              "disk full in std::runtime_error");
    const int number = 42;
    EXPECT_EQ(exception_name(thrown(number)), "Runtime/cpp, code 0x0EEDFADEh in int");
}

TEST(ExceptionName, RuntimeExceptionsWithoutAnObjectAreNamedByTheirCode) {
    EXPECT_EQ(exception_name(record_of(runtime_exception_code, {})),
              "Runtime/cpp, code 0x0EEDFADEh");
    EXPECT_EQ(exception_name(record_of(runtime_exception_code, {0x1234, 4096, 0x5678})),
              "Runtime/cpp, code 0x0EEDFADEh");
    EXPECT_EQ(exception_name(record_of(runtime_exception_code_alt, {0x1234, 0x10000})),
              "Runtime/cpp, code 0x0EEFFACEh");
}

TEST(ExceptionValue, TextDescribesTheRecord) {
    TExceptionRecord record = record_of(0xC0000005, {1, 16}, 0x7F12AB);
    record.ExceptionFlags = 1;
    EXPECT_EQ(TExceptionRecordVariant(record).as_text(),
              "Exception:code=0xC0000005h,flags=1,address=0x7F12ABh,nb_parameters=2,"
              "parameters=[1,16]");
    EXPECT_EQ(TExceptionRecordVariant(record_of(0x80000003, {}, 0)).as_text(),
              "Exception:code=0x80000003h,flags=0,address=0x0h,nb_parameters=0");
}

TEST(ExceptionValue, ValueIsAPrivateCopyComparedBySignedCode) {
    TExceptionRecord nested;
    TExceptionRecord record = record_of(0xC0000005, {7});
    record.NestedRecord = &nested;
    const TExceptionRecordVariant access_violation(record);
    record.ExceptionInformation[0] = 8;
    EXPECT_EQ(access_violation.record().ExceptionInformation[0], 7U);
    EXPECT_EQ(access_violation.record().NestedRecord, nullptr);

    const TExceptionRecordVariant breakpoint(record_of(0x80000003, {}));
    const TExceptionRecordVariant runtime(record_of(runtime_exception_code, {}));
    EXPECT_EQ(access_violation.as_integer(), static_cast<std::int32_t>(0xC0000005));
    EXPECT_LT(breakpoint.compare(access_violation), 0);
    EXPECT_LT(access_violation.compare(runtime), 0);
    EXPECT_GT(runtime.compare(breakpoint), 0);
    EXPECT_EQ(access_violation.compare(TExceptionRecordVariant(record_of(0xC0000005, {}))), 0);
}

} // namespace
} // namespace zel
