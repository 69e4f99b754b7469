#include "Common/thread_list.h"
#include "tests/common/test_item.h"

#include <gtest/gtest.h>

#include <future>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace zel {
namespace {

using test::Item;
using test::item;
using test::ItemRef;

// Records every notification and lets the tests set the capacity directly.
class ProbeList : public TZelInterfaceList<Item> {
public:
    using TZelList<Item>::SetCapacity;

    std::vector<std::pair<int, TListNotification>> notified;

protected:
    void Notify(const ItemRef& entry, TListNotification action) override {
        notified.emplace_back(entry ? entry->id : -1, action);
    }
};

std::vector<int> ids_of(TZelList<Item>& list) {
    std::vector<int> ids;
    for (const auto& entry : list)
        ids.push_back(entry ? entry->id : -1);
    return ids;
}

// Whether another thread can take the list's lock right now.
bool free_for_other_threads(TZelList<Item>& list) {
    return std::async(std::launch::async,
                      [&list] {
                          if (!list.try_lock())
                              return false;
                          list.unlock();
                          return true;
                      })
        .get();
}

constexpr auto added = TListNotification::lnAdded;
constexpr auto deleted = TListNotification::lnDeleted;

TEST(ZelList, EmptyListAndOutOfRangeIndexesYieldNull) {
    ProbeList list;
    EXPECT_EQ(list.First(), nullptr);
    EXPECT_EQ(list.Last(), nullptr);
    EXPECT_EQ(list.GetItems(0), nullptr);
    list.Add(item(1));
    for (const int index : {-1, 1, 7})
        EXPECT_EQ(list.GetItems(index), nullptr) << index;
}

TEST(ZelList, AddReturnsIndexAndFirstLastFollow) {
    ProbeList list;
    const auto a = item(1);
    const auto b = item(2);
    EXPECT_EQ(list.Add(a), 0);
    EXPECT_EQ(list.Add(b), 1);
    EXPECT_EQ(list.Add(a), 2); // stored twice, counted twice
    EXPECT_EQ(list.Count(), 3);
    EXPECT_EQ(list.First(), a);
    EXPECT_EQ(list.Last(), a);
    EXPECT_EQ(a.use_count(), 3);
    EXPECT_EQ(list.notified, (decltype(list.notified){{1, added}, {2, added}, {1, added}}));
}

TEST(ZelList, OutOfRangeSetItemsAndDeleteChangeNothing) {
    for (const int index : {-1, 3, 100}) {
        ProbeList list;
        for (int id = 0; id < 3; ++id)
            list.Add(item(id));
        list.notified.clear();
        list.SetItems(index, item(9));
        list.Delete(index);
        EXPECT_EQ(ids_of(list), (std::vector<int>{0, 1, 2})) << index;
        EXPECT_TRUE(list.notified.empty()) << index;
    }
}

TEST(ZelList, RemoveFindsTheFirstIdenticalReference) {
    ProbeList list;
    const auto a = item(1);
    const auto twin = item(1); // equal content, another object
    list.Add(a);
    list.Add(item(2));
    list.Add(a);
    EXPECT_EQ(list.IndexOf(twin), -1);
    EXPECT_EQ(list.Remove(twin), -1);
    EXPECT_EQ(list.Count(), 3);
    EXPECT_EQ(list.Remove(a), 0);
    EXPECT_EQ(ids_of(list), (std::vector<int>{2, 1}));
    EXPECT_EQ(list.IndexOf(a), 1);
}

TEST(ZelList, GrowthFollowsTheStepRule) {
    const std::vector<std::pair<int, int>> steps = {{0, 4},   {8, 12},  {12, 28},
                                                    {64, 80}, {76, 95}, {100, 125}};
    for (const auto& [from, to] : steps) {
        ProbeList list;
        list.SetCapacity(from);
        for (int id = 0; id < from; ++id)
            list.Add(item(id));
        ASSERT_EQ(list.Capacity(), from);
        list.Add(item(from));
        EXPECT_EQ(list.Capacity(), to) << "from " << from;
    }

    ProbeList list;
    std::vector<int> capacities;
    for (int id = 0; id < 120; ++id) {
        list.Add(item(id));
        if (capacities.empty() || capacities.back() != list.Capacity())
            capacities.push_back(list.Capacity());
    }
    EXPECT_EQ(capacities, (std::vector<int>{4, 8, 12, 28, 44, 60, 76, 95, 118, 147}));
}

TEST(ZelList, SetCapacityBelowCountIsIgnored) {
    ProbeList list;
    for (int id = 0; id < 5; ++id)
        list.Add(item(id));
    list.SetCapacity(3);
    EXPECT_EQ(list.Capacity(), 8);
    EXPECT_EQ(ids_of(list), (std::vector<int>{0, 1, 2, 3, 4}));
}

TEST(ZelList, ClearNotifiesLastFirstAndFreesStorage) {
    ProbeList list;
    std::vector<std::weak_ptr<Item>> watched;
    for (int id = 0; id < 3; ++id) {
        const auto entry = item(id);
        watched.push_back(entry);
        list.Add(entry);
    }
    list.notified.clear();
    list.clear();
    EXPECT_EQ(list.notified, (decltype(list.notified){{2, deleted}, {1, deleted}, {0, deleted}}));
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.Capacity(), 0);
    for (const auto& weak : watched)
        EXPECT_TRUE(weak.expired());
}

TEST(ZelList, SetItemsNotifiesOnlyForAnotherReference) {
    ProbeList list;
    const auto a = item(1);
    list.Add(a);
    list.notified.clear();
    list.SetItems(0, a);
    EXPECT_TRUE(list.notified.empty());

    std::weak_ptr<Item> old = a;
    list.SetItems(0, item(2));
    EXPECT_EQ(list.notified, (decltype(list.notified){{1, deleted}, {2, added}}));
    EXPECT_EQ(a.use_count(), 1); // only the test's own reference remains
    EXPECT_EQ(list.First()->id, 2);
}

TEST(ZelList, DeleteShiftsTheTailAndReleasesAfterNotify) {
    struct Watching : ProbeList {
        std::weak_ptr<Item> watched;
        bool alive_during_notify = false;
        void Notify(const ItemRef& entry, TListNotification action) override {
            if (action == deleted && entry.get() == watched.lock().get())
                alive_during_notify = true;
        }
    } list;
    for (int id = 0; id < 4; ++id)
        list.Add(item(id));
    list.watched = list.GetItems(1);
    list.Delete(1);
    EXPECT_TRUE(list.alive_during_notify);
    EXPECT_TRUE(list.watched.expired());
    EXPECT_EQ(ids_of(list), (std::vector<int>{0, 2, 3}));
    EXPECT_EQ(list.GetItems(3), nullptr);
    EXPECT_EQ(list.Last()->id, 3);
}

TEST(ZelList, PerStepEnumerationAcrossADeleteByAnotherThread) {
    ProbeList list;
    for (int id = 0; id < 4; ++id)
        list.Add(item(id));
    auto walk = list.GetEnumerator();
    std::vector<int> seen;
    ASSERT_TRUE(walk->MoveNext());
    EXPECT_FALSE(free_for_other_threads(list)); // the step holds the lock until Current
    seen.push_back(walk->Current()->id);
    EXPECT_TRUE(free_for_other_threads(list));

    std::thread([&list] { list.Delete(0); }).join();
    while (walk->MoveNext())
        seen.push_back(walk->Current()->id);
    // The walk continues at index 1 of the shifted list {1, 2, 3}.
    EXPECT_EQ(seen, (std::vector<int>{0, 2, 3}));
    EXPECT_TRUE(free_for_other_threads(list));
}

TEST(ZelList, PerStepEnumerationSeesItemsAddedAtTheEnd) {
    ProbeList list;
    list.Add(item(0));
    std::vector<int> seen;
    for (const auto& entry : list) {
        seen.push_back(entry->id);
        if (entry->id < 3)
            std::thread([&list, &entry] { list.Add(item(entry->id + 1)); }).join();
    }
    EXPECT_EQ(seen, (std::vector<int>{0, 1, 2, 3}));
}

TEST(ZelList, LockedEnumerationHoldsTheLockForItsWholeLife) {
    ProbeList list;
    for (int id = 0; id < 3; ++id)
        list.Add(item(id));
    list.Setlocked_enum(true);
    {
        auto walk = list.GetEnumerator();
        EXPECT_FALSE(free_for_other_threads(list));
        std::vector<int> seen;
        while (walk->MoveNext()) {
            seen.push_back(walk->Current()->id);
            EXPECT_FALSE(free_for_other_threads(list));
        }
        EXPECT_EQ(seen, (std::vector<int>{0, 1, 2}));
        EXPECT_FALSE(free_for_other_threads(list));
    }
    EXPECT_TRUE(free_for_other_threads(list));

    // The mode is fixed when an enumerator is created.
    auto walk = list.GetEnumerator();
    list.Setlocked_enum(false);
    EXPECT_FALSE(free_for_other_threads(list));
}

TEST(ZelList, AbandonedStepsGiveTheLockBack) {
    ProbeList list;
    for (int id = 0; id < 3; ++id)
        list.Add(item(id));
    {
        auto walk = list.GetEnumerator();
        ASSERT_TRUE(walk->MoveNext());
        ASSERT_TRUE(walk->MoveNext()); // without reading Current: the lock is not taken twice
        EXPECT_EQ(walk->Current()->id, 1);
        EXPECT_TRUE(free_for_other_threads(list));
        ASSERT_TRUE(walk->MoveNext());
    }
    EXPECT_TRUE(free_for_other_threads(list));

    for (const auto& entry : list)
        if (entry->id == 1)
            break;
    EXPECT_TRUE(free_for_other_threads(list));
}

TEST(ZelList, LockNestsOnTheOwningThread) {
    ProbeList list;
    list.lock();
    list.lock();
    list.Add(item(0)); // the owner may still use the list
    list.unlock();
    EXPECT_FALSE(free_for_other_threads(list));
    list.unlock();
    EXPECT_TRUE(free_for_other_threads(list));
}

TEST(ZelList, ConcurrentWritersAndReadersKeepEveryItem) {
    constexpr int writers = 4;
    constexpr int per_writer = 500;
    TZelInterfaceList<Item> list;
    std::vector<std::thread> threads;
    for (int w = 0; w < writers; ++w)
        threads.emplace_back([&list, w] {
            for (int i = 0; i < per_writer; ++i) {
                const auto extra = item(-1);
                list.Add(item(w * per_writer + i));
                list.Add(extra);
                EXPECT_GE(list.Remove(extra), 0);
            }
        });
    threads.emplace_back([&list] {
        for (int pass = 0; pass < 50; ++pass)
            for (const auto& entry : list)
                EXPECT_NE(entry, nullptr);
    });
    for (auto& thread : threads)
        thread.join();

    ASSERT_EQ(list.Count(), writers * per_writer);
    std::vector<bool> present(writers * per_writer, false);
    for (const auto& entry : list)
        present[static_cast<std::size_t>(entry->id)] = true;
    EXPECT_EQ(std::count(present.begin(), present.end(), true), writers * per_writer);
}

} // namespace
} // namespace zel
