#include "filesystem/memory_stream.h"
#include "log/core/log_lists.h"
#include "log/core/log_procedures.h"
#include "log/core/text_templates.h"
#include "log/persistence/log_config.h"
#include "log/persistence/log_loader.h"
#include "tests/log_persistence/persistence_fixture.h"

#include <QDir>
#include <QFile>

#include <cmath>
#include <random>

namespace zel {
namespace {

using namespace testing;

void write_file(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

// A file with a header: `entries` are its lines after the empty line.
QByteArray log_text(const QString& quoted_name, const QString& event_header,
                    const QStringList& entries, const QString& extra_tags = {}) {
    QString text =
        ":std_log=" + quoted_name +
        "\r\n:library=false\r\n:app_name=sender\r\n"
        ":most_recent=last\r\n:event_header=" +
        event_header +
        "\r\n"
        ":LongDateFormat=yyyy\"-\"mm\"-\"dd\r\n:ShortDateFormat=dd mmm\r\n"
        ":LongTimeFormat=hh\":\"nn\":\"ss\".\"zzz\r\n:ShortTimeFormat=hh\":\"nn\":\"ss\r\n"
        ":status=stopped\r\n" +
        extra_tags + "\r\n";
    for (const QString& entry : entries)
        text += entry + "\r\n";
    return text.toUtf8();
}

std::int64_t in_msecs(TDateTime value) {
    return std::llround(value * 86400000.0);
}

// The entries of `group`'s tree in the order of select (a group, then its entries).
std::vector<ILogEventPtr> tree_of(const ILogGroupPtr& group) {
    const auto list = std::make_shared<TLogEventList>();
    group->select(list, {}, nullptr);
    std::vector<ILogEventPtr> events;
    for (std::int32_t i = 0; i < list->Count(); ++i)
        events.push_back(list->GetItems(i));
    return events;
}

class Loader : public PersistenceTest {
protected:
    void SetUp() override {
        PersistenceTest::SetUp();
        root->set_OnLogFileLoaded(
            [this](const void* sender, const ILogGroupPtr& group, ELogLoadType type) {
                EXPECT_EQ(sender, static_cast<const void*>(static_cast<ILogRoot*>(root.get())));
                loaded.emplace_back(group, type);
            });
        reader = add_reader();
    }

    ILogGroupPtr add_reader() const {
        ILogGroupPtr group;
        root->add_seeded_group(group, GK_READER);
        return group;
    }

    // The entries that a load put into `group`, "Header info" left out.
    static std::vector<ILogEventPtr> loaded_entries(const ILogGroupPtr& group) {
        std::vector<ILogEventPtr> events = tree_of(group);
        for (auto at = events.begin(); at != events.end(); ++at)
            if ((*at)->log_type() == LK_GROUP && (*at)->text() == "Header info")
                return {events.begin(), at};
        return events;
    }

    ILogGroupPtr reader;
    std::vector<std::pair<ILogGroupPtr, ELogLoadType>> loaded;
};

TEST_F(Loader, AFileWrittenWithTheMainWindowSettingsReadsBackAsTheSameTree) {
    default_log_root.reset();
    const auto config = main_window_log_config();
    const ILogRootPtr written = config->root();
    const QString name = path("log_file.20240131.235958.000.log");
    config->storages().storage(0)->storage()->set_fq_filename(name);

    // The session header, at a chosen time, then every kind, groups, lines, repeats, midnight.
    written->start();
    TDateTime when = at(2024, 1, 31, 23, 59, 58, 100);
    auto& header = dynamic_cast<TLogEvent&>(*written->first_event());
    header.set_when(when);
    header.set_last_when(when);
    config->Loaded();

    const auto tick = [&when] { return when += 0.125 * one_second; };
    const ILogGroupPtr upload = group_at(written, "Upload \"report.zip\"", tick());
    add_at(upload, LK_INFO, "connected", tick());
    add_at(upload, LK_WARNING, "three\r\nline\r\nwarning", tick());
    for (int i = 0; i < 3; ++i)
        add_at(upload, LK_ERROR, "refused", when + i * 1.5 * one_second);
    when += 3 * one_second;
    const ILogGroupPtr inner = group_at(upload, "reading back", tick(), GK_READER);
    add_at(inner, LK_DEBUG, "deep", tick());
    add_at(upload, LK_HINT, "back in upload", tick());
    for (int kind = LK_DECORATION; kind <= LK_DEBUG; ++kind)
        if (kind != LK_GROUP)
            add_at(written, static_cast<Tlog_kind>(kind),
                   QStringLiteral("kind %1 after midnight").arg(kind), tick());
    ASSERT_GT(when, at(2024, 2, 1, 0, 0, 0));

    ASSERT_TRUE(reader->LoadFromFile(name));
    const std::vector<ILogEventPtr> original = tree_of(written);
    const std::vector<ILogEventPtr> back = loaded_entries(reader);
    ASSERT_EQ(back.size(), original.size());
    for (std::size_t i = 0; i < original.size(); ++i) {
        const ILogEvent& was = *original[i];
        const ILogEvent& is = *back[i];
        SCOPED_TRACE(was.text().toStdString());
        EXPECT_EQ(is.log_type(), was.log_type());
        // A decoration is stored centred; a repeat adds its line.
        QString text =
            was.log_type() == LK_DECORATION ? pad_text(was.text(), 120, 1, "*") : was.text();
        if (was.repeat_count() != 0)
            text += "\r\n^^^Repeated " + QString::number(was.repeat_count() + 1) + " Times in " +
                    "3 second(s)^^^";
        EXPECT_EQ(is.text(), text);
        EXPECT_EQ(is.depth() - reader->depth(), was.depth());
        EXPECT_EQ(in_msecs(is.when()), in_msecs(was.when()));
        if (const auto group = dynamic_cast<const ILogGroup*>(&was)) {
            EXPECT_EQ(dynamic_cast<const ILogGroup&>(is).group_kind(), group->group_kind());
        }
    }
    EXPECT_EQ(loaded, (std::vector<std::pair<ILogGroupPtr, ELogLoadType>>{{reader, lltNew}}));
    written->clear_all();
    default_log_root.reset();
}

TEST_F(Loader, ADateInTheLineWinsOverTheFileNameAndMidnight) {
    write_file(path("dated.log"), log_text("'x.20240131.230000.000.log'", "'{date} {time}  {type}'",
                                           {"2023-12-30 23:00:00.000  Info        a",
                                            "2023-12-31 01:00:00.000  Info        b",
                                            "2024-01-02 00:30:00.000  Info        c"}));
    ASSERT_TRUE(reader->LoadFromFile(path("dated.log")));
    const auto events = loaded_entries(reader);
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(in_msecs(events[0]->when()), in_msecs(at(2023, 12, 30, 23, 0, 0)));
    EXPECT_EQ(in_msecs(events[1]->when()), in_msecs(at(2023, 12, 31, 1, 0, 0)));
    EXPECT_EQ(in_msecs(events[2]->when()), in_msecs(at(2024, 1, 2, 0, 30, 0)));
}

TEST_F(Loader, TimesTakeTheFileDateAndPassMidnightOnlyAfterAnEarlierEntry) {
    // The name was stamped just after the first entry, in the next hour: still the same day.
    write_file(path("times.log"),
               log_text("'x.20240131.100000.000.log'", "'{time}  {type}'",
                        {"09:59:59.900  Info        first", "23:00:00.000  Info        late",
                         "00:00:01.000  Info        after midnight"}));
    ASSERT_TRUE(reader->LoadFromFile(path("times.log")));
    const auto events = loaded_entries(reader);
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(in_msecs(events[0]->when()), in_msecs(at(2024, 1, 31, 9, 59, 59, 900)));
    EXPECT_EQ(in_msecs(events[1]->when()), in_msecs(at(2024, 1, 31, 23, 0, 0)));
    EXPECT_EQ(in_msecs(events[2]->when()), in_msecs(at(2024, 2, 1, 0, 0, 1)));
}

TEST_F(Loader, IndentationGivesNestingAndAMissingIndentIsFour) {
    write_file(
        path("nested.log"),
        log_text("'n.log'", "'{type}'",
                 {"Group           outer|GK_TITLESET|", "Info                inside",
                  "Group               inner", "Error                   deepest",
                  "Hint            back at the top", "Warning     less than the first level"},
                 ":group_indent=\r\n"));
    ASSERT_TRUE(reader->LoadFromFile(path("nested.log")));
    const auto events = loaded_entries(reader);
    ASSERT_EQ(events.size(), 6u);
    const std::vector<std::pair<QString, int>> expected{
        {"outer", 1},   {"inside", 2},          {"inner", 2},
        {"deepest", 3}, {"back at the top", 1}, {"less than the first level", 1}};
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(events[i]->text(), expected[i].first);
        EXPECT_EQ(events[i]->depth() - reader->depth(), expected[i].second) << i;
    }
    EXPECT_EQ(dynamic_cast<ILogGroup&>(*events[0]).group_kind(), GK_TITLESET);
    EXPECT_EQ(dynamic_cast<ILogGroup&>(*events[2]).group_kind(), GK_NONE);
    const auto all = tree_of(reader);
    EXPECT_EQ(all.back()->text(), "Application name : sender");
    EXPECT_TRUE(std::any_of(all.begin(), all.end(),
                            [](const ILogEventPtr& e) { return e->text() == "Group indent : 4"; }));
}

TEST_F(Loader, AFolderGivesAReaderGroupPerFileAndSubFolderInTheNotificationOrder) {
    const QByteArray one_entry = log_text("'f.log'", "'{type}'", {"Info        hello"});
    ASSERT_TRUE(QDir().mkpath(path("logs/sub")));
    write_file(path("logs/a.log"), one_entry);
    write_file(path("logs/b.log"), one_entry);
    write_file(path("logs/sub/c.log"), one_entry);
    write_file(path("logs/.sessions.crashlist.lock"), {}); // a crash list's lock, not a log

    ASSERT_TRUE(reader->LoadFromFile(path("logs")));
    EXPECT_EQ(reader->text(), "Logs loaded from path: \"" + path("logs") + "\"");
    const auto groups = reader->groups();
    ASSERT_EQ(groups->Count(), 3);
    const ILogGroupPtr sub = groups->GetItems(0);
    EXPECT_EQ(sub->group_kind(), GK_READER);
    ASSERT_EQ(sub->groups()->Count(), 1);
    const ILogGroupPtr c = sub->groups()->GetItems(0);
    EXPECT_EQ(c->text(), "Extracted from \"" + path("logs/sub/c.log") + "\"");
    EXPECT_EQ(c->group_kind(), GK_READER);

    const std::vector<std::pair<ILogGroupPtr, ELogLoadType>> expected{{c, lltNew},
                                                                      {sub, lltMultiple},
                                                                      {groups->GetItems(1), lltNew},
                                                                      {groups->GetItems(2), lltNew},
                                                                      {reader, lltMultiple}};
    EXPECT_EQ(loaded, expected);
}

TEST_F(Loader, ACrashListLoadsTheLogsItNamesAndReportsTheMissingOnes) {
    write_file(path("there.log"), log_text("'t.log'", "'{type}'", {"Error       crashed"}));
    write_file(
        path("crash_list.CrashList"),
        ("sender:12=" + path("there.log") + "\r\nsender:13=" + path("gone.log") + "\r\n").toUtf8());
    EXPECT_TRUE(reader->LoadFromFile(path("crash_list.CrashList")));
    EXPECT_EQ(reader->text(), "Crash logs loaded from: \"" + path("crash_list.CrashList") + "\"");
    ASSERT_EQ(reader->groups()->Count(), 2);
    const ILogGroupPtr gone = reader->groups()->GetItems(1);
    EXPECT_EQ(gone->group_kind(), GK_READER);
    ASSERT_EQ(gone->event_count(), 1);
    EXPECT_EQ(gone->first_event()->log_type(), LK_ERROR);
    EXPECT_EQ(gone->first_event()->text(), "File \"" + path("gone.log") + "\" does not exist");
    EXPECT_EQ(loaded.back(), std::make_pair(reader, lltMultiple));
}

TEST_F(Loader, TheOlderFormIsReadFromItsLastLineUp) {
    write_file(path("old.log"), "2023-05-06 07:08:09\tInfo\tfirst line of the old form\r\n"
                                "too short\r\n"
                                "2023-05-06 07:08:10\t----\ta decoration line in the old form\r\n"
                                "2023-05-06 07:08:11\tError\ttwo\ttabs too many, skipped..\r\n"
                                "2023-05-06 07:08:12\tStrange\tan unknown kind reads as info\r\n");
    ASSERT_TRUE(reader->LoadFromFile(path("old.log")));
    const auto events = loaded_entries(reader);
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[0]->text(), "an unknown kind reads as info");
    EXPECT_EQ(events[0]->log_type(), LK_INFO);
    EXPECT_EQ(events[1]->log_type(), LK_DECORATION);
    EXPECT_EQ(events[2]->text(), "first line of the old form");
    EXPECT_EQ(in_msecs(events[2]->when()), in_msecs(at(2023, 5, 6, 7, 8, 9)));
    EXPECT_EQ(tree_of(reader).back()->text(), "Old log format, no header info avalaible");
    EXPECT_EQ(loaded, (std::vector<std::pair<ILogGroupPtr, ELogLoadType>>{{reader, lltLegacy}}));
}

TEST_F(Loader, AStreamIsReadFromWhereItStands) {
    const QByteArray text = log_text("'s.log'", "'{type}'", {"Hint        from memory"});
    std::vector<std::byte> bytes(3, std::byte{'x'}); // read past already
    for (const char c : text)
        bytes.push_back(static_cast<std::byte>(c));
    TMemoryByteStream stream(std::move(bytes));
    ASSERT_EQ(stream.Seek(3, TSeekOrigin::soBeginning), 3);
    EXPECT_TRUE(reader->LoadFromStream(stream, "the caption"));
    EXPECT_EQ(reader->text(), "the caption");
    const auto events = loaded_entries(reader);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0]->log_type(), LK_HINT);
    EXPECT_EQ(events[0]->text(), "from memory");
}

TEST_F(Loader, MissingAndUnusableFilesSayWhy) {
    EXPECT_FALSE(reader->LoadFromFile(path("missing.log")));
    ASSERT_EQ(reader->event_count(), 1);
    EXPECT_EQ(reader->first_event()->text(), "File \"" + path("missing.log") + "\" does not exist");
    EXPECT_TRUE(loaded.empty());

    const ILogGroupPtr garbage = add_reader();
    write_file(path("garbage.bin"), "\x01\x02\x03\r\nno header, no tabs\r\n");
    EXPECT_FALSE(garbage->LoadFromFile(path("garbage.bin")));
    ASSERT_EQ(garbage->event_count(), 1);
    EXPECT_EQ(garbage->first_event()->log_type(), LK_ERROR);
    EXPECT_EQ(garbage->first_event()->text(), "Unable to load log");
    EXPECT_EQ(loaded.back(), std::make_pair(garbage, lltLegacyError));
}

TEST_F(Loader, ATemplateItCannotTakeApartLeavesTheLinesAsText) {
    write_file(path("odd.log"),
               log_text("'o.log'", "'[{time}] {type}'", {"[12:00:00.000] Error       kept whole"}));
    ASSERT_TRUE(reader->LoadFromFile(path("odd.log")));
    const auto events = loaded_entries(reader);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0]->log_type(), LK_INFO);
    EXPECT_EQ(events[0]->text(), "[12:00:00.000] Error       kept whole");
}

TEST_F(Loader, AFolderThatLinksBackUpIsNotEnteredTwice) {
    ASSERT_TRUE(QDir().mkpath(path("loop/inner")));
    ASSERT_TRUE(QFile::link(path("loop"), path("loop/inner/up")));
    write_file(path("loop/inner/x.log"), log_text("'x.log'", "'{type}'", {"Info        once"}));
    EXPECT_TRUE(reader->LoadFromFile(path("loop")));
    std::int32_t count = 0;
    for (const ILogEventPtr& event : tree_of(reader))
        count += event->text() == "once" ? 1 : 0;
    EXPECT_EQ(count, 1);
}

TEST_F(Loader, AnyInputEnds) {
    // Every cut of a real log, random bytes, a 10 MB line, UTF-16 with its mark.
    const QByteArray full =
        log_text("'c.20240131.120000.000.log'", "'{time}  {type}'",
                 {"12:00:00.000  Group           group", "12:00:00.001  Info                a",
                  "                                  b", "12:00:00.002  Error           c"});
    for (qsizetype length = 0; length <= full.size(); length += 7)
        load_log_from_bytes(add_reader(), full.first(length), "cut");

    std::mt19937 random(7);
    for (int round = 0; round < 50; ++round) {
        QByteArray noise(static_cast<qsizetype>(random() % 4000), '\0');
        for (char& c : noise)
            c = static_cast<char>(random());
        if (round % 2 == 0)
            noise.prepend(full.first(static_cast<qsizetype>(random() % full.size())));
        load_log_from_bytes(add_reader(), noise, "noise");
    }

    const ILogGroupPtr long_line = add_reader();
    EXPECT_TRUE(load_log_from_bytes(long_line, full + QByteArray(10 << 20, 'x') + "\r\n", "long"));

    const ILogGroupPtr wide = add_reader();
    const QString text = QString::fromUtf8(full);
    QByteArray utf16("\xFF\xFE", 2);
    utf16.append(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
    EXPECT_TRUE(load_log_from_bytes(wide, utf16, "wide"));
    EXPECT_EQ(loaded_entries(wide).size(), 3u);
}

} // namespace
} // namespace zel
