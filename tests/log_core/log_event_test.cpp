#include "log/core/log_event.h"
#include "log/core/log_group.h"
#include "log/core/log_root.h"
#include "log/core/log_unit.h"
#include "tests/log_core/qt_print.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace zel {
namespace {

// A root with a sub-group "g" that counts the entries it is told about.
class LogEvent : public ::testing::Test {
protected:
    void SetUp() override {
        root = TLogRoot::Create();
        root->set_header({});
        group = std::dynamic_pointer_cast<TLogGroup>(root->new_group("g"));
        group->set_OnAdded(
            [this](const void*, const ILogEventPtr& entry) { told.push_back(entry); });
    }
    void TearDown() override { release_log_tree(*root); }

    std::shared_ptr<TLogEvent> fresh(Tlog_kind kind = LK_INFO, std::int64_t tick = 0) {
        return TLogEvent::Create(root, group, kind, tick);
    }

    std::shared_ptr<TLogRoot> root;
    std::shared_ptr<TLogGroup> group;
    std::vector<ILogEventPtr> told;
};

TEST(LogEventIds, FirstEventOfTheProcessIsNumberOneAndIdsIncrease) {
    // A fresh process, so that no event exists before the one looked at: the child starts the
    // test program anew instead of forking this one, whose counter earlier tests have moved.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            const auto root = TLogRoot::Create(); // the root is event 1
            const auto event = TLogEvent::Create(root, root, LK_INFO);
            std::exit(root->id() == 1 && event->id() == 2 ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST_F(LogEvent, TwoAddsGiveTwoLinesOneEntryAndTwoNotifications) {
    const auto event = fresh();
    EXPECT_EQ(event->index(), -1);
    event->add("first");
    event->add("second");
    EXPECT_EQ(event->text(), QString("first\r\nsecond"));
    EXPECT_EQ(event->add_count(), 2);
    EXPECT_EQ(group->event_count(), 1);
    EXPECT_EQ(event->index(), 0);
    ASSERT_EQ(told.size(), 2u);
    EXPECT_EQ(told[0], event);
    EXPECT_EQ(told[1], event);
}

TEST_F(LogEvent, OneUpdateAroundTwoAddsCommitsOnce) {
    const auto event = fresh();
    EXPECT_TRUE(event->BeginUpdate());
    EXPECT_FALSE(event->BeginUpdate());
    event->add("a");
    event->add("b");
    EXPECT_TRUE(event->updating());
    EXPECT_FALSE(event->EndUpdate());
    EXPECT_TRUE(told.empty());
    EXPECT_TRUE(event->EndUpdate());
    EXPECT_FALSE(event->updating());
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(told[0]->text(), QString("a\r\nb"));
    EXPECT_GT(event->commit_id(), 0u);
    // Nothing added since: another bracket commits nothing; an end without a beginning neither.
    event->BeginUpdate();
    event->EndUpdate();
    EXPECT_FALSE(event->EndUpdate());
    EXPECT_FALSE(event->updating());
    EXPECT_EQ(told.size(), 1u);
}

TEST_F(LogEvent, BooleanAddPutsTheRootTextsInFront) {
    const auto yes = fresh();
    yes->add("sent", true);
    EXPECT_EQ(yes->text(), QString("[x] sent"));
    const auto no = fresh();
    no->add("sent", false);
    EXPECT_EQ(no->text(), QString("[ ] sent"));
    root->set_true_string({});
    const auto bare = fresh();
    bare->add("sent", true);
    EXPECT_EQ(bare->text(), QString("sent"));
}

TEST_F(LogEvent, FormattedAddsExpandEventTagsFromTheSecondOn) {
    const auto event = fresh();
    event->add("%d items {id}", {3});
    event->add("%s after {add_count}", {QString("more")});
    EXPECT_EQ(event->text(), QString("3 items {id}\r\nmore after 1"));
    const auto wrong = fresh();
    wrong->add("%d", TLogArgs{});
    EXPECT_EQ(wrong->text(), QString("Fmt string '%d' doesn't match with 0 parameter's list."));
    EXPECT_EQ(wrong->index(), 1); // still added
}

TEST_F(LogEvent, InsertPutsTheLineInFront) {
    const auto event = fresh();
    event->insert("only");
    event->add("last");
    event->insert("first");
    EXPECT_EQ(event->text(), QString("first\r\nonly\r\nlast"));
}

TEST_F(LogEvent, DepthCountsAncestors) {
    EXPECT_EQ(root->depth(), 0);
    root->add(LK_INFO, "x");
    EXPECT_EQ(root->last_event()->depth(), 1);
    EXPECT_EQ(group->depth(), 1);
    EXPECT_EQ(fresh()->depth(), 2);
}

TEST_F(LogEvent, ValueAsText) {
    const auto event = fresh();
    EXPECT_TRUE(event->value_as_text().isEmpty());
    event->set_value(false);
    EXPECT_EQ(event->value_as_text(), QString("[ ]"));
    event->set_value(true);
    EXPECT_EQ(event->value_as_text(), QString("[x]"));
    event->set_value(2.5);
    EXPECT_EQ(event->value_as_text(), QString("2.5"));
    event->set_value(QString("text"));
    EXPECT_EQ(event->value_as_text(), QString("text"));
}

TEST_F(LogEvent, StoredTickGivesTheMatchingTime) {
    const std::int64_t tick = root->ticks() + 90'000'000'000LL; // 90 s after the root
    const auto event = fresh(LK_INFO, tick);
    EXPECT_EQ(event->ticks(), tick);
    EXPECT_EQ(event->last_ticks(), tick);
    EXPECT_NEAR((event->when() - root->when()) * 86400.0, 90.0, 1e-6);
    EXPECT_EQ(event->last_when(), event->when());
    EXPECT_EQ(event->ticks_relative(), tick - group->ticks());
}

TEST_F(LogEvent, TimesFollowTheCounterAnchoredAtTheRoot) {
    const auto first = fresh();
    const auto second = fresh();
    EXPECT_LE(first->when(), second->when());
    EXPECT_GE(first->when(), root->when());
    first->add("x");
    EXPECT_GE(first->last_ticks(), first->ticks());
    EXPECT_GE(first->last_when(), first->when());
    EXPECT_GE(group->last_when(), first->last_when()); // the group saw the change
}

TEST_F(LogEvent, RepeatNeedsSameKindThreadAndText) {
    const auto base = fresh();
    base->set_text("same");
    const auto repeat = fresh();
    repeat->set_text("same");
    const auto other_kind = fresh(LK_ERROR);
    other_kind->set_text("same");
    const auto other_text = fresh();
    other_text->set_text("Same");
    const auto other_thread = fresh();
    other_thread->set_text("same");
    other_thread->set_thread_id(base->thread_id() + 1);

    EXPECT_FALSE(base->check_repeat(other_kind));
    EXPECT_FALSE(base->check_repeat(other_text));
    EXPECT_FALSE(base->check_repeat(other_thread));
    EXPECT_EQ(base->repeat_count(), 0u);
    EXPECT_TRUE(base->check_repeat(repeat));
    EXPECT_EQ(base->repeat_count(), 1u);
    EXPECT_GE(base->last_ticks(), repeat->ticks());
}

TEST_F(LogEvent, IsChildOfComparesAncestorNames) {
    const auto event = fresh();
    EXPECT_TRUE(event->is_child_of(group));
    EXPECT_TRUE(event->is_child_of(root));
    EXPECT_TRUE(group->is_child_of(root));
    EXPECT_FALSE(group->is_child_of(group));
    EXPECT_TRUE(root->is_child_of(root));
    EXPECT_FALSE(event->is_child_of(nullptr));
    const auto stranger = TLogGroup::Create(nullptr, "g", nullptr); // same name, other tree
    EXPECT_TRUE(event->is_child_of(stranger));
}

TEST_F(LogEvent, EventWithoutGroupKeepsItsTextsAndTellsNobody) {
    const auto loose = TLogEvent::Create(nullptr, nullptr, LK_WARNING);
    loose->add("kept");
    EXPECT_EQ(loose->text(), QString("kept"));
    EXPECT_EQ(loose->index(), -1);
    EXPECT_EQ(loose->depth(), 0);
    EXPECT_TRUE(loose->parent_group_name().isEmpty());
    EXPECT_EQ(loose->log_type_as_text(), QString("Warning"));
}

TEST(LogEventKinds, DecorationPrintsTwelveHyphens) {
    const auto event = TLogEvent::Create(nullptr, nullptr, LK_DECORATION);
    EXPECT_EQ(event->log_type_as_text(), QString("------------"));
}

} // namespace
} // namespace zel
