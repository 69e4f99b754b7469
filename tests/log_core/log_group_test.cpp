#include "filesystem/memory_stream.h"
#include "log/core/log_extensions.h"
#include "log/core/log_group.h"
#include "log/core/log_root.h"
#include "log/core/log_unit.h"
#include "tests/log_core/qt_print.h"
#include "tests/log_core/recording_storage.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <thread>

namespace zel {
namespace {

std::vector<QString> texts_of(const ILogGroupPtr& group) {
    std::vector<QString> texts;
    for (std::int32_t i = 0; i < group->event_count(); ++i)
        texts.push_back(group->getevent(i)->text());
    return texts;
}

class LogGroup : public ::testing::Test {
protected:
    void SetUp() override {
        root = TLogRoot::Create();
        root->set_header({});
        root->set_footer({});
        root->set_discard({});
    }
    void TearDown() override { release_log_tree(*root); }

    std::shared_ptr<TLogRoot> root;
};

TEST_F(LogGroup, RepeatsFoldOnOneThreadButNotAcrossThreads) {
    root->add(LK_INFO, "same");
    root->add(LK_INFO, "same");
    ASSERT_EQ(root->event_count(), 1);
    EXPECT_EQ(root->first_event()->repeat_count(), 1u);

    std::thread([&] { root->add(LK_INFO, "same"); }).join();
    EXPECT_EQ(root->event_count(), 2);
    EXPECT_EQ(root->last_event()->repeat_count(), 0u);
}

TEST_F(LogGroup, RepeatIsTestedAgainstTheLastEntryOnly) {
    for (const char* text : {"A", "B", "A"})
        root->add(LK_INFO, text);
    root->add(LK_ERROR, "A"); // same text, other kind
    EXPECT_EQ(texts_of(root), (std::vector<QString>{"A", "B", "A", "A"}));
}

TEST_F(LogGroup, FoldedRepeatNotifiesThePreviousEntryAgain) {
    std::vector<ILogEventPtr> told;
    root->set_OnAdded([&](const void* sender, const ILogEventPtr& entry) {
        EXPECT_EQ(sender, static_cast<const ILogGroup*>(root.get()));
        told.push_back(entry);
    });
    root->add(LK_INFO, "again");
    root->add(LK_INFO, "again");
    ASSERT_EQ(told.size(), 2u);
    EXPECT_EQ(told[0], told[1]);
    EXPECT_EQ(told[1]->repeat_count(), 1u);
}

TEST_F(LogGroup, DiscardSetIsCopiedAtCreation) {
    const auto fresh_root = TLogRoot::Create();
    EXPECT_EQ(fresh_root->discard(), Tlog_kinds{LK_DEBUG});
    fresh_root->add(LK_DEBUG, "dropped");
    EXPECT_EQ(fresh_root->event_count(), 0);

    root->set_discard({LK_VERBOSE});
    const ILogGroupPtr child = root->new_group("child");
    root->set_discard({LK_ERROR});
    EXPECT_EQ(child->discard(), Tlog_kinds{LK_VERBOSE});
    child->add(LK_VERBOSE, "dropped");
    child->add(LK_ERROR, "kept");
    EXPECT_EQ(texts_of(child), std::vector<QString>{"kept"});
    release_log_tree(*fresh_root);
}

TEST_F(LogGroup, StartWritesTheHeaderOnceAsTheFirstEntry) {
    const ILogGroupPtr group = root->new_group("g");
    group->set_header("started {group}"); // expanded on the group: its parent is the root
    EXPECT_FALSE(group->started());
    group->add(LK_INFO, "message");
    ASSERT_EQ(group->event_count(), 2);
    EXPECT_EQ(group->first_event()->log_type(), LK_DECORATION);
    EXPECT_EQ(group->first_event()->text(), QString("started root"));
    group->start();
    EXPECT_EQ(group->event_count(), 2);
}

TEST_F(LogGroup, StoppedGroupWithoutAutostartDropsMessages) {
    const ILogGroupPtr group = root->new_group("g");
    group->set_autostart(false);
    group->add(LK_INFO, "dropped");
    EXPECT_EQ(group->event_count(), 0);
    group->start();
    group->add(LK_INFO, "kept");
    group->stop();
    group->add(LK_INFO, "dropped again");
    EXPECT_EQ(texts_of(group), std::vector<QString>{"kept"});
}

TEST_F(LogGroup, StopWritesTheFooterThenMakesTheFinalWrites) {
    const ILogGroupPtr group = root->new_group("g");
    group->set_footer("bye");
    const auto storage = std::make_shared<TRecordingStorage>();
    group->register_storage(storage);
    group->add(LK_INFO, "message");
    group->stop();
    EXPECT_FALSE(group->started());
    EXPECT_EQ(texts_of(group), (std::vector<QString>{"message", "bye"}));
    const auto arrived = storage->arrived();
    ASSERT_EQ(arrived.size(), 2u);
    EXPECT_EQ(arrived[1]->text(), QString("bye"));
    const auto writes = storage->writes();
    ASSERT_EQ(writes.size(), 1u);
    EXPECT_EQ(writes[0].event, nullptr);
    EXPECT_FALSE(writes[0].group_started);
    group->stop(); // stopping a stopped group does nothing
    EXPECT_EQ(storage->writes().size(), 1u);
}

TEST_F(LogGroup, StartAndStopReachTheSubGroups) {
    const ILogGroupPtr parent = root->new_group("p");
    const ILogGroupPtr child = parent->new_group("c");
    child->set_header("child header");
    parent->start();
    EXPECT_TRUE(child->started());
    EXPECT_EQ(texts_of(child), std::vector<QString>{"child header"});
    parent->stop();
    EXPECT_FALSE(child->started());
}

TEST_F(LogGroup, FinishedEntryReachesHandlerStoragesThenAncestors) {
    std::vector<std::string> order;
    const ILogGroupPtr parent = root->new_group("p");
    const ILogGroupPtr child = parent->new_group("c");
    const auto storage = std::make_shared<TRecordingStorage>();
    child->register_storage(storage);
    child->set_OnAdded([&](const void*, const ILogEventPtr&) {
        order.push_back("child handler, storage has " + std::to_string(storage->arrived().size()));
    });
    parent->set_OnAdded([&](const void*, const ILogEventPtr&) {
        order.push_back("parent handler, storage has " + std::to_string(storage->arrived().size()));
    });
    root->set_OnAdded([&](const void*, const ILogEventPtr& entry) {
        order.push_back("root handler: " + entry->text().toStdString());
    });
    child->add(LK_INFO, "deep");
    EXPECT_EQ(order,
              (std::vector<std::string>{"child handler, storage has 0",
                                        "parent handler, storage has 1", "root handler: deep"}));
}

TEST_F(LogGroup, FindGroupCreatesAPathOnceSegmentBySegment) {
    ILogGroupPtr found;
    ASSERT_TRUE(root->find_group("a.b", found));
    EXPECT_EQ(found->name(), QString("b"));
    EXPECT_EQ(found->parent_group_name(), QString("a"));
    ASSERT_EQ(root->groups()->Count(), 1);
    EXPECT_EQ(root->groups()->First()->name(), QString("a"));

    ILogGroupPtr again;
    ASSERT_TRUE(root->find_group("a.b", again));
    EXPECT_EQ(again, found);
    EXPECT_EQ(root->groups()->Count(), 1);
    EXPECT_EQ(root->groups()->First()->groups()->Count(), 1);

    ILogGroupPtr self;
    EXPECT_TRUE(root->find_group("root", self));
    EXPECT_EQ(self, root);
    EXPECT_TRUE(root->find_group("", self));
    EXPECT_EQ(self, root);
}

TEST_F(LogGroup, FindGroupWithoutAutocreationFindsOnlyWhatExists) {
    root->set_autocreate_group(false);
    ILogGroupPtr found;
    EXPECT_FALSE(root->find_group("x", found));
    EXPECT_FALSE(root->find_group("x.y", found));
    EXPECT_EQ(root->groups()->Count(), 0);
    // A new group creates on demand whatever its parent does.
    const ILogGroupPtr x = root->new_group("x");
    ASSERT_TRUE(root->find_group("x.y", found));
    EXPECT_EQ(found->parent(), x);
}

TEST_F(LogGroup, FindGroupOfThreadAnswersWithTheFirstGroupOfThatThread) {
    const ILogGroupPtr mine = root->new_group("mine");
    ILogGroupPtr theirs;
    TThreadID their_id = 0;
    std::thread([&] {
        theirs = mine->new_group("theirs");
        their_id = theirs->thread_id();
    }).join();
    ILogGroupPtr found;
    ASSERT_TRUE(root->find_group_of_thread(their_id, found));
    EXPECT_EQ(found, theirs);
    ASSERT_TRUE(root->find_group_of_thread(root->thread_id(), found));
    EXPECT_EQ(found, root);
    EXPECT_FALSE(root->find_group_of_thread(their_id + 100000, found));
}

TEST_F(LogGroup, SelectFlattensDepthFirstAndStopsAfterStopAt) {
    root->add(LK_INFO, "one");
    const ILogGroupPtr group = root->new_group("g");
    group->add(LK_INFO, "inside");
    group->add(LK_DEBUG, "debug inside");
    root->add(LK_INFO, "after");

    const auto all = std::make_shared<TLogEventList>();
    EXPECT_FALSE(root->select(all, {LK_DEBUG}, nullptr));
    ASSERT_EQ(all->Count(), 4);
    EXPECT_EQ(all->GetItems(1), group);
    EXPECT_EQ(all->GetItems(2)->text(), QString("inside"));

    const auto upto = std::make_shared<TLogEventList>();
    EXPECT_TRUE(root->select(upto, {}, group));
    EXPECT_EQ(upto->Count(), 4); // one, g, inside, debug inside
    EXPECT_EQ(upto->Last()->text(), QString("debug inside"));

    const auto without_groups = std::make_shared<TLogEventList>();
    root->select(without_groups, {LK_GROUP}, nullptr);
    EXPECT_EQ(without_groups->Count(), 2); // a discarded group is skipped whole
}

TEST_F(LogGroup, RegisterStorageHandsTheLastEntryOnceAndSetsTheGroup) {
    root->add(LK_INFO, "before");
    const auto storage = std::make_shared<TRecordingStorage>();
    EXPECT_EQ(root->register_storage(storage), 0);
    EXPECT_EQ(storage->group(), root);
    ASSERT_EQ(storage->arrived().size(), 1u);
    EXPECT_EQ(storage->arrived()[0]->text(), QString("before"));
    EXPECT_EQ(root->register_storage(storage), 0);
    EXPECT_EQ(storage->arrived().size(), 1u);
    EXPECT_EQ(root->storage_count(), 1);
    EXPECT_EQ(root->getstorage(0), storage);
    EXPECT_EQ(root->getstorage(1), nullptr);
}

TEST_F(LogGroup, SameNamedGroupsFromOneThreadFold) {
    const ILogGroupPtr first = root->new_group("twin");
    const ILogGroupPtr second = root->new_group("twin");
    EXPECT_EQ(root->groups()->Count(), 2);
    EXPECT_EQ(root->event_count(), 1);
    EXPECT_EQ(first->repeat_count(), 1u);
    EXPECT_EQ(second->parent(), nullptr);
    std::vector<ILogEventPtr> told;
    root->set_OnAdded([&](const void*, const ILogEventPtr& entry) { told.push_back(entry); });
    second->add(LK_INFO, "lost to the root");
    EXPECT_TRUE(told.empty());
    EXPECT_EQ(second->event_count(), 1);

    ILogGroupPtr a;
    ILogGroupPtr b;
    root->add_seeded_group(a, GK_NONE);
    root->add_seeded_group(b, GK_NONE); // generated names never fold
    EXPECT_EQ(root->event_count(), 3);
}

TEST_F(LogGroup, GroupKindAndPrefixComeFromTheName) {
    ILogGroupPtr reader;
    ASSERT_TRUE(root->add_seeded_group(reader, GK_READER));
    EXPECT_TRUE(reader->name().startsWith("|GK_READER|{"));
    EXPECT_EQ(reader->name().size(), 11 + 38);
    EXPECT_EQ(reader->group_kind(), GK_READER);
    EXPECT_EQ(reader->name_prefix(), QString("|GK_READER|"));

    const ILogEventPtr generated = root->new_event(LK_GROUP);
    const auto generated_group = std::dynamic_pointer_cast<ILogGroup>(generated);
    ASSERT_TRUE(generated_group);
    EXPECT_EQ(generated_group->group_kind(), GK_NONE);
    EXPECT_TRUE(generated_group->name_prefix().isEmpty());

    const ILogGroupPtr plain = root->new_group("plain name");
    EXPECT_EQ(plain->group_kind(), GK_NONE);
    EXPECT_TRUE(plain->name_prefix().isEmpty());
    plain->set_name("|gk_titleset|{00000000-0000-0000-0000-000000000000}");
    EXPECT_EQ(plain->group_kind(), GK_TITLESET);

    const ILogEventPtr entry = reader->new_event(LK_INFO);
    entry->add("x");
    EXPECT_EQ(entry->parent_group_prefix(), QString("|GK_READER|"));
    EXPECT_EQ(entry->preprocess("{group_prefix}", true, false), QString("|GK_READER|"));
}

TEST_F(LogGroup, ClearEntriesEmptiesTheTree) {
    const ILogGroupPtr group = root->new_group("g");
    group->add(LK_INFO, "x");
    const std::weak_ptr<ILogEvent> inner = group->first_event();
    root->clear_entries();
    EXPECT_EQ(root->event_count(), 0);
    EXPECT_EQ(root->groups()->Count(), 0);
    EXPECT_EQ(group->event_count(), 0);
    EXPECT_TRUE(inner.expired());
}

struct TestFailure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

TEST_F(LogGroup, ExceptionContextOpensOneEventAndAddsToItLater) {
    const ILogGroupPtr group = root->new_group("g");
    std::vector<ILogEventPtr> told;
    group->set_OnAdded([&](const void*, const ILogEventPtr& entry) { told.push_back(entry); });
    const ILogEventPtr event =
        group->add_exception_context("while sending", TestFailure("disk full"));
    EXPECT_EQ(event->log_type(), LK_EXCEPTION);
    EXPECT_EQ(event->text(),
              QString("disk full in zel::(anonymous namespace)::TestFailure\r\nwhile sending"));
    EXPECT_EQ(told.size(), 1u); // both lines in one change

    const ILogEventPtr same = group->add_exception_context("and then", std::logic_error("other"));
    EXPECT_EQ(same, event);
    EXPECT_TRUE(event->text().endsWith("\r\nand then"));

    std::thread([&] {
        const ILogEventPtr own = group->add_exception_context("elsewhere", std::logic_error("x"));
        EXPECT_NE(own, event);
    }).join();
}

// System information written through installed hooks; the group decides whether and where.
class LogGroupWithDiagnostics : public LogGroup {
protected:
    void SetUp() override {
        LogGroup::SetUp();
        TLogDiagnosticsHooks hooks;
        hooks.add_cpu = [](TLogEvent& event) { event.add("cpu"); };
        hooks.add_startup_info = [](TLogEvent& event) { event.add("startup"); };
        hooks.add_winerror = [](TLogEvent& event, int) { event.add("error"); };
        hooks.add_exception = [](TLogEvent& event, const TExceptionPointers* info) {
            event.add("code %x", {info->ExceptionRecord->ExceptionCode});
        };
        hooks.add_commandline = [](TLogEvent& event, const QString& hide) {
            event.add("hide " + hide);
        };
        set_log_diagnostics_hooks(hooks);
    }
    void TearDown() override {
        set_log_diagnostics_hooks({});
        LogGroup::TearDown();
    }
};

TEST_F(LogGroupWithDiagnostics, AddersCreateAnEventOfTheirKind) {
    root->add_cpu();
    root->add_startup_info();
    root->add_winerror();
    root->add_commandline("secret");
    TExceptionRecord record;
    record.ExceptionCode = 0xC0000005;
    const TExceptionPointers pointers{&record, nullptr};
    root->add_exception(&pointers);
    root->add_memory(); // no hook installed for it: nothing placed
    ASSERT_EQ(root->event_count(), 5);
    const std::vector<std::pair<Tlog_kind, QString>> expected = {{LK_INFO, "cpu"},
                                                                 {LK_INFO, "startup"},
                                                                 {LK_ERROR, "error"},
                                                                 {LK_INFO, "hide secret"},
                                                                 {LK_EXCEPTION, "code C0000005"}};
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const ILogEventPtr event = root->getevent(static_cast<std::int32_t>(i));
        EXPECT_EQ(event->log_type(), expected[i].first);
        EXPECT_EQ(event->text(), expected[i].second);
    }
}

TEST_F(LogGroupWithDiagnostics, AddersFollowTheirDiscardTests) {
    struct Case {
        Tlog_kind discarded;
        int expected_count; // of cpu, startup, winerror, exception
    };
    for (const Case& c : {Case{LK_GROUP, 3}, Case{LK_INFO, 2}, Case{LK_EXCEPTION, 3}}) {
        root->clear_entries();
        root->set_discard({c.discarded});
        root->add_cpu();
        root->add_startup_info();
        root->add_winerror();
        TExceptionRecord record;
        const TExceptionPointers pointers{&record, nullptr};
        root->add_exception(&pointers);
        EXPECT_EQ(root->event_count(), c.expected_count)
            << log_kind_name(c.discarded).toStdString();
    }
}

TEST_F(LogGroup, LayersNotInstalledGiveNothing) {
    EXPECT_EQ(root->new_storage(), nullptr);
    EXPECT_FALSE(root->LoadFromFile("/nonexistent"));
    TMemoryByteStream stream;
    EXPECT_FALSE(root->LoadFromStream(stream, "caption"));
    root->add_cpu(); // the event gets no line, so it is never placed
    EXPECT_EQ(root->event_count(), 0);
}

TEST_F(LogGroup, EnableStoragesReachesTheWholeTree) {
    const ILogGroupPtr group = root->new_group("g");
    const auto top = std::make_shared<TRecordingStorage>();
    const auto inner = std::make_shared<TRecordingStorage>();
    root->register_storage(top);
    group->register_storage(inner);
    root->enable_storages(false);
    EXPECT_FALSE(top->enabled());
    EXPECT_FALSE(inner->enabled());
}

} // namespace
} // namespace zel
