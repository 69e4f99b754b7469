#pragma once

#include "log/core/log_interfaces.h"
#include "log/core/short_lock.h"

#include <QString>

namespace zel {

// A tag that events can carry: its prefix goes in front of the event text. A thread id of 0
// lets any thread find it by its data.
class TLogContext : public ILogContext {
public:
    std::int32_t category() const override;
    void* data() const override;
    ILogGroupPtr group() const override;
    QString name() const override;
    QString prefix() const override;
    TThreadID thread_id() const override;
    void set_category(std::int32_t value) override;
    void set_data(void* value) override;
    void set_group(const ILogGroupPtr& value) override;
    void set_name(const QString& value) override;
    void set_prefix(const QString& value) override;
    void set_thread_id(TThreadID value) override;

private:
    mutable TShortLock Flock;
    QString Fname;
    QString Fprefix;
    ILogGroupPtr Fgroup;
    void* Fdata = nullptr;
    std::int32_t FCategory = 0;
    TThreadID Fthread_id = 0;
};

} // namespace zel
