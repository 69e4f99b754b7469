#pragma once

#include "log/core/log_interfaces.h"
#include "log/core/log_process.h"
#include "log/core/short_lock.h"

#include <QString>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

namespace zel {

class TLogGroup;
class TLogRoot;

// One entry of the log. Any thread may create and change events. `add` runs under the event's
// re-entrant lock up to and including the commit to the group and the notifications that
// follow; getters never take that lock: they read atomics, or copy texts under a short field
// lock, so a reader on another thread never sees a text half-written.
class TLogEvent : public virtual ILogEvent, public std::enable_shared_from_this<TLogEvent> {
protected:
    struct TPrivate {};

public:
    // An event of `alog_type` in `aParent`, not yet placed: its first finished update places it.
    // `a_tick` 0 reads the counter now; another value (a stored tick) becomes its ticks.
    static std::shared_ptr<TLogEvent> Create(const std::shared_ptr<TLogRoot>& aRoot,
                                             const ILogGroupPtr& aParent, Tlog_kind alog_type,
                                             std::int64_t a_tick = 0);

    // `parent_group` is `aParent` as a group of this library (or null); `anchor` its time base.
    TLogEvent(TPrivate, std::weak_ptr<TLogRoot> aRoot, ILogGroupPtr aParent,
              TLogGroup* parent_group, Tlog_kind alog_type, std::int64_t a_tick,
              const TTimeAnchor& anchor);
    TLogEvent(const TLogEvent&) = delete;
    TLogEvent& operator=(const TLogEvent&) = delete;
    ~TLogEvent() override;

    std::int32_t add_count() const override;
    std::uint32_t child_count() const override;
    std::uint32_t commit_id() const override;
    void* data() const override;
    std::int32_t depth() const override;
    std::uint32_t id() const override;
    std::int32_t index() const override;
    std::int64_t last_ticks() const override;
    TDateTime last_when() const override;
    TDateTime last_when_relative() const override;
    QString local_or_native_text() const override;
    QString local_text() const override;
    Tlog_kind log_type() const override;
    QString log_type_as_text() const override;
    ILogGroupPtr parent() const override;
    QString parent_group_name() const override;
    QString parent_group_prefix() const override;
    QString PreProcessFormat() const override;
    std::uint32_t repeat_count() const override;
    QString text() const override;
    TThreadID thread_id() const override;
    std::int64_t ticks() const override;
    std::int64_t ticks_relative() const override;
    bool updating() const override;
    TLogValue value() const override;
    QString value_as_text() const override;
    TDateTime when() const override;
    TDateTime when_relative() const override;
    void set_data(void* value) override;
    void set_local_text(const QString& value) override;
    void set_PreProcessFormat(const QString& value) override;
    void set_text(const QString& value) override;
    void set_value(const TLogValue& value) override;

    QString preprocess(const QString& txt, bool locale, bool use_width) const override;

    void add_commandline(const QString& hide_if_contains) override;
    void add_cpu() override;
    void add_exception(const TExceptionPointers* Exception_info) override;
    void add_memory() override;
    void add_startup_info() override;
    void add_winerror() override;
    // The line of a last error that the caller read before anything could change it.
    void add_winerror(int code);

    void add(const QString& txt, const ILogContextPtr& aContext = nullptr,
             bool do_localise = true) override;
    void add(const QString& fmt, TLogArgs Params, const ILogContextPtr& aContext = nullptr,
             bool do_localise = true) override;
    void add(const QString& txt, TLogBoolean aValue, const ILogContextPtr& aContext = nullptr,
             bool do_localise = true) override;
    bool BeginUpdate() override;
    bool EndUpdate() override;
    bool check_repeat(const ILogEventPtr& event) override;
    bool is_child_of(const ILogGroupPtr& log_group) const override;

    // Puts a line in front of the text (and of the translated text).
    void insert(const QString& txt, bool do_localise = true);

    // The root of the tree (null once it is gone) and the context of the latest add.
    std::shared_ptr<TLogRoot> root() const { return Froot.lock(); }
    ILogContextPtr context() const;

    // For the loader, which restores what a file recorded, and for the diagnostics layer.
    void set_log_type(Tlog_kind value);
    void set_thread_id(TThreadID value);
    void set_ticks(std::int64_t value);
    void set_when(TDateTime value);
    void set_last_ticks(std::int64_t value);
    void set_last_when(TDateTime value);
    void set_repeat_count(std::uint32_t value);
    void set_add_count(std::int32_t value);

    // The event's re-entrant lock, which `add` holds for the whole call; the lock order is event,
    // group, storage, lists.
    TReentrantLock& event_lock() const noexcept { return Flock; }

protected:
    friend class TLogGroup;

    // The parent as a group of this library (null without parent or once folded away).
    TLogGroup* parent_group() const;
    // The same without the field lock, and the parent itself, for a group: its parent is final
    // once the group is in its parent's lists.
    TLogGroup* parent_group_unlocked() const noexcept { return Fparent_group; }
    const ILogGroupPtr& parent_unlocked() const noexcept { return Fparent; }
    // A folded repeat leaves its group: the reference is handed to the caller, who drops it
    // once the group's work is done.
    ILogGroupPtr detach_parent();
    void set_index(std::int32_t value) noexcept { FIndex.store(value, std::memory_order_release); }
    // The add steps without the update bracket: times, context (unless null), texts (the piece
    // after the text, or in front of it), counters.
    void append(const QString& piece, const QString* local_piece, const ILogContextPtr* aContext,
                bool in_front);
    // Marks what was added so far as committed; true when something was added since last time.
    bool take_changes();
    // The repeat test of check_repeat between two events of this library: the group's placement
    // compares without copying texts (both field locks are taken, the new event's second; only
    // the group that places it, one thread at a time, ever holds two).
    bool repeated_by(const TLogEvent& event);
    // The root's true or false text with a blank after it, or nothing.
    QString value_prefix(bool aValue) const;
    // Moves the latest-change time forward to the given reading, never back.
    void raise_last(std::int64_t at_ticks, TDateTime at_when) noexcept;

private:
    // Rarely set fields, allocated on first use to keep common events small.
    struct TExtras {
        QString local_text;
        QString pp_format;
        ILogContextPtr context;
        TLogValue value;
    };

    TExtras& extras();
    void update_last_time();
    void commit();
    template <class Hook, class... Args>
    void run_hook(const Hook& hook, Args&&... args);

protected:
    std::weak_ptr<TLogRoot> Froot; // set once, before the object is shared
    // Guards Fparent, Fparent_group, Ftext, Fextras and the group fields that getters copy.
    mutable TShortLock Ffields;

private:
    ILogGroupPtr Fparent;
    TLogGroup* Fparent_group = nullptr;
    std::atomic<void*> Fdata{nullptr};
    std::atomic<std::int32_t> FIndex{-1};
    const std::uint32_t Fid;
    std::atomic<std::uint32_t> Fadd_id{0};
    std::atomic<std::uint32_t> Fcommit_id{0};
    std::atomic<std::int32_t> Fupdate_count{0};
    std::atomic<Tlog_kind> Flog_type;
    bool Fjust_created = false; // under Flock: created for an add that follows at once
    std::atomic<std::int32_t> FAdd_count{0};
    std::atomic<std::uint32_t> FRepeat_count{0};
    std::atomic<TThreadID> Fthread_id;
    std::atomic<std::int64_t> Fticks;
    std::atomic<std::int64_t> Flast_ticks;
    std::atomic<TDateTime> Fwhen;
    std::atomic<TDateTime> Flast_when;
    QString Ftext;
    std::unique_ptr<TExtras> Fextras;
    mutable TReentrantLock Flock;
};

} // namespace zel
