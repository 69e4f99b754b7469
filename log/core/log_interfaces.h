#pragma once

#include "filesystem/byte_stream.h"
#include "log/core/exception_record.h"
#include "log/core/known_folders.h"
#include "log/core/log_arg.h"
#include "log/core/log_value.h"
#include "log/core/log_vocabulary.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>

namespace zel {

class ILogEvent;
class ILogGroup;
class ILogRoot;
class ILogContext;
class ILogStorage;
class ILogEventList;
class ILogGroupList;
class ILogStorageList;
class ILogContextList;
class ILogEventEnumerator;
class ILogGroupEnumerator;
class ILogStorageEnumerator;
class ILogcontextEnumerator;

using ILogEventPtr = std::shared_ptr<ILogEvent>;
using ILogGroupPtr = std::shared_ptr<ILogGroup>;
using ILogRootPtr = std::shared_ptr<ILogRoot>;
using ILogContextPtr = std::shared_ptr<ILogContext>;
using ILogStoragePtr = std::shared_ptr<ILogStorage>;
using ILogEventListPtr = std::shared_ptr<ILogEventList>;
using ILogGroupListPtr = std::shared_ptr<ILogGroupList>;
using ILogStorageListPtr = std::shared_ptr<ILogStorageList>;
using ILogContextListPtr = std::shared_ptr<ILogContextList>;
using ILogEventEnumeratorPtr = std::shared_ptr<ILogEventEnumerator>;
using ILogGroupEnumeratorPtr = std::shared_ptr<ILogGroupEnumerator>;
using ILogStorageEnumeratorPtr = std::shared_ptr<ILogStorageEnumerator>;
using ILogcontextEnumeratorPtr = std::shared_ptr<ILogcontextEnumerator>;

// Notifications. Sender is the notifying object, for identity only.
using TOnLogeventAdded = std::function<void(const void* Sender, const ILogEventPtr& entry)>;
using TOnSelectLogEvent = std::function<void(const void* Sender, const ILogEventPtr& entry,
                                             bool& do_include, bool& do_stop)>;
using TOnLogFileLoaded =
    std::function<void(const void* Sender, const ILogGroupPtr& LogGroup, ELogLoadType LoadingType)>;
using TNotifyEvent = std::function<void(const void* Sender)>;

// One entry of the log: kind, texts, creating thread, times, repeat count, context and value.
// Every log object is shared; it lives while a reference to it exists.
class ILogEvent {
public:
    virtual ~ILogEvent() = default;

    virtual std::int32_t add_count() const = 0;
    virtual std::uint32_t child_count() const = 0;
    virtual std::uint32_t commit_id() const = 0;
    virtual void* data() const = 0;
    virtual std::int32_t depth() const = 0;
    virtual std::uint32_t id() const = 0;
    virtual std::int32_t index() const = 0;
    virtual std::int64_t last_ticks() const = 0;
    virtual TDateTime last_when() const = 0;
    virtual TDateTime last_when_relative() const = 0;
    virtual QString local_or_native_text() const = 0;
    virtual QString local_text() const = 0;
    virtual Tlog_kind log_type() const = 0;
    virtual QString log_type_as_text() const = 0;
    virtual ILogGroupPtr parent() const = 0;
    virtual QString parent_group_name() const = 0;
    virtual QString parent_group_prefix() const = 0;
    virtual QString PreProcessFormat() const = 0;
    virtual std::uint32_t repeat_count() const = 0;
    virtual QString text() const = 0;
    virtual TThreadID thread_id() const = 0;
    virtual std::int64_t ticks() const = 0;
    virtual std::int64_t ticks_relative() const = 0;
    virtual bool updating() const = 0;
    virtual TLogValue value() const = 0;
    virtual QString value_as_text() const = 0;
    virtual TDateTime when() const = 0;
    virtual TDateTime when_relative() const = 0;
    virtual void set_data(void* value) = 0;
    virtual void set_local_text(const QString& value) = 0;
    virtual void set_PreProcessFormat(const QString& value) = 0;
    virtual void set_text(const QString& value) = 0;
    virtual void set_value(const TLogValue& value) = 0;

    // Expands the {item} tags of `txt` for this event, with the root's local or native settings
    // and, when `use_width`, each value padded to its column width.
    virtual QString preprocess(const QString& txt, bool locale, bool use_width) const = 0;

    // System information written into this event by the diagnostics layer (nothing is written
    // while that layer is not installed).
    virtual void add_commandline(const QString& hide_if_contains) = 0;
    virtual void add_cpu() = 0;
    virtual void add_exception(const TExceptionPointers* Exception_info) = 0;
    virtual void add_memory() = 0;
    virtual void add_startup_info() = 0;
    virtual void add_winerror() = 0;

    // Appends a line of text (several lines are joined by CR LF); the outermost update's end
    // hands the event to its group.
    virtual void add(const QString& txt, const ILogContextPtr& aContext = nullptr,
                     bool do_localise = true) = 0;
    virtual void add(const QString& fmt, TLogArgs Params, const ILogContextPtr& aContext = nullptr,
                     bool do_localise = true) = 0;
    virtual void add(const QString& txt, TLogBoolean aValue,
                     const ILogContextPtr& aContext = nullptr, bool do_localise = true) = 0;
    virtual bool BeginUpdate() = 0;
    virtual bool EndUpdate() = 0;
    virtual bool check_repeat(const ILogEventPtr& event) = 0;
    virtual bool is_child_of(const ILogGroupPtr& log_group) const = 0;
};

// A node of the log tree: an event of kind LK_GROUP holding entries, sub-groups and storages.
class ILogGroup : public virtual ILogEvent {
public:
    using ILogEvent::add;

    virtual bool autocreate_group() const = 0;
    virtual Tlog_kinds discard() const = 0;
    virtual ILogEventPtr getevent(std::int32_t index) const = 0;
    virtual std::int32_t event_count() const = 0;
    virtual ILogEventPtr first_event() const = 0;
    virtual ILogEventPtr last_event() const = 0;
    virtual ILogEventListPtr events() const = 0;
    virtual QString footer() const = 0;
    virtual ILogGroupListPtr groups() const = 0;
    virtual Tgroup_kind group_kind() const = 0;
    virtual QString header() const = 0;
    virtual QString name() const = 0;
    virtual QString name_prefix() const = 0;
    virtual TOnLogeventAdded OnAdded() const = 0;
    virtual TNotifyEvent OnChanged() const = 0;
    virtual ILogStoragePtr getstorage(std::int32_t index) const = 0;
    virtual std::int32_t storage_count() const = 0;
    virtual ILogStoragePtr first_storage() const = 0;
    virtual ILogStoragePtr last_storage() const = 0;
    virtual ILogStorageListPtr storages() const = 0;
    virtual void set_autocreate_group(bool value) = 0;
    virtual void set_discard(Tlog_kinds value) = 0;
    virtual void set_footer(const QString& value) = 0;
    virtual void set_header(const QString& value) = 0;
    virtual void set_name(const QString& value) = 0;
    virtual void set_OnAdded(TOnLogeventAdded value) = 0;
    virtual void set_OnChanged(TNotifyEvent value) = 0;
    virtual bool autostart() const = 0;
    virtual void set_autostart(bool value) = 0;
    virtual bool started() const = 0;
    virtual ILogEventEnumeratorPtr GetEnumerator() = 0;
    virtual void clear_entries() = 0;
    virtual void clear_storages() = 0;
    virtual void clear_all() = 0;
    virtual void add(Tlog_kind alog_type, const QString& txt,
                     const ILogContextPtr& aContext = nullptr, bool do_localise = true) = 0;
    virtual void add(Tlog_kind alog_type, const QString& fmt, TLogArgs Params,
                     const ILogContextPtr& aContext = nullptr, bool do_localise = true) = 0;
    virtual void add(Tlog_kind alog_type, const QString& fmt, TLogBoolean aValue,
                     const ILogContextPtr& aContext = nullptr, bool do_localise = true) = 0;
    virtual bool find_group(const QString& aname, ILogGroupPtr& dst_group) = 0;
    virtual bool find_group_of_thread(TThreadID Id, ILogGroupPtr& group) = 0;
    // Writes `txt` into the exception event of `E` on this thread (created when there is none).
    virtual ILogEventPtr add_exception_context(const QString& txt, const std::exception& E) = 0;
    virtual bool select(const ILogEventListPtr& list, Tlog_kinds sel_discard,
                        const ILogEventPtr& stop_at) = 0;
    // A new file storage with default settings (null while the persistence layer is not
    // installed); not registered anywhere.
    virtual ILogStoragePtr new_storage() = 0;
    virtual std::int32_t register_storage(const ILogStoragePtr& new_storage) = 0;
    virtual void start() = 0;
    virtual void stop() = 0;
    virtual void enable_storages(bool enabled) = 0;
    virtual ILogEventPtr new_event(Tlog_kind aLog_type) = 0;
    virtual ILogGroupPtr new_group(const QString& aName) = 0;
    virtual bool add_seeded_group(ILogGroupPtr& group, Tgroup_kind kind) = 0;
    // Reads a log file, a folder of logs or a crash list into this group (persistence layer).
    virtual bool LoadFromFile(const QString& FileName) = 0;
    // Reads one log from a stream positioned at its start; `aCaption` becomes this group's text.
    virtual bool LoadFromStream(TByteStream& FileStream, const QString& aCaption) = 0;
};

// The top of a log tree and holder of what all its events share: formats, texts for true and
// false, the crash-list location and the contexts.
class ILogRoot : public virtual ILogGroup {
public:
    virtual ILogContextListPtr context_list() const = 0;
    virtual QString crashlist_name() const = 0;
    virtual QString false_string() const = 0;
    virtual QString fq_filename() const = 0;
    virtual QString fq_path() const = 0;
    virtual Tknown_folder location() const = 0;
    virtual QString long_date_format() const = 0;
    virtual QString long_time_format() const = 0;
    virtual QString native_language() const = 0;
    virtual TOnLogFileLoaded OnLogFileLoaded() const = 0;
    virtual QString path() const = 0;
    virtual QString short_date_format() const = 0;
    virtual QString short_time_format() const = 0;
    virtual QString true_string() const = 0;
    virtual void set_crashlist_name(const QString& value) = 0;
    virtual void set_false_string(const QString& value) = 0;
    virtual void set_location(Tknown_folder value) = 0;
    virtual void set_long_date_format(const QString& value) = 0;
    virtual void set_long_time_format(const QString& value) = 0;
    virtual void set_native_language(const QString& value) = 0;
    virtual void set_OnLogFileLoaded(TOnLogFileLoaded value) = 0;
    virtual void set_path(const QString& value) = 0;
    virtual void set_short_date_format(const QString& value) = 0;
    virtual void set_short_time_format(const QString& value) = 0;
    virtual void set_true_string(const QString& value) = 0;
    // The crash list (diagnostics layer; false and no change while it is not installed).
    virtual bool register_crash(const ILogStoragePtr& src) = 0;
    virtual bool unregister_crash(const ILogStoragePtr& src) = 0;
    virtual bool sync(const ILogStoragePtr& src, bool adding) = 0;
    virtual std::int32_t build_crash_list(QStringList& list) = 0;
    virtual bool find_context(ILogContextPtr& ctx, void* data, bool can_create) = 0;
    virtual bool remove_context(const ILogContextPtr& ctx) = 0;
    virtual void clear_contexts() = 0;
};

// A tag that events can carry; its prefix goes in front of the event text.
class ILogContext {
public:
    virtual ~ILogContext() = default;
    virtual std::int32_t category() const = 0;
    virtual void* data() const = 0;
    virtual ILogGroupPtr group() const = 0;
    virtual QString name() const = 0;
    virtual QString prefix() const = 0;
    virtual TThreadID thread_id() const = 0;
    virtual void set_category(std::int32_t value) = 0;
    virtual void set_data(void* value) = 0;
    virtual void set_group(const ILogGroupPtr& value) = 0;
    virtual void set_name(const QString& value) = 0;
    virtual void set_prefix(const QString& value) = 0;
    virtual void set_thread_id(TThreadID value) = 0;
};

// Lists of log objects: thread-safe, items compared by identity. An enumerator walks the live
// list one step at a time; read Current after every MoveNext that returned true.
template <class T>
class ILogEnumerator {
public:
    virtual ~ILogEnumerator() = default;
    virtual std::shared_ptr<T> Current() = 0;
    virtual bool MoveNext() = 0;
};

class ILogEventEnumerator : public ILogEnumerator<ILogEvent> {};
class ILogGroupEnumerator : public ILogEnumerator<ILogGroup> {};
class ILogStorageEnumerator : public ILogEnumerator<ILogStorage> {};
class ILogcontextEnumerator : public ILogEnumerator<ILogContext> {};

// The operations of every log list, in their declaration order.
template <class T, class Enumerator>
class ILogList {
public:
    virtual ~ILogList() = default;
    virtual std::int32_t Count() const = 0;
    virtual std::shared_ptr<T> GetItems(std::int32_t index) const = 0;
    virtual std::shared_ptr<Enumerator> GetEnumerator() = 0;
    virtual void clear() = 0;
    virtual std::int32_t Add(const std::shared_ptr<T>& item) = 0;
    virtual std::shared_ptr<T> First() const = 0;
    virtual std::shared_ptr<T> Last() const = 0;
};

// A list that also removes and finds items.
template <class T, class Enumerator>
class ILogSearchableList : public ILogList<T, Enumerator> {
public:
    virtual std::int32_t Remove(const std::shared_ptr<T>& item) = 0;
    virtual std::int32_t IndexOf(const std::shared_ptr<T>& item) const = 0;
};

class ILogEventList : public ILogList<ILogEvent, ILogEventEnumerator> {};
class ILogGroupList : public ILogList<ILogGroup, ILogGroupEnumerator> {};
class ILogStorageList : public ILogSearchableList<ILogStorage, ILogStorageEnumerator> {};

class ILogContextList : public ILogSearchableList<ILogContext, ILogcontextEnumerator> {
public:
    // The first context holding `adata` for any thread or for the calling thread.
    virtual bool find_by_data(void* adata, ILogContextPtr& ctx) = 0;
};

// The group side that events and sub-groups call: placing a finished event, and passing the
// notification of a finished event up the tree.
class ILogGroupInternal : public virtual ILogGroup {
public:
    virtual void notify_added(const ILogEventPtr& event) = 0;
    virtual void commit_event(const ILogEventPtr& event) = 0;
};

} // namespace zel
