#pragma once

#include "log/core/exception_record.h"

#include <memory>

namespace zel {

// The value of an exception event: a private copy of the exception record.
class TExceptionRecordVariant final : public IExceptionRecordValue {
public:
    explicit TExceptionRecordVariant(const TExceptionRecord& record);

    const TExceptionRecord& record() const noexcept override { return Frecord; }

    // "Exception:code=0xC0000005h,flags=0,address=0x401000h,nb_parameters=2,parameters=[1,16]"
    QString as_text() const override;
    // Orders by exception code, taken as a signed 32-bit number.
    int compare(const ILogCustomValue& other) const override;
    // The exception code as a signed 32-bit number.
    std::int64_t as_integer() const override;

private:
    TExceptionRecord Frecord;
};

std::shared_ptr<const TExceptionRecordVariant> make_exception_value(const TExceptionRecord& record);

} // namespace zel
