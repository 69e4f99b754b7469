#include "log/core/log_event.h"

#include "log/core/date_time_format.h"
#include "log/core/log_extensions.h"
#include "log/core/log_group.h"
#include "log/core/log_root.h"
#include "log/core/safe_format.h"
#include "log/core/text_templates.h"
#include "platform/error_text.h"
#include "platform/process_info.h"

#include <QStringList>

#include <algorithm>

namespace zel {

namespace {

// Process-wide numbering; the first value handed out is 1.
std::atomic<std::uint32_t> log_id_counter{0};
std::atomic<std::uint32_t> log_add_counter{0};

const QString line_break = QStringLiteral("\r\n");

// The name that repeat folding compares: a group's name, any other event's whole text.
QString repeat_name(const ILogEvent& event) {
    if (event.log_type() == LK_GROUP)
        if (const auto* group = dynamic_cast<const ILogGroup*>(&event))
            return group->name();
    return event.text();
}

template <class T>
void raise_to(std::atomic<T>& field, T value) noexcept {
    T current = field.load(std::memory_order_relaxed);
    while (current < value &&
           !field.compare_exchange_weak(current, value, std::memory_order_relaxed))
        ;
}

// The 28 tags "{index}" ... "{group_prefix}" in item order.
const QStringList& info_tags() {
    static const QStringList tags = [] {
        QStringList built;
        for (int item = 0; item < nb_info_items; ++item)
            built.append(u'{' + log_item_fmts[static_cast<std::size_t>(item)].name.toString() +
                         u'}');
        return built;
    }();
    return tags;
}

} // namespace

std::shared_ptr<TLogEvent> TLogEvent::Create(const std::shared_ptr<TLogRoot>& aRoot,
                                             const ILogGroupPtr& aParent, Tlog_kind alog_type,
                                             std::int64_t a_tick) {
    auto* group = dynamic_cast<TLogGroup*>(aParent.get());
    return std::make_shared<TLogEvent>(TPrivate{}, aRoot, aParent, group, alog_type, a_tick,
                                       group != nullptr ? group->anchor() : TTimeAnchor{});
}

TLogEvent::TLogEvent(TPrivate, std::weak_ptr<TLogRoot> aRoot, ILogGroupPtr aParent,
                     TLogGroup* parent_group, Tlog_kind alog_type, std::int64_t a_tick,
                     const TTimeAnchor& anchor)
    : Froot(std::move(aRoot))
    , Fparent(std::move(aParent))
    , Fparent_group(parent_group)
    , Fid(log_id_counter.fetch_add(1, std::memory_order_relaxed) + 1)
    , Flog_type(alog_type)
    , Fthread_id(platform::current_thread_id()) {
    const std::int64_t tick = a_tick != 0 ? a_tick : read_ticks();
    // Within a tree, times come from the counter anchored at the root's creation: monotonic and
    // of counter resolution. An event of no tree takes the wall clock.
    const TDateTime at = anchor.valid ? anchor.when_at(tick) : date_time_now();
    Fticks.store(tick, std::memory_order_relaxed);
    Flast_ticks.store(tick, std::memory_order_relaxed);
    Fwhen.store(at, std::memory_order_relaxed);
    Flast_when.store(at, std::memory_order_relaxed);
}

TLogEvent::~TLogEvent() = default;

std::int32_t TLogEvent::add_count() const {
    return FAdd_count.load(std::memory_order_relaxed);
}

std::uint32_t TLogEvent::child_count() const {
    return 0;
}

std::uint32_t TLogEvent::commit_id() const {
    return Fcommit_id.load(std::memory_order_acquire);
}

void* TLogEvent::data() const {
    return Fdata.load(std::memory_order_acquire);
}

std::int32_t TLogEvent::depth() const {
    std::int32_t count = 0;
    for (ILogGroupPtr ancestor = parent(); ancestor; ancestor = ancestor->parent())
        ++count;
    return count;
}

std::uint32_t TLogEvent::id() const {
    return Fid;
}

std::int32_t TLogEvent::index() const {
    return FIndex.load(std::memory_order_acquire);
}

std::int64_t TLogEvent::last_ticks() const {
    return Flast_ticks.load(std::memory_order_relaxed);
}

TDateTime TLogEvent::last_when() const {
    return Flast_when.load(std::memory_order_relaxed);
}

TDateTime TLogEvent::last_when_relative() const {
    const ILogGroupPtr group = parent();
    return group ? last_when() - group->when() : last_when();
}

QString TLogEvent::local_or_native_text() const {
    std::scoped_lock guard(Ffields);
    if (Fextras && !Fextras->local_text.isEmpty())
        return Fextras->local_text;
    return Ftext;
}

QString TLogEvent::local_text() const {
    std::scoped_lock guard(Ffields);
    return Fextras ? Fextras->local_text : QString();
}

Tlog_kind TLogEvent::log_type() const {
    return Flog_type.load(std::memory_order_relaxed);
}

QString TLogEvent::log_type_as_text() const {
    return log_kind_name(log_type());
}

ILogGroupPtr TLogEvent::parent() const {
    std::scoped_lock guard(Ffields);
    return Fparent;
}

QString TLogEvent::parent_group_name() const {
    const ILogGroupPtr group = parent();
    return group ? group->name() : QString();
}

QString TLogEvent::parent_group_prefix() const {
    const ILogGroupPtr group = parent();
    return group ? group->name_prefix() : QString();
}

QString TLogEvent::PreProcessFormat() const {
    std::scoped_lock guard(Ffields);
    return Fextras ? Fextras->pp_format : QString();
}

std::uint32_t TLogEvent::repeat_count() const {
    return FRepeat_count.load(std::memory_order_relaxed);
}

QString TLogEvent::text() const {
    std::scoped_lock guard(Ffields);
    return Ftext;
}

TThreadID TLogEvent::thread_id() const {
    return Fthread_id.load(std::memory_order_relaxed);
}

std::int64_t TLogEvent::ticks() const {
    return Fticks.load(std::memory_order_relaxed);
}

std::int64_t TLogEvent::ticks_relative() const {
    const ILogGroupPtr group = parent();
    return group ? ticks() - group->ticks() : ticks();
}

bool TLogEvent::updating() const {
    return Fupdate_count.load(std::memory_order_relaxed) > 0;
}

TLogValue TLogEvent::value() const {
    std::scoped_lock guard(Ffields);
    return Fextras ? Fextras->value : TLogValue();
}

QString TLogEvent::value_as_text() const {
    const TLogValue current = value();
    if (current.kind() == TLogValue::Kind::Boolean) {
        if (const std::shared_ptr<TLogRoot> tree = root())
            return current.as_boolean() ? tree->true_string() : tree->false_string();
    }
    return current.as_text();
}

TDateTime TLogEvent::when() const {
    return Fwhen.load(std::memory_order_relaxed);
}

TDateTime TLogEvent::when_relative() const {
    const ILogGroupPtr group = parent();
    return group ? when() - group->when() : when();
}

void TLogEvent::set_data(void* value) {
    Fdata.store(value, std::memory_order_release);
}

void TLogEvent::set_local_text(const QString& value) {
    std::scoped_lock guard(Ffields);
    extras().local_text = value;
}

void TLogEvent::set_PreProcessFormat(const QString& value) {
    std::scoped_lock guard(Ffields);
    extras().pp_format = value;
}

void TLogEvent::set_text(const QString& value) {
    std::scoped_lock guard(Ffields);
    Ftext = value;
}

void TLogEvent::set_value(const TLogValue& value) {
    std::scoped_lock guard(Ffields);
    extras().value = value;
}

ILogContextPtr TLogEvent::context() const {
    std::scoped_lock guard(Ffields);
    return Fextras ? Fextras->context : nullptr;
}

QString TLogEvent::preprocess(const QString& txt, bool locale, bool use_width) const {
    const std::shared_ptr<TLogRoot> tree = root();
    const std::shared_ptr<const TFormatSettings> settings =
        tree ? tree->format_settings(locale) : TLogRoot::default_format_settings();
    const TFormatSettings& fs = *settings;
    const auto date_time = [&fs](const QString& pattern, TDateTime value) {
        return format_date_time(pattern, value, fs);
    };
    const auto context_prefix = [this] {
        const ILogContextPtr ctx = context();
        return ctx ? ctx->prefix() : QString();
    };

    const TValueGetter getter = [&](std::int32_t index, const QChar*, QString& value) {
        const auto item = static_cast<Log_info_item>(index);
        switch (item) {
        case lii_index:
            value = QString::number(this->index());
            break;
        case lii_depth:
            value = QString::number(depth());
            break;
        case lii_group:
            value = parent_group_name();
            break;
        case lii_id:
            value = QString::number(id());
            break;
        case lii_thread_id:
            value = QString::number(thread_id());
            break;
        case lii_type:
            value = log_type_as_text();
            break;
        case lii_ticks:
            value = QString::number(ticks());
            break;
        case lii_ticks_relative:
            value = QString::number(ticks_relative());
            break;
        case lii_date:
            value = date_time(fs.LongDateFormat, when());
            break;
        case lii_date_short:
            value = date_time(fs.ShortDateFormat, when());
            break;
        case lii_time:
            value = date_time(fs.LongTimeFormat, when());
            break;
        case lii_time_short:
            value = date_time(fs.ShortTimeFormat, when());
            break;
        case lii_time_relative:
            value = date_time(fs.LongTimeFormat, when_relative());
            break;
        case lii_last_date:
            value = date_time(fs.LongDateFormat, last_when());
            break;
        case lii_last_date_short:
            value = date_time(fs.ShortDateFormat, last_when());
            break;
        case lii_last_time:
            value = date_time(fs.LongTimeFormat, last_when());
            break;
        case lii_last_time_short:
            value = date_time(fs.ShortTimeFormat, last_when());
            break;
        case lii_last_time_relative:
            value = date_time(fs.ShortTimeFormat, last_when_relative());
            break;
        case lii_duration:
            value = duration_text(last_when() - when());
            break;
        case lii_repeat_count:
            value = QString::number(repeat_count());
            break;
        case lii_add_count:
            value = QString::number(add_count());
            break;
        case lii_text:
            value = context_prefix() + (locale ? local_or_native_text() : text());
            break;
        case lii_pid:
            value = QString::number(log_process_id());
            break;
        case lii_module:
            value = log_module_name();
            break;
        case lii_context:
            value = context_prefix();
            break;
        case lii_child_count:
            value = QString::number(child_count());
            break;
        case lii_variant:
            value = value_as_text();
            break;
        case lii_group_prefix:
            value = parent_group_name();
            value = without_identity(value).value_or(value);
            break;
        case nb_info_items:
            break;
        }
        const std::int32_t width = log_item_fmts[static_cast<std::size_t>(item)].width;
        if (use_width && width > 0)
            value = pad_text(value, width, 0, QStringLiteral(" "));
    };
    return replace_with_getter(txt, info_tags(), getter);
}

template <class Hook, class... Args>
void TLogEvent::run_hook(const Hook& hook, Args&&... args) {
    std::scoped_lock guard(Flock);
    if (hook)
        hook(*this, std::forward<Args>(args)...);
}

void TLogEvent::add_commandline(const QString& hide_if_contains) {
    run_hook(log_diagnostics_hooks().add_commandline, hide_if_contains);
}

void TLogEvent::add_cpu() {
    run_hook(log_diagnostics_hooks().add_cpu);
}

void TLogEvent::add_exception(const TExceptionPointers* Exception_info) {
    run_hook(log_diagnostics_hooks().add_exception, Exception_info);
}

void TLogEvent::add_memory() {
    run_hook(log_diagnostics_hooks().add_memory);
}

void TLogEvent::add_startup_info() {
    run_hook(log_diagnostics_hooks().add_startup_info);
}

void TLogEvent::add_winerror() {
    add_winerror(platform::last_error());
}

void TLogEvent::add_winerror(int code) {
    run_hook(log_diagnostics_hooks().add_winerror, code);
}

void TLogEvent::add(const QString& txt, const ILogContextPtr& aContext, bool do_localise) {
    std::scoped_lock guard(Flock);
    BeginUpdate();
    QString translated;
    const bool has_translation = do_localise && translate_text(txt, translated);
    append(txt, has_translation ? &translated : nullptr, &aContext, false);
    EndUpdate();
}

void TLogEvent::add(const QString& fmt, TLogArgs Params, const ILogContextPtr& aContext,
                    bool do_localise) {
    std::scoped_lock guard(Flock);
    BeginUpdate();
    QString translated;
    const bool has_translation = do_localise && translate_text(fmt, translated);
    if (has_translation)
        translated = safe_format(translated, Params);
    // Event tags in the format of a later add are expanded first.
    const QString piece = add_count() == 0 ? safe_format(fmt, Params)
                                           : safe_format(preprocess(fmt, true, false), Params);
    append(piece, has_translation ? &translated : nullptr, &aContext, false);
    EndUpdate();
}

void TLogEvent::add(const QString& txt, TLogBoolean aValue, const ILogContextPtr& aContext,
                    bool do_localise) {
    std::scoped_lock guard(Flock);
    BeginUpdate();
    const QString prefix = value_prefix(aValue);
    QString translated;
    const bool has_translation = do_localise && translate_text(txt, translated);
    if (has_translation)
        translated.prepend(prefix);
    append(prefix + txt, has_translation ? &translated : nullptr, &aContext, false);
    EndUpdate();
}

void TLogEvent::insert(const QString& txt, bool do_localise) {
    std::scoped_lock guard(Flock);
    BeginUpdate();
    QString translated;
    const bool has_translation = do_localise && translate_text(txt, translated);
    append(txt, has_translation ? &translated : nullptr, nullptr, true);
    EndUpdate();
}

bool TLogEvent::BeginUpdate() {
    return Fupdate_count.fetch_add(1, std::memory_order_acq_rel) == 0;
}

bool TLogEvent::EndUpdate() {
    const std::int32_t remaining = Fupdate_count.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (remaining != 0) {
        if (remaining < 0) // an end without a beginning changes nothing
            Fupdate_count.fetch_add(1, std::memory_order_acq_rel);
        return false;
    }
    commit();
    return true;
}

void TLogEvent::commit() {
    // The event lock stays held through the group's placement and the notifications, so two
    // threads finishing updates of one event are told about in order.
    std::scoped_lock guard(Flock);
    if (!take_changes())
        return;
    if (TLogGroup* group = parent_group())
        group->commit(shared_from_this());
}

bool TLogEvent::repeated_by(const TLogEvent& event) {
    if (&event == this || event.log_type() != log_type() || event.thread_id() != thread_id())
        return false;
    if (log_type() == LK_GROUP)
        return check_repeat(std::const_pointer_cast<TLogEvent>(event.shared_from_this()));
    {
        std::scoped_lock mine(Ffields);
        std::scoped_lock theirs(event.Ffields);
        if (Ftext != event.Ftext)
            return false;
    }
    FRepeat_count.fetch_add(1, std::memory_order_relaxed);
    raise_last(event.ticks(), event.when());
    return true;
}

bool TLogEvent::check_repeat(const ILogEventPtr& event) {
    if (!event || event.get() == static_cast<ILogEvent*>(this))
        return false;
    if (event->log_type() != log_type() || event->thread_id() != thread_id())
        return false;
    if (repeat_name(*event) != repeat_name(*this))
        return false;
    FRepeat_count.fetch_add(1, std::memory_order_relaxed);
    raise_last(event->ticks(), event->when());
    return true;
}

bool TLogEvent::is_child_of(const ILogGroupPtr& log_group) const {
    if (!log_group)
        return false;
    const QString wanted = log_group->name();
    if (const auto* tree_root = dynamic_cast<const ILogRoot*>(this); tree_root != nullptr)
        if (tree_root->name() == wanted)
            return true;
    for (ILogGroupPtr ancestor = parent(); ancestor; ancestor = ancestor->parent())
        if (ancestor->name() == wanted)
            return true;
    return false;
}

void TLogEvent::set_log_type(Tlog_kind value) {
    Flog_type.store(value, std::memory_order_relaxed);
}

void TLogEvent::set_thread_id(TThreadID value) {
    Fthread_id.store(value, std::memory_order_relaxed);
}

void TLogEvent::set_ticks(std::int64_t value) {
    Fticks.store(value, std::memory_order_relaxed);
}

void TLogEvent::set_when(TDateTime value) {
    Fwhen.store(value, std::memory_order_relaxed);
}

void TLogEvent::set_last_ticks(std::int64_t value) {
    Flast_ticks.store(value, std::memory_order_relaxed);
}

void TLogEvent::set_last_when(TDateTime value) {
    Flast_when.store(value, std::memory_order_relaxed);
}

void TLogEvent::set_repeat_count(std::uint32_t value) {
    FRepeat_count.store(value, std::memory_order_relaxed);
}

void TLogEvent::set_add_count(std::int32_t value) {
    FAdd_count.store(value, std::memory_order_relaxed);
}

TLogGroup* TLogEvent::parent_group() const {
    std::scoped_lock guard(Ffields);
    return Fparent_group;
}

ILogGroupPtr TLogEvent::detach_parent() {
    std::scoped_lock guard(Ffields);
    Fparent_group = nullptr;
    return std::move(Fparent);
}

void TLogEvent::append(const QString& piece, const QString* local_piece,
                       const ILogContextPtr* aContext, bool in_front) {
    update_last_time();
    const bool first = add_count() == 0;
    const auto joined = [&](const QString& now, const QString& added) {
        if (first)
            return added;
        return in_front ? added + line_break + now : now + line_break + added;
    };
    // Joined outside the field lock: only adds (serialised by the event lock) change the texts.
    QString text_now;
    QString local_now;
    if (!first || local_piece != nullptr) {
        std::scoped_lock guard(Ffields);
        text_now = Ftext;
        if (Fextras)
            local_now = Fextras->local_text;
    }
    text_now = joined(text_now, piece);
    if (local_piece != nullptr)
        local_now = joined(local_now, *local_piece);
    {
        std::scoped_lock guard(Ffields);
        Ftext = std::move(text_now);
        if (aContext != nullptr && (*aContext || Fextras))
            extras().context = *aContext;
        if (local_piece != nullptr)
            extras().local_text = std::move(local_now);
    }
    FAdd_count.fetch_add(1, std::memory_order_relaxed);
    Fadd_id.store(log_add_counter.fetch_add(1, std::memory_order_relaxed) + 1,
                  std::memory_order_release);
}

bool TLogEvent::take_changes() {
    const std::uint32_t added = Fadd_id.load(std::memory_order_acquire);
    const bool changed = added > Fcommit_id.load(std::memory_order_relaxed);
    Fcommit_id.store(added, std::memory_order_release);
    return changed;
}

QString TLogEvent::value_prefix(bool aValue) const {
    const std::shared_ptr<TLogRoot> tree = root();
    if (!tree)
        return {};
    const QString mark = aValue ? tree->true_string() : tree->false_string();
    return mark.isEmpty() ? QString() : mark + u' ';
}

TLogEvent::TExtras& TLogEvent::extras() {
    if (!Fextras)
        Fextras = std::make_unique<TExtras>();
    return *Fextras;
}

void TLogEvent::raise_last(std::int64_t at_ticks, TDateTime at_when) noexcept {
    raise_to(Flast_ticks, at_ticks);
    raise_to(Flast_when, at_when);
}

void TLogEvent::update_last_time() {
    // The first add of an event that a group has just created is timed by the creation's clock
    // reading: one clock read per message.
    if (Fjust_created) {
        Fjust_created = false;
        return;
    }
    // The latest change is timed on the event's own time base: creation time plus elapsed ticks.
    const std::int64_t now = read_ticks();
    Flast_ticks.store(now, std::memory_order_relaxed);
    Flast_when.store(TTimeAnchor{ticks(), when(), true}.when_at(now), std::memory_order_relaxed);
}

} // namespace zel
