#include "log/core/log_context.h"

#include <mutex>

namespace zel {

std::int32_t TLogContext::category() const {
    std::scoped_lock guard(Flock);
    return FCategory;
}

void* TLogContext::data() const {
    std::scoped_lock guard(Flock);
    return Fdata;
}

ILogGroupPtr TLogContext::group() const {
    std::scoped_lock guard(Flock);
    return Fgroup;
}

QString TLogContext::name() const {
    std::scoped_lock guard(Flock);
    return Fname;
}

QString TLogContext::prefix() const {
    std::scoped_lock guard(Flock);
    return Fprefix;
}

TThreadID TLogContext::thread_id() const {
    std::scoped_lock guard(Flock);
    return Fthread_id;
}

void TLogContext::set_category(std::int32_t value) {
    std::scoped_lock guard(Flock);
    FCategory = value;
}

void TLogContext::set_data(void* value) {
    std::scoped_lock guard(Flock);
    Fdata = value;
}

void TLogContext::set_group(const ILogGroupPtr& value) {
    ILogGroupPtr previous = value; // the old group is released after the lock
    std::scoped_lock guard(Flock);
    Fgroup.swap(previous);
}

void TLogContext::set_name(const QString& value) {
    std::scoped_lock guard(Flock);
    Fname = value;
}

void TLogContext::set_prefix(const QString& value) {
    std::scoped_lock guard(Flock);
    Fprefix = value;
}

void TLogContext::set_thread_id(TThreadID value) {
    std::scoped_lock guard(Flock);
    Fthread_id = value;
}

} // namespace zel
