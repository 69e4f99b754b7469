#include "log/core/log_group.h"

#include "log/core/log_extensions.h"
#include "log/core/log_root.h"
#include "platform/process_info.h"
#include "platform/type_name.h"

#include <QUuid>

#include <typeinfo>
#include <vector>

namespace zel {

namespace {

// A new identity in its 38-character form: braces around upper-case hexadecimal groups.
QString new_guid_text() {
    return QUuid::createUuid().toString(QUuid::WithBraces).toUpper();
}

// The kind whose marker (in any case) is all that stands in `name` besides its identity; the
// name's own spelling of that marker goes to `marker`.
Tgroup_kind kind_of(const QString& name, QString& marker) {
    const std::optional<QString> remainder = without_identity(name);
    if (!remainder)
        return GK_NONE;
    for (int k = 0; k < group_kind_count; ++k)
        if (remainder->compare(group_kind_markers[static_cast<std::size_t>(k)],
                               Qt::CaseInsensitive) == 0) {
            marker = *remainder;
            return static_cast<Tgroup_kind>(k);
        }
    return GK_NONE;
}

} // namespace

std::shared_ptr<TLogGroup> TLogGroup::Create(const std::shared_ptr<TLogRoot>& aRoot,
                                             const QString& aName, const ILogGroupPtr& aParent) {
    const auto* group = dynamic_cast<const TLogGroup*>(aParent.get());
    return std::make_shared<TLogGroup>(TPrivate{}, aRoot, aName, aParent,
                                       group != nullptr ? group->anchor() : TTimeAnchor{});
}

TLogGroup::TLogGroup(TPrivate, std::weak_ptr<TLogRoot> aRoot, const QString& aName,
                     const ILogGroupPtr& aParent, const TTimeAnchor& anchor)
    : TLogEvent(TPrivate{}, std::move(aRoot), aParent, dynamic_cast<TLogGroup*>(aParent.get()),
                LK_GROUP, 0, anchor)
    , FStorages(std::make_shared<TLogStorageList>())
    , Fentries(std::make_shared<TLogEventList>())
    , FGroups(std::make_shared<TLogGroupList>())
    , Fname(aName)
    , Fdiscard(aParent ? aParent->discard().mask() : Tlog_kinds{LK_DEBUG}.mask())
    // A group outside any tree times its events from its own creation.
    , Fanchor(anchor.valid ? anchor : TTimeAnchor{ticks(), when(), true}) {}

std::uint32_t TLogGroup::child_count() const {
    return static_cast<std::uint32_t>(Fentries->Count());
}

bool TLogGroup::autocreate_group() const {
    return Fautocreate_group.load(std::memory_order_relaxed);
}

Tlog_kinds TLogGroup::discard() const {
    return Tlog_kinds::from_mask(Fdiscard.load(std::memory_order_relaxed));
}

ILogEventPtr TLogGroup::getevent(std::int32_t index) const {
    return Fentries->GetItems(index);
}

std::int32_t TLogGroup::event_count() const {
    return Fentries->Count();
}

ILogEventPtr TLogGroup::first_event() const {
    return Fentries->First();
}

ILogEventPtr TLogGroup::last_event() const {
    return Fentries->Last();
}

ILogEventListPtr TLogGroup::events() const {
    return Fentries;
}

QString TLogGroup::footer() const {
    std::scoped_lock guard(Ffields);
    return Ffooter;
}

ILogGroupListPtr TLogGroup::groups() const {
    return FGroups;
}

Tgroup_kind TLogGroup::group_kind() const {
    QString marker;
    return kind_of(name(), marker);
}

QString TLogGroup::header() const {
    std::scoped_lock guard(Ffields);
    return Fheader;
}

QString TLogGroup::name() const {
    std::scoped_lock guard(Ffields);
    return Fname;
}

QString TLogGroup::name_prefix() const {
    QString marker;
    kind_of(name(), marker);
    return marker;
}

TOnLogeventAdded TLogGroup::OnAdded() const {
    return FOnAdded.get();
}

TNotifyEvent TLogGroup::OnChanged() const {
    std::scoped_lock guard(Ffields);
    return FOnChanged ? *FOnChanged : TNotifyEvent();
}

ILogStoragePtr TLogGroup::getstorage(std::int32_t index) const {
    return FStorages->GetItems(index);
}

std::int32_t TLogGroup::storage_count() const {
    return FStorages->Count();
}

ILogStoragePtr TLogGroup::first_storage() const {
    return FStorages->First();
}

ILogStoragePtr TLogGroup::last_storage() const {
    return FStorages->Last();
}

ILogStorageListPtr TLogGroup::storages() const {
    return FStorages;
}

void TLogGroup::set_autocreate_group(bool value) {
    Fautocreate_group.store(value, std::memory_order_relaxed);
}

void TLogGroup::set_discard(Tlog_kinds value) {
    Fdiscard.store(value.mask(), std::memory_order_relaxed);
}

void TLogGroup::set_footer(const QString& value) {
    std::scoped_lock guard(Ffields);
    Ffooter = value;
}

void TLogGroup::set_header(const QString& value) {
    std::scoped_lock guard(Ffields);
    Fheader = value;
}

void TLogGroup::set_name(const QString& value) {
    std::scoped_lock guard(Ffields);
    Fname = value;
}

void TLogGroup::set_OnAdded(TOnLogeventAdded value) {
    FOnAdded.set(std::move(value));
}

void TLogGroup::set_OnChanged(TNotifyEvent value) {
    auto handler = value ? std::make_shared<const TNotifyEvent>(std::move(value)) : nullptr;
    std::scoped_lock guard(Ffields);
    FOnChanged.swap(handler);
}

bool TLogGroup::autostart() const {
    return Fautostart.load(std::memory_order_relaxed);
}

void TLogGroup::set_autostart(bool value) {
    Fautostart.store(value, std::memory_order_relaxed);
}

bool TLogGroup::started() const {
    return Fstarted.load(std::memory_order_acquire);
}

ILogEventEnumeratorPtr TLogGroup::GetEnumerator() {
    return Fentries->GetEnumerator();
}

namespace {

// Empties `list` and hands its items to the caller, who lets them go after the group lock: the
// last reference to an entry or a storage may run code that logs.
template <class T>
std::vector<std::shared_ptr<T>> take_all(TZelInterfaceList<T>& list) {
    std::scoped_lock guard(list);
    std::vector<std::shared_ptr<T>> items;
    items.reserve(static_cast<std::size_t>(list.Count()));
    for (std::int32_t i = 0; i < list.Count(); ++i)
        items.push_back(list.GetItems(i));
    list.clear();
    return items;
}

} // namespace

void TLogGroup::clear_entries() {
    std::vector<ILogEventPtr> entries;
    std::vector<ILogGroupPtr> groups;
    ILogEventPtr last;
    {
        std::scoped_lock guard(Fgroup_lock);
        entries = take_all(Fentries->items());
        groups = take_all(FGroups->items());
        last = std::move(Flast_added);
    }
    for (const ILogGroupPtr& group : groups)
        if (group)
            group->clear_entries();
}

void TLogGroup::clear_storages() {
    std::vector<ILogStoragePtr> storages;
    {
        std::scoped_lock guard(Fgroup_lock);
        storages = take_all(FStorages->items());
    }
}

void TLogGroup::clear_all() {
    clear_storages();
    clear_entries();
}

bool TLogGroup::ready() {
    if (!started() && autostart())
        start();
    return started();
}

void TLogGroup::add(Tlog_kind alog_type, const QString& txt, const ILogContextPtr& aContext,
                    bool do_localise) {
    if (discard().contains(alog_type) || !ready())
        return;
    new_entry(alog_type, true)->add(txt, aContext, do_localise);
}

void TLogGroup::add(Tlog_kind alog_type, const QString& fmt, TLogArgs Params,
                    const ILogContextPtr& aContext, bool do_localise) {
    if (discard().contains(alog_type) || !ready())
        return;
    new_entry(alog_type, true)->add(fmt, Params, aContext, do_localise);
}

void TLogGroup::add(Tlog_kind alog_type, const QString& fmt, TLogBoolean aValue,
                    const ILogContextPtr& aContext, bool do_localise) {
    if (discard().contains(alog_type) || !ready())
        return;
    new_entry(alog_type, true)->add(fmt, aValue, aContext, do_localise);
}

std::shared_ptr<TLogEvent> TLogGroup::new_entry(Tlog_kind kind, bool add_follows) {
    auto event = std::make_shared<TLogEvent>(TPrivate{}, Froot, self(), this, kind, 0, Fanchor);
    event->Fjust_created = add_follows;
    return event;
}

bool TLogGroup::find_group(const QString& aname, ILogGroupPtr& dst_group) {
    if (aname.isEmpty() || aname == name()) {
        dst_group = self();
        return true;
    }
    const qsizetype dot = aname.indexOf(u'.');
    const QString head = dot < 0 ? aname : aname.left(dot);
    const QString rest = dot < 0 ? QString() : aname.mid(dot + 1);

    ILogGroupPtr found;
    ILogEventPtr to_notify;
    ILogGroupPtr keep;
    {
        // Looking and creating are one step, so two threads asking for the same missing group
        // create it once.
        std::scoped_lock guard(Fgroup_lock);
        for (const ILogGroupPtr& group : FGroups->items())
            if (group && group->name() == head) {
                found = group;
                break;
            }
        if (!found && autocreate_group())
            found = create_sub_group(head, to_notify, keep);
    }
    if (to_notify)
        notify_added(to_notify);
    if (!found)
        return false;
    if (!rest.isEmpty())
        return found->find_group(rest, dst_group);
    dst_group = found;
    return true;
}

bool TLogGroup::find_group_of_thread(TThreadID Id, ILogGroupPtr& group) {
    if (thread_id() == Id) {
        group = self();
        return true;
    }
    for (const ILogGroupPtr& sub_group : FGroups->items())
        if (sub_group && sub_group->find_group_of_thread(Id, group))
            return true;
    return false;
}

ILogEventPtr TLogGroup::find_exception_event(const TExceptionRecord* ExceptionRecord,
                                             TThreadID Tid) {
    for (std::int32_t i = Fentries->Count() - 1; i >= 0; --i) {
        ILogEventPtr entry = Fentries->GetItems(i);
        if (!entry)
            continue;
        const Tlog_kind kind = entry->log_type();
        if (kind == LK_GROUP) {
            if (const auto group = std::dynamic_pointer_cast<TLogGroup>(entry))
                if (ILogEventPtr hit = group->find_exception_event(ExceptionRecord, Tid))
                    return hit;
            continue;
        }
        if (kind != LK_EXCEPTION || entry->thread_id() != Tid)
            continue;
        if (ExceptionRecord == nullptr)
            return entry;
        const auto held =
            std::dynamic_pointer_cast<const IExceptionRecordValue>(entry->value().custom());
        if (held && same_exception(held->record(), *ExceptionRecord))
            return entry;
    }
    return nullptr;
}

ILogEventPtr TLogGroup::add_exception_context(const QString& txt, const std::exception& E) {
    const auto* os_exception = dynamic_cast<const EOSException*>(&E);
    const TExceptionRecord* record = os_exception != nullptr ? &os_exception->record() : nullptr;
    if (ILogEventPtr known = find_exception_event(record, platform::current_thread_id())) {
        known->add(txt, nullptr, true);
        return known;
    }
    const std::shared_ptr<TLogEvent> event = new_entry(LK_EXCEPTION, false);
    std::scoped_lock guard(event->event_lock());
    event->BeginUpdate();
    if (record != nullptr) {
        const TExceptionPointers pointers{record, nullptr};
        event->add_exception(&pointers);
    } else {
        event->add(QString::fromUtf8(E.what()) + QStringLiteral(" in ") +
                       QString::fromStdString(platform::type_name(typeid(E))),
                   nullptr, true);
    }
    event->add(txt, nullptr, true);
    event->EndUpdate();
    return event;
}

bool TLogGroup::select(const ILogEventListPtr& list, Tlog_kinds sel_discard,
                       const ILogEventPtr& stop_at) {
    for (const ILogEventPtr& entry : Fentries->items()) {
        if (!entry)
            continue;
        bool reached = entry == stop_at;
        const Tlog_kind kind = entry->log_type();
        if (!sel_discard.contains(kind)) {
            list->Add(entry);
            if (kind == LK_GROUP)
                if (const auto group = std::dynamic_pointer_cast<ILogGroup>(entry))
                    reached = group->select(list, sel_discard, stop_at) || reached;
        }
        if (reached)
            return true;
    }
    return false;
}

ILogStoragePtr TLogGroup::new_storage() {
    const auto& hook = log_persistence_hooks().new_storage;
    return hook ? hook() : nullptr;
}

std::int32_t TLogGroup::register_storage(const ILogStoragePtr& new_storage) {
    if (!new_storage)
        return -1;
    ILogEventPtr last;
    std::int32_t index = 0;
    {
        std::scoped_lock guard(Fgroup_lock);
        index = FStorages->IndexOf(new_storage);
        if (index >= 0)
            return index;
        index = FStorages->Add(new_storage);
        last = Flast_added;
    }
    new_storage->set_group(self());
    if (last)
        if (const auto file = std::dynamic_pointer_cast<ILogFileInternal>(new_storage))
            file->event_arrived(last);
    return index;
}

void TLogGroup::start() {
    ILogEventPtr header_event;
    ILogGroupPtr keep;
    {
        std::scoped_lock guard(Fgroup_lock);
        if (!Fstarted.load(std::memory_order_relaxed)) {
            Fstarted.store(true, std::memory_order_release);
            const QString line = header();
            if (!line.isEmpty())
                header_event = place(decoration(line), keep);
        }
    }
    if (header_event)
        notify_added(header_event);
    for (const ILogGroupPtr& group : FGroups->items())
        if (group)
            group->start();
}

void TLogGroup::stop() {
    for (const ILogGroupPtr& group : FGroups->items())
        if (group)
            group->stop();
    ILogEventPtr footer_event;
    ILogGroupPtr keep;
    {
        std::scoped_lock guard(Fgroup_lock);
        if (!Fstarted.load(std::memory_order_relaxed) || Fstopping)
            return;
        Fstopping = true;
        const QString line = footer();
        if (!line.isEmpty())
            footer_event = place(decoration(line), keep);
    }
    // The footer reaches the storages while the group still counts as started; then the
    // group stops and every storage makes its final write. Neither happens under the group
    // lock, since a storage asks the group and the root for their state while it writes.
    if (footer_event)
        notify_added(footer_event);
    std::vector<ILogStoragePtr> final_writes;
    {
        std::scoped_lock guard(Fgroup_lock);
        Fstarted.store(false, std::memory_order_release);
        Fstopping = false;
        for (const ILogStoragePtr& storage : FStorages->items())
            final_writes.push_back(storage);
    }
    for (const ILogStoragePtr& storage : final_writes)
        if (storage)
            storage->write_event(nullptr);
}

void TLogGroup::enable_storages(bool enabled) {
    for (const ILogStoragePtr& storage : FStorages->items())
        if (storage)
            storage->set_enabled(enabled);
    for (const ILogGroupPtr& group : FGroups->items())
        if (group)
            group->enable_storages(enabled);
}

ILogEventPtr TLogGroup::new_event(Tlog_kind aLog_type) {
    ready();
    if (aLog_type == LK_GROUP)
        return new_group(new_guid_text());
    return new_entry(aLog_type, false);
}

ILogGroupPtr TLogGroup::new_group(const QString& aName) {
    ILogEventPtr to_notify;
    ILogGroupPtr keep;
    std::shared_ptr<TLogGroup> group;
    {
        std::scoped_lock guard(Fgroup_lock);
        group = create_sub_group(aName, to_notify, keep);
    }
    notify_added(to_notify);
    return group;
}

bool TLogGroup::add_seeded_group(ILogGroupPtr& group, Tgroup_kind kind) {
    const QString marker =
        kind < group_kind_count ? group_kind_markers[kind].toString() : QString();
    group = new_group(marker + new_guid_text());
    return true;
}

bool TLogGroup::LoadFromFile(const QString& FileName) {
    const auto& hook = log_persistence_hooks().load_from_file;
    return hook && hook(self(), FileName);
}

bool TLogGroup::LoadFromStream(TByteStream& FileStream, const QString& aCaption) {
    const auto& hook = log_persistence_hooks().load_from_stream;
    return hook && hook(self(), FileStream, aCaption);
}

template <class Adder>
void TLogGroup::add_information(Tlog_kind skip_kind, Tlog_kind event_kind, Adder&& adder) {
    if (discard().contains(skip_kind) || !ready())
        return;
    adder(*new_entry(event_kind, false));
}

void TLogGroup::add_commandline(const QString& hide_if_contains) {
    add_information(LK_GROUP, LK_INFO,
                    [&](TLogEvent& event) { event.add_commandline(hide_if_contains); });
}

void TLogGroup::add_cpu() {
    add_information(LK_GROUP, LK_INFO, [](TLogEvent& event) { event.add_cpu(); });
}

void TLogGroup::add_exception(const TExceptionPointers* Exception_info) {
    add_information(LK_EXCEPTION, LK_EXCEPTION,
                    [&](TLogEvent& event) { event.add_exception(Exception_info); });
}

void TLogGroup::add_memory() {
    add_information(LK_GROUP, LK_INFO, [](TLogEvent& event) { event.add_memory(); });
}

void TLogGroup::add_startup_info() {
    add_information(LK_INFO, LK_INFO, [](TLogEvent& event) { event.add_startup_info(); });
}

void TLogGroup::add_winerror() {
    add_information(LK_INFO, LK_ERROR, [](TLogEvent& event) { event.add_winerror(); });
}

void TLogGroup::notify_added(const ILogEventPtr& event) {
    if (!event)
        return;
    raise_last(event->last_ticks(), event->last_when());
    // A group's parent is final once the group is in its parent's lists (see create_sub_group).
    TLogGroup* const parent = parent_group_unlocked();
    FOnAdded.call(static_cast<const ILogGroup*>(this), event);
    const std::int32_t count = FStorages->Count();
    for (std::int32_t i = 0; i < count; ++i)
        if (const auto file = std::dynamic_pointer_cast<ILogFileInternal>(FStorages->GetItems(i)))
            file->event_arrived(event);
    if (parent != nullptr)
        parent->notify_added(event);
    else if (const auto foreign = std::dynamic_pointer_cast<ILogGroupInternal>(parent_unlocked()))
        foreign->notify_added(event);
}

void TLogGroup::commit_event(const ILogEventPtr& event) {
    if (const auto own = std::dynamic_pointer_cast<TLogEvent>(event))
        commit(own);
    else
        notify_added(event);
}

void TLogGroup::commit(const std::shared_ptr<TLogEvent>& event) {
    ILogEventPtr to_notify;
    ILogGroupPtr keep; // a folded event's reference to this group, dropped after the work
    {
        std::scoped_lock guard(Fgroup_lock);
        to_notify = place(event, keep);
    }
    notify_added(to_notify);
}

ILogEventPtr TLogGroup::last_added() const {
    std::scoped_lock guard(Fgroup_lock);
    return Flast_added;
}

ILogEventPtr TLogGroup::place(const std::shared_ptr<TLogEvent>& event, ILogGroupPtr& keep) {
    if (event->index() >= 0)
        return event;
    if (Flast_added && Flast_added->repeated_by(*event)) {
        keep = event->detach_parent();
        return Flast_added;
    }
    event->set_index(Fentries->Add(event));
    Flast_added = event;
    return event;
}

std::shared_ptr<TLogGroup>
TLogGroup::create_sub_group(const QString& aName, ILogEventPtr& to_notify, ILogGroupPtr& keep) {
    auto group = std::make_shared<TLogGroup>(TPrivate{}, Froot, aName, self(), Fanchor);
    // Placed (or folded, which takes its parent away) before it becomes visible in the
    // sub-group list, so that its parent never changes once another thread can see it.
    to_notify = place(group, keep);
    group->Fgroup_index.store(FGroups->Add(group), std::memory_order_relaxed);
    return group;
}

std::shared_ptr<TLogEvent> TLogGroup::decoration(const QString& line_template) {
    std::shared_ptr<TLogEvent> event = new_entry(LK_DECORATION, true);
    const QString line = preprocess(line_template, true, false);
    QString translated;
    const bool has_translation = translate_text(line, translated);
    const ILogContextPtr no_context;
    event->append(line, has_translation ? &translated : nullptr, &no_context, false);
    event->take_changes();
    return event;
}

} // namespace zel
