#pragma once

#include "log/core/log_value.h"

#include <array>
#include <cstdint>
#include <exception>
#include <string>

namespace zel {

// What the platform tells about one exception: its code (the design's exception codes, for
// instance 0xC0000005 for an access violation), where it happened and up to fifteen parameters.
struct TExceptionRecord {
    static constexpr std::size_t max_parameters = 15;

    std::uint32_t ExceptionCode = 0;
    std::uint32_t ExceptionFlags = 0;
    const TExceptionRecord* NestedRecord = nullptr;
    const void* ExceptionAddress = nullptr;
    std::uint32_t NumberParameters = 0;
    std::array<std::uintptr_t, max_parameters> ExceptionInformation{};
};

// The pair handed to add_exception: the record and the processor state (none here).
struct TExceptionPointers {
    const TExceptionRecord* ExceptionRecord = nullptr;
    const void* ContextRecord = nullptr;
};

// Same code, address, parameter count and parameters.
bool same_exception(const TExceptionRecord& a, const TExceptionRecord& b) noexcept;

// The value kept by an exception event: a copy of the record. The diagnostics layer implements it.
class IExceptionRecordValue : public ILogCustomValue {
public:
    virtual const TExceptionRecord& record() const noexcept = 0;
};

// A C++ exception that stands for an operating-system exception (a fault turned into an
// exception object), so that add_exception_context can match it with its exception event.
class EOSException : public std::exception {
public:
    EOSException(const TExceptionRecord& record, std::string message)
        : Frecord(record)
        , Fmessage(std::move(message)) {}

    const char* what() const noexcept override { return Fmessage.c_str(); }
    const TExceptionRecord& record() const noexcept { return Frecord; }

private:
    TExceptionRecord Frecord;
    std::string Fmessage;
};

} // namespace zel
