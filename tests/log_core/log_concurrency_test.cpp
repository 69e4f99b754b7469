#include "log/core/log_procedures.h"
#include "log/core/log_root.h"
#include "log/core/log_unit.h"
#include "tests/log_core/qt_print.h"
#include "tests/log_core/recording_storage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

namespace zel {
namespace {

constexpr int thread_count = 8;
constexpr int events_per_thread = 100'000;

// Everything below `group`, depth first.
void collect(const ILogGroupPtr& group, std::vector<ILogEventPtr>& entries) {
    for (std::int32_t i = 0; i < group->event_count(); ++i) {
        const ILogEventPtr entry = group->getevent(i);
        entries.push_back(entry);
        if (const auto sub_group = std::dynamic_pointer_cast<ILogGroup>(entry))
            collect(sub_group, entries);
    }
}

// Eight threads write into nested groups while readers walk the tree; afterwards every message
// is in the tree exactly once, or folded into the entry before it with the counts adding up.
TEST(LogConcurrency, EightWritersIntoNestedGroupsLoseNothing) {
    const auto root = TLogRoot::Create();
    root->set_discard({});
    ILogGroupPtr inner;
    ASSERT_TRUE(root->find_group("outer.inner", inner));
    ILogGroupPtr outer;
    ASSERT_TRUE(root->find_group("outer", outer));
    outer->set_header("outer opened at {time}");
    const auto storage = std::make_shared<TRecordingStorage>();
    inner->register_storage(storage);
    std::atomic<std::int64_t> told_at_root{0};
    root->set_OnAdded([&](const void*, const ILogEventPtr&) { told_at_root.fetch_add(1); });

    const ILogGroupPtr targets[] = {root, outer, inner};
    std::atomic<bool> writing{true};
    std::vector<std::thread> writers;
    for (int t = 0; t < thread_count; ++t)
        writers.emplace_back([&, t] {
            ILogGroupPtr own;
            root->find_group("thread " + QString::number(t % 2), own); // concurrent creation
            for (int i = 0; i < events_per_thread; ++i) {
                const ILogGroupPtr& target = targets[i % 3];
                // Every tenth message is written twice in a row: a repeat unless another
                // thread's entry came in between.
                const QString text = QString::number(t) + ':' + QString::number(i);
                target->add(LK_INFO, text);
                if (i % 10 == 0)
                    target->add(LK_INFO, text);
                if (i % 1000 == 0)
                    own->add(LK_VERBOSE, "thread %d at %d", {t, i});
            }
        });
    // Reads what the writers are changing: the newest entries, their texts and counts, and
    // walks of a small group that keeps growing.
    std::thread reader([&] {
        ILogGroupPtr progress;
        root->find_group("thread 0", progress);
        while (writing.load()) {
            for (const ILogGroupPtr& group : targets)
                if (const ILogEventPtr last = group->last_event())
                    (void)last->preprocess("{time} {type} {text} {repeat_count}", true, true);
            const auto list = std::make_shared<TLogEventList>();
            progress->select(list, {}, nullptr);
        }
    });
    for (std::thread& writer : writers)
        writer.join();
    writing = false;
    reader.join();

    std::vector<ILogEventPtr> entries;
    collect(root, entries);
    // How often each message ("thread:number") was written, as the tree tells it.
    std::vector<std::uint32_t> seen(static_cast<std::size_t>(thread_count) * events_per_thread);
    std::vector<std::uint32_t> ids;
    std::int64_t messages = 0;
    for (const ILogEventPtr& entry : entries) {
        ids.push_back(entry->id());
        if (entry->log_type() != LK_INFO)
            continue;
        const QStringList parts = entry->text().split(':');
        ASSERT_EQ(parts.size(), 2) << entry->text().toStdString();
        seen[parts[0].toUInt() * events_per_thread + parts[1].toUInt()] +=
            1 + entry->repeat_count();
        messages += 1 + entry->repeat_count();
    }
    std::sort(ids.begin(), ids.end());
    EXPECT_EQ(std::adjacent_find(ids.begin(), ids.end()), ids.end()) << "an id appears twice";
    for (std::size_t message = 0; message < seen.size(); ++message) {
        const std::uint32_t expected = message % events_per_thread % 10 == 0 ? 2 : 1;
        ASSERT_EQ(seen[message], expected)
            << "message " << message / events_per_thread << ':' << message % events_per_thread;
    }
    const std::int64_t written = thread_count * (events_per_thread + events_per_thread / 10);
    EXPECT_EQ(messages, written);
    // Every add reaches the root's handler once, folded or not; so do the two headers, the two
    // "thread" groups and the progress lines.
    const std::int64_t extras = 2 + 2 + thread_count * (events_per_thread / 1000);
    EXPECT_EQ(told_at_root.load(), written + extras);
    // The inner group's storage heard of everything finished in that group.
    EXPECT_GE(storage->arrived().size(), static_cast<std::size_t>(inner->event_count()));
    release_log_tree(*root);
}

// Ids come from one process-wide counter: unique whatever the thread.
TEST(LogConcurrency, IdsAreUniqueAcrossThreads) {
    const auto group = TLogGroup::Create(nullptr, "ids", nullptr);
    std::mutex lock;
    std::vector<std::uint32_t> ids;
    std::vector<std::thread> threads;
    for (int t = 0; t < thread_count; ++t)
        threads.emplace_back([&] {
            std::vector<std::uint32_t> own;
            for (int i = 0; i < 10'000; ++i)
                own.push_back(TLogEvent::Create(nullptr, group, LK_INFO)->id());
            std::scoped_lock guard(lock);
            ids.insert(ids.end(), own.begin(), own.end());
        });
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(std::set<std::uint32_t>(ids.begin(), ids.end()).size(), ids.size());
}

// One event changed by several threads: every line arrives, and each change is told about once.
TEST(LogConcurrency, OneEventAddedToFromManyThreads) {
    const auto root = TLogRoot::Create();
    root->set_header({});
    std::atomic<int> told{0};
    root->set_OnAdded([&](const void*, const ILogEventPtr&) { told.fetch_add(1); });
    const ILogEventPtr shared = root->new_event(LK_INFO);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 500; ++i) {
                shared->add("line");
                (void)shared->text();
            }
        });
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(shared->add_count(), 2000);
    EXPECT_EQ(shared->text().count("line"), 2000);
    EXPECT_EQ(told.load(), 2000);
    EXPECT_EQ(root->event_count(), 1);
    release_log_tree(*root);
}

// Writers log through the global root while the main thread replaces and resets it: every
// message lands whole in one of the roots or is dropped while there is none.
TEST(LogConcurrency, LogProceduresWhileTheGlobalRootIsReplaced) {
    constexpr int writers_count = 4;
    constexpr int replacements = 200;
    std::atomic<bool> writing{true};
    std::atomic<std::int64_t> written{0};
    std::vector<std::thread> writers;
    for (int t = 0; t < writers_count; ++t)
        writers.emplace_back([&, t] {
            for (int i = 0; writing.load(); i += 2) {
                log_add(LK_INFO, QString::number(t) + ':' + QString::number(i));
                log_add_fmt(LK_INFO, "%d:%d", {t, i + 1});
                written.fetch_add(2);
            }
        });
    std::vector<std::shared_ptr<TLogRoot>> roots;
    for (int r = 0; r < replacements; ++r) {
        const auto root = TLogRoot::Create();
        root->set_header({});
        roots.push_back(root);
        default_log_root = root;
        if (r % 2 == 1)
            default_log_root.reset();
    }
    writing.store(false);
    for (std::thread& writer : writers)
        writer.join();
    default_log_root.reset();

    std::int64_t placed = 0;
    for (const auto& root : roots) {
        for (std::int32_t i = 0; i < root->event_count(); ++i)
            EXPECT_TRUE(root->getevent(i)->text().contains(u':'));
        placed += root->event_count();
        release_log_tree(*root);
    }
    EXPECT_LE(placed, written.load());
}

} // namespace
} // namespace zel
