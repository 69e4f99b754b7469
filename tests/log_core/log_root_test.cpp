#include "log/core/log_context.h"
#include "log/core/log_procedures.h"
#include "log/core/log_process.h"
#include "log/core/log_root.h"
#include "log/core/log_unit.h"
#include "tests/log_core/qt_print.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <thread>

namespace zel {
namespace {

class LogRoot : public ::testing::Test {
protected:
    void SetUp() override { root = TLogRoot::Create(); }
    void TearDown() override { release_log_tree(*root); }

    std::shared_ptr<TLogRoot> root;
};

TEST_F(LogRoot, NewRootDefaults) {
    EXPECT_EQ(root->name(), QString("root"));
    EXPECT_EQ(root->depth(), 0);
    EXPECT_EQ(root->event_count(), 0);
    EXPECT_FALSE(root->started());
    EXPECT_EQ(root->parent(), nullptr);
    EXPECT_EQ(root->discard(), Tlog_kinds{LK_DEBUG});
    EXPECT_EQ(root->location(), KF_APPDATA);
    EXPECT_EQ(root->crashlist_name(), QString("crash_list"));
    EXPECT_EQ(root->path(), QString("ZEL"));
    EXPECT_EQ(root->true_string(), QString("[x]"));
    EXPECT_EQ(root->false_string(), QString("[ ]"));
    EXPECT_EQ(root->native_language(), QString("en-US"));
    EXPECT_EQ(root->long_date_format(), QString(R"(yyyy"-"mm"-"dd)"));
    EXPECT_EQ(root->short_date_format(), QString("dd mmm"));
    EXPECT_EQ(root->long_time_format(), QString(R"(hh":"nn":"ss"."zzz)"));
    EXPECT_EQ(root->short_time_format(), QString(R"(hh":"nn":"ss)"));
    EXPECT_EQ(root->header(),
              QString("{module}:{pid} Log session start {date_short} at {time_short}"));
    EXPECT_EQ(root->footer(), QString("{module}:{pid} Log session stop after {duration}"));
}

TEST_F(LogRoot, FirstAddWritesTheSessionHeaderFirst) {
    root->add(LK_INFO, "hello");
    ASSERT_EQ(root->event_count(), 2);
    const ILogEventPtr header = root->first_event();
    EXPECT_EQ(header->log_type(), LK_DECORATION);
    const QString expected_start =
        log_module_name() + ':' + QString::number(log_process_id()) + " Log session start ";
    EXPECT_TRUE(header->text().startsWith(expected_start)) << header->text().toStdString();
    EXPECT_EQ(root->last_event()->text(), QString("hello"));
}

TEST_F(LogRoot, StopWritesTheFooterWithTheSessionDuration) {
    root->add(LK_INFO, "hello");
    root->stop();
    const QString footer = root->last_event()->text();
    EXPECT_TRUE(footer.contains(" Log session stop after")) << footer.toStdString();
    EXPECT_EQ(root->last_event()->log_type(), LK_DECORATION);
}

TEST_F(LogRoot, ShortDateFormatChangesBothModes) {
    root->set_header({});
    root->add(LK_INFO, "x");
    const ILogEventPtr event = root->last_event();
    root->set_short_date_format(R"(yyyy"/"mm)");
    const QString expected =
        format_date_time("yyyy'/'mm", event->when(), *root->format_settings(true));
    EXPECT_EQ(event->preprocess("{date_short}", true, false), expected);
    EXPECT_EQ(event->preprocess("{date_short}", false, false), expected);
}

TEST_F(LogRoot, NativeLanguageKeepsThePatterns) {
    const auto before = root->format_settings(false);
    root->set_native_language("en-US");
    EXPECT_EQ(root->format_settings(false), before); // untouched
    root->set_short_date_format("dd mmmm");
    root->set_native_language("fr-FR");
    const auto french = root->format_settings(false);
    EXPECT_EQ(french->ShortDateFormat, QString("dd mmmm"));
    EXPECT_EQ(french->LongTimeFormat, QString(R"(hh":"nn":"ss"."zzz)"));
    EXPECT_EQ(format_date_time("mmmm", 45000, *french), QString("mars"));
}

TEST_F(LogRoot, PreprocessOfEveryTag) {
    root->set_header({});
    root->set_true_string("yes");
    const ILogGroupPtr group =
        root->new_group("{0F0F0F0F-1111-2222-3333-444444444444}|GK_READER|tail");
    const auto event = std::dynamic_pointer_cast<TLogEvent>(group->new_event(LK_WARNING));
    ILogContextPtr context;
    root->find_context(context, nullptr, true);
    context->set_prefix("ctx: ");
    event->add("line", context);
    event->set_value(true);
    event->set_local_text("ligne");
    event->set_ticks(group->ticks() + 1500);
    event->set_when(45000.25); // 2023-03-15 06:00:00.000
    event->set_last_when(45000.5 + 1.5 / 86400);
    event->set_repeat_count(4);
    const auto& fs = *root->format_settings(true);

    struct Case {
        const char* tag;
        QString expected;
    };
    const std::vector<Case> cases = {
        {"{index}", "0"},
        {"{depth}", "2"},
        {"{group}", group->name()},
        {"{id}", QString::number(event->id())},
        {"{thread_id}", QString::number(event->thread_id())},
        {"{type}", "Warning"},
        {"{ticks}", QString::number(event->ticks())},
        {"{ticks_relative}", "1500"},
        {"{date}", "2023-03-15"},
        {"{date_short}", format_date_time("dd mmm", 45000, fs)},
        {"{time}", "06:00:00.000"},
        {"{time_short}", "06:00:00"},
        {"{time_relative}", format_date_time(R"(hh":"nn":"ss"."zzz)", event->when_relative(), fs)},
        {"{last_date}", "2023-03-15"},
        {"{last_date_short}", format_date_time("dd mmm", 45000, fs)},
        {"{last_time}", "12:00:01.500"},
        {"{last_time_short}", "12:00:01"},
        {"{last_time_relative}",
         format_date_time(R"(hh":"nn":"ss)", event->last_when_relative(), fs)},
        {"{duration}", "6 hour(s) 1 second(s) 500 millisecond(s)"},
        {"{repeat_count}", "4"},
        {"{add_count}", "1"},
        {"{text}", "ctx: ligne"},
        {"{pid}", QString::number(log_process_id())},
        {"{module}", "log_core_tests"},
        {"{context}", "ctx: "},
        {"{child_count}", "0"},
        {"{variant}", "yes"},
        {"{group_prefix}", "|GK_READER|tail"},
    };
    ASSERT_EQ(cases.size(), static_cast<std::size_t>(nb_info_items));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.tag);
        EXPECT_EQ(event->preprocess(c.tag, true, false), c.expected);
    }
    // Native mode prints the native text; widths pad on the right; unknown braces stay.
    EXPECT_EQ(event->preprocess("{text}", false, false), QString("ctx: line"));
    EXPECT_EQ(event->preprocess("[{type}][{depth}]{text}", true, true),
              QString("[Warning     ][2 ]ctx: ligne"));
    EXPECT_EQ(event->preprocess("{unknown} {{id}}", true, false),
              QString("{unknown} {") + QString::number(event->id()) + "}");
    EXPECT_EQ(group->preprocess("{child_count}", true, false), QString("1"));
}

TEST_F(LogRoot, FindContextCreatesOnceAndMatchesTheThread) {
    int data = 0;
    ILogContextPtr first;
    ILogContextPtr second;
    EXPECT_FALSE(root->find_context(first, &data, false));
    EXPECT_EQ(first, nullptr);
    ASSERT_TRUE(root->find_context(first, &data, true));
    ASSERT_TRUE(root->find_context(second, &data, true));
    EXPECT_EQ(first, second);
    EXPECT_EQ(root->context_list()->Count(), 1);

    first->set_thread_id(root->thread_id() + 1);
    ILogContextPtr found;
    EXPECT_FALSE(root->context_list()->find_by_data(&data, found));
    first->set_thread_id(root->thread_id());
    EXPECT_TRUE(root->context_list()->find_by_data(&data, found));

    EXPECT_TRUE(root->remove_context(first));
    EXPECT_FALSE(root->remove_context(first));
    root->find_context(found, &data, true);
    root->clear_contexts();
    EXPECT_EQ(root->context_list()->Count(), 0);
}

TEST_F(LogRoot, FolderNamesFollowLocationAndPath) {
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.path()));
    EXPECT_EQ(root->fq_path(), home.path() + "/ZEL/");
    EXPECT_EQ(root->fq_filename(), home.path() + "/ZEL/crash_list.crashlist");
    root->set_location(KF_ABSOLUTE);
    root->set_path(home.path() + "/logs");
    root->set_crashlist_name("other.list");
    EXPECT_EQ(root->fq_path(), home.path() + "/logs/");
    EXPECT_EQ(root->fq_filename(), home.path() + "/logs/other.crashlist");
}

TEST_F(LogRoot, CrashListOperationsReportFalseWithoutTheDiagnosticsLayer) {
    QStringList list{"untouched"};
    EXPECT_FALSE(root->sync(nullptr, true));
    EXPECT_FALSE(root->register_crash(nullptr));
    EXPECT_FALSE(root->unregister_crash(nullptr));
    EXPECT_EQ(root->build_crash_list(list), 0);
    EXPECT_EQ(list, QStringList{"untouched"});
}

TEST(LogProcedures, NeedARootAndFollowItsDiscardSet) {
    ASSERT_EQ(default_log_root, nullptr);
    log_add(LK_INFO, "before any root");
    log_add_fmt(LK_ERROR, "unable to create folder: %s", {QString("/x")});

    const auto root = TLogRoot::Create();
    root->set_header({});
    default_log_root = root;
    log_add(LK_DEBUG, "discarded by default");
    log_add_fmt(LK_ERROR, "unable to create folder: %s", {QString("/x")});
    log_add(LK_INFO, "plain");
    default_log_root.reset();

    ASSERT_EQ(root->event_count(), 2);
    EXPECT_EQ(root->first_event()->text(), QString("unable to create folder: /x"));
    EXPECT_EQ(root->last_event()->text(), QString("plain"));
    release_log_tree(*root);
}

TEST(LogArguments, BracedListsPickTheArgumentOverload) {
    const auto root = TLogRoot::Create();
    root->set_header({});
    root->add(LK_INFO, "count %d", {1});
    root->add(LK_INFO, "flag", true);
    root->add(LK_INFO, "%s and %d", {"text", 2});
    EXPECT_EQ(root->getevent(0)->text(), QString("count 1"));
    EXPECT_EQ(root->getevent(1)->text(), QString("[x] flag"));
    EXPECT_EQ(root->getevent(2)->text(), QString("text and 2"));
    release_log_tree(*root);
}

} // namespace
} // namespace zel
