#pragma once

#include "Common/guarded_handler.h"
#include "log/core/log_event.h"
#include "log/core/log_lists.h"

#include <QString>

#include <atomic>
#include <memory>
#include <mutex>

namespace zel {

// A node of the log tree: an LK_GROUP event that holds its entries, its sub-groups and its
// storages. The group lock is held only for short steps (placing an entry, searching, clearing,
// the started state); handlers, storages and ancestors are told about a finished entry after it
// is released, on the thread that finished the entry.
class TLogGroup : public TLogEvent, public virtual ILogGroupInternal {
public:
    // A stopped group named `aName` below `aParent` (none for a top group).
    static std::shared_ptr<TLogGroup> Create(const std::shared_ptr<TLogRoot>& aRoot,
                                             const QString& aName, const ILogGroupPtr& aParent);

    TLogGroup(TPrivate, std::weak_ptr<TLogRoot> aRoot, const QString& aName,
              const ILogGroupPtr& aParent, const TTimeAnchor& anchor);

    std::uint32_t child_count() const override;

    bool autocreate_group() const override;
    Tlog_kinds discard() const override;
    ILogEventPtr getevent(std::int32_t index) const override;
    std::int32_t event_count() const override;
    ILogEventPtr first_event() const override;
    ILogEventPtr last_event() const override;
    ILogEventListPtr events() const override;
    QString footer() const override;
    ILogGroupListPtr groups() const override;
    Tgroup_kind group_kind() const override;
    QString header() const override;
    QString name() const override;
    QString name_prefix() const override;
    TOnLogeventAdded OnAdded() const override;
    TNotifyEvent OnChanged() const override;
    ILogStoragePtr getstorage(std::int32_t index) const override;
    std::int32_t storage_count() const override;
    ILogStoragePtr first_storage() const override;
    ILogStoragePtr last_storage() const override;
    ILogStorageListPtr storages() const override;
    void set_autocreate_group(bool value) override;
    void set_discard(Tlog_kinds value) override;
    void set_footer(const QString& value) override;
    void set_header(const QString& value) override;
    void set_name(const QString& value) override;
    void set_OnAdded(TOnLogeventAdded value) override;
    void set_OnChanged(TNotifyEvent value) override;
    bool autostart() const override;
    void set_autostart(bool value) override;
    bool started() const override;
    ILogEventEnumeratorPtr GetEnumerator() override;
    void clear_entries() override;
    void clear_storages() override;
    void clear_all() override;
    using TLogEvent::add;
    void add(Tlog_kind alog_type, const QString& txt, const ILogContextPtr& aContext = nullptr,
             bool do_localise = true) override;
    void add(Tlog_kind alog_type, const QString& fmt, TLogArgs Params,
             const ILogContextPtr& aContext = nullptr, bool do_localise = true) override;
    void add(Tlog_kind alog_type, const QString& fmt, TLogBoolean aValue,
             const ILogContextPtr& aContext = nullptr, bool do_localise = true) override;
    bool find_group(const QString& aname, ILogGroupPtr& dst_group) override;
    bool find_group_of_thread(TThreadID Id, ILogGroupPtr& group) override;
    ILogEventPtr add_exception_context(const QString& txt, const std::exception& E) override;
    bool select(const ILogEventListPtr& list, Tlog_kinds sel_discard,
                const ILogEventPtr& stop_at) override;
    ILogStoragePtr new_storage() override;
    std::int32_t register_storage(const ILogStoragePtr& new_storage) override;
    void start() override;
    void stop() override;
    void enable_storages(bool enabled) override;
    ILogEventPtr new_event(Tlog_kind aLog_type) override;
    ILogGroupPtr new_group(const QString& aName) override;
    bool add_seeded_group(ILogGroupPtr& group, Tgroup_kind kind) override;
    bool LoadFromFile(const QString& FileName) override;
    bool LoadFromStream(TByteStream& FileStream, const QString& aCaption) override;

    // The system-information adders: each creates an event of its kind in this group and lets
    // the diagnostics layer fill it.
    void add_commandline(const QString& hide_if_contains) override;
    void add_cpu() override;
    void add_exception(const TExceptionPointers* Exception_info) override;
    void add_memory() override;
    void add_startup_info() override;
    void add_winerror() override;

    void notify_added(const ILogEventPtr& event) override;
    void commit_event(const ILogEventPtr& event) override;

    // The entry most recently placed (repeats fold into it) and this group's position among
    // its parent's sub-groups.
    ILogEventPtr last_added() const;
    std::int32_t group_index() const noexcept {
        return Fgroup_index.load(std::memory_order_relaxed);
    }

    // The newest exception event of thread `Tid` in this group or below it; with a record, only
    // one that holds the same exception.
    ILogEventPtr find_exception_event(const TExceptionRecord* ExceptionRecord, TThreadID Tid);

    // Places a finished event (or folds it into the previous entry), then notifies.
    void commit(const std::shared_ptr<TLogEvent>& event);

    // The clock reading that this group's events take their times from.
    const TTimeAnchor& anchor() const noexcept { return Fanchor; }

protected:
    std::shared_ptr<TLogGroup> self() {
        return std::static_pointer_cast<TLogGroup>(shared_from_this());
    }

private:
    // Under the group lock: places `event` or folds it into the last entry; returns the entry
    // to notify. `keep` receives the parent reference of a folded event.
    ILogEventPtr place(const std::shared_ptr<TLogEvent>& event, ILogGroupPtr& keep);
    // Under the group lock: a new group named `aName` in the sub-group list and placed.
    std::shared_ptr<TLogGroup> create_sub_group(const QString& aName, ILogEventPtr& to_notify,
                                                ILogGroupPtr& keep);
    // A decoration line (header or footer) with `line_template` expanded on this group, filled
    // but not yet placed.
    std::shared_ptr<TLogEvent> decoration(const QString& line_template);
    // A new event of this group, not yet placed; `add_follows` when it gets its first text at
    // once (its creation time then also times that change).
    std::shared_ptr<TLogEvent> new_entry(Tlog_kind kind, bool add_follows);
    // Starts the group when it is stopped and autostarts; true when it is started.
    bool ready();
    template <class Adder>
    void add_information(Tlog_kind skip_kind, Tlog_kind event_kind, Adder&& adder);

    // Held for short steps only and never re-entered: nothing that could lock a group runs
    // under it (released entries and storages are let go after it).
    mutable TShortLock Fgroup_lock;
    const std::shared_ptr<TLogStorageList> FStorages;
    const std::shared_ptr<TLogEventList> Fentries;
    const std::shared_ptr<TLogGroupList> FGroups;
    TGuardedHandler<TOnLogeventAdded> FOnAdded; // under a lock of its own
    // Under the field lock of the event part:
    std::shared_ptr<const TNotifyEvent> FOnChanged;
    QString Fname;
    QString Fheader;
    QString Ffooter;
    // Under the group lock:
    std::shared_ptr<TLogEvent> Flast_added; // only events of this library are placed
    bool Fstopping = false;
    std::atomic<std::uint16_t> Fdiscard;
    std::atomic<bool> Fautocreate_group{true};
    std::atomic<bool> Fautostart{true};
    std::atomic<bool> Fstarted{false};
    std::atomic<std::int32_t> Fgroup_index{-1};
    const TTimeAnchor Fanchor;
};

} // namespace zel
