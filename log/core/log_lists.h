#pragma once

#include "Common/thread_list.h"
#include "log/core/log_interfaces.h"
#include "log/core/log_storage_interface.h"

#include <memory>

namespace zel {

// An enumerator handed out as a shared interface. It keeps its list alive, so it may outlive
// the caller's reference to the list.
template <class Interface, class T>
class TLogEnumeratorOf : public Interface {
public:
    TLogEnumeratorOf(std::shared_ptr<void> owner, TZelList<T>& list)
        : Fowner(std::move(owner))
        , Fenumerator(list) {}

    std::shared_ptr<T> Current() override { return Fenumerator.Current(); }
    bool MoveNext() override { return Fenumerator.MoveNext(); }

private:
    std::shared_ptr<void> Fowner;
    TZelEnumerator<T> Fenumerator;
};

// The operations every log list shares, over the thread-safe interface list.
template <class Interface, class T, class EnumeratorInterface>
class TLogListOf
    : public Interface,
      public std::enable_shared_from_this<TLogListOf<Interface, T, EnumeratorInterface>> {
public:
    using item_type = std::shared_ptr<T>;

    std::int32_t Count() const override { return Fitems.Count(); }
    item_type GetItems(std::int32_t index) const override { return Fitems.GetItems(index); }
    std::shared_ptr<EnumeratorInterface> GetEnumerator() override {
        return std::make_shared<TLogEnumeratorOf<EnumeratorInterface, T>>(this->shared_from_this(),
                                                                          Fitems);
    }
    void clear() override { Fitems.clear(); }
    std::int32_t Add(const item_type& item) override { return Fitems.Add(item); }
    item_type First() const override { return Fitems.First(); }
    item_type Last() const override { return Fitems.Last(); }

    // The list itself, for compound steps under its lock.
    TZelInterfaceList<T>& items() noexcept { return Fitems; }

protected:
    TZelInterfaceList<T> Fitems;
};

class TLogEventList : public TLogListOf<ILogEventList, ILogEvent, ILogEventEnumerator> {};

class TLogGroupList : public TLogListOf<ILogGroupList, ILogGroup, ILogGroupEnumerator> {};

// A list that also removes and finds items.
template <class Interface, class T, class EnumeratorInterface>
class TLogSearchableListOf : public TLogListOf<Interface, T, EnumeratorInterface> {
public:
    using typename TLogListOf<Interface, T, EnumeratorInterface>::item_type;

    std::int32_t Remove(const item_type& item) override { return this->Fitems.Remove(item); }
    std::int32_t IndexOf(const item_type& item) const override {
        return this->Fitems.IndexOf(item);
    }
};

class TLogStorageList
    : public TLogSearchableListOf<ILogStorageList, ILogStorage, ILogStorageEnumerator> {};

class TLogContextList
    : public TLogSearchableListOf<ILogContextList, ILogContext, ILogcontextEnumerator> {
public:
    bool find_by_data(void* adata, ILogContextPtr& ctx) override;
};

} // namespace zel
