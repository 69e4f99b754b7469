#include "log/core/log_extensions.h"
#include "log/core/log_unit.h"
#include "log/diagnostics/log_diagnostics.h"
#include "log/persistence/log_storage.h"
#include "tests/log_persistence/persistence_fixture.h"
#include "tests/log_persistence/storage_oracle.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>

#include <chrono>
#include <random>

namespace zel {
namespace {

using namespace testing;

const TDateTime noon = at(2024, 1, 31, 12, 34, 56, 789);

// Replaces the file's content behind the storage's back (same file, so a write shows).
void scribble(const QString& path) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write("scribbled");
}

class Storage : public PersistenceTest {
protected:
    void SetUp() override {
        PersistenceTest::SetUp();
        storage = std::make_shared<TLogStorage>();
        storage->set_fq_filename(path("log.txt"));
        storage->set_flush_on(Tlog_kinds::all());
    }

    void TearDown() override {
        storage.reset();
        set_log_diagnostics_hooks({});
        PersistenceTest::TearDown();
    }

    QByteArray file() const { return file_bytes(path("log.txt")); }
    QByteArray expected() const { return expected_file(*storage, *root, !root->started()); }

    std::shared_ptr<TLogStorage> storage;
};

TEST_F(Storage, AFileWithoutEventsHoldsTheHeaderAndOneEmptyLine) {
    root->register_storage(storage);
    EXPECT_TRUE(storage->write_event(nullptr));
    const QString name = path("log.txt");
    EXPECT_EQ(file(), (":std_log='" + name +
                       "'\r\n"
                       ":library=false\r\n"
                       ":app_name=log_persistence_tests\r\n"
                       ":app_version=3.0.0.0\r\n"
                       ":most_recent=first\r\n"
                       ":event_header='{time}  {type}'\r\n"
                       ":LongDateFormat=yyyy\"-\"mm\"-\"dd\r\n"
                       ":ShortDateFormat=dd mmm\r\n"
                       ":LongTimeFormat=hh\":\"nn\":\"ss\".\"zzz\r\n"
                       ":ShortTimeFormat=hh\":\"nn\":\"ss\r\n"
                       ":status=stopped\r\n"
                       ":group_indent=4\r\n"
                       "\r\n")
                          .toUtf8());
    EXPECT_FALSE(held_open(name)); // written while the group is stopped: closed again
}

TEST_F(Storage, WholeEntriesComeNewestFirstOrOldestFirst) {
    for (const bool newest_first : {true, false}) {
        SCOPED_TRACE(newest_first ? "newest first" : "oldest first");
        root->clear_all();
        storage = std::make_shared<TLogStorage>();
        storage->set_fq_filename(path(newest_first ? "newest.txt" : "oldest.txt"));
        storage->set_flush_on(Tlog_kinds::all());
        storage->set_most_recent_first(newest_first);
        root->register_storage(storage);

        add_at(root, LK_INFO, "first\r\nsecond line", noon);
        const ILogGroupPtr group = group_at(root, "a group", noon);
        add_at(group, LK_ERROR, "inside", noon);
        add_at(root, LK_IMPORTANT, "last", noon);

        const QList<QByteArray> lines = file_bytes(storage->fq_filename()).split('\n');
        QList<QByteArray> entries = lines.mid(lines.indexOf("\r") + 1);
        entries.removeLast(); // after the last CR LF
        const QList<QByteArray> natural{
            "12:34:56.789  Info            first\r",
            "                              second line\r",
            "12:34:56.789  Group           a group\r",
            "12:34:56.789  Error               inside\r",
            "12:34:56.789  Important       last\r",
        };
        const QList<QByteArray> newest{natural[4], natural[3], natural[2], natural[0], natural[1]};
        EXPECT_EQ(entries, newest_first ? newest : natural);
    }
}

TEST_F(Storage, StopWritesStatusStoppedAndClosesTheFile) {
    root->register_storage(storage);
    root->add(LK_INFO, "running");
    EXPECT_TRUE(file().contains(":status=started\r\n"));
    EXPECT_TRUE(held_open(path("log.txt")));

    root->stop();
    EXPECT_TRUE(file().contains(":status=stopped\r\n"));
    EXPECT_EQ(file(), expected());
    EXPECT_FALSE(held_open(path("log.txt")));

    // An event after the stop opens the file again (emptied), writes it whole, closes it.
    root->set_autostart(false);
    scribble(path("log.txt"));
    add_at(root, LK_WARNING, "late", noon);
    EXPECT_EQ(file(), expected());
    EXPECT_TRUE(file().contains("late"));
    EXPECT_FALSE(held_open(path("log.txt")));
}

TEST_F(Storage, ANewStorageWritesNothingUntilItsFlushKindsAreSet) {
    const auto quiet = std::make_shared<TLogStorage>();
    root->register_storage(quiet);
    root->add(LK_ERROR, "nothing written");
    EXPECT_FALSE(QFileInfo::exists(quiet->fq_filename()));
    EXPECT_TRUE(quiet->write_event(nullptr));
    EXPECT_TRUE(file_bytes(quiet->fq_filename()).contains("nothing written"));
}

TEST_F(Storage, DiscardedKindsNeitherTriggerAWriteNorAppear) {
    root->set_discard({});
    root->register_storage(storage);
    root->add(LK_INFO, "info");
    scribble(path("log.txt"));
    root->add(LK_DEBUG, "debug");
    EXPECT_EQ(file(), "scribbled");
    root->add(LK_INFO, "info again");
    EXPECT_EQ(file(), expected());
    EXPECT_FALSE(file().contains("debug"));
}

TEST_F(Storage, MembersOfADiscardedGroupAreLeftOutWhateverTheirKind) {
    storage->set_discard({LK_GROUP});
    root->register_storage(storage);
    const ILogGroupPtr group = group_at(root, "hidden group", noon);
    add_at(group, LK_ERROR, "hidden member", noon);
    add_at(root, LK_ERROR, "shown", noon);
    EXPECT_EQ(file(), expected());
    EXPECT_TRUE(file().contains("shown"));
    EXPECT_FALSE(file().contains("hidden"));
}

TEST_F(Storage, AnOlderUnchangedEventWritesNothingButAFoldedRepeatIsWritten) {
    root->register_storage(storage);
    const ILogGroupPtr group = group_at(root, "group", noon);
    const ILogEventPtr older = add_at(group, LK_INFO, "older", noon);
    add_at(root, LK_INFO, "newer", noon); // last in the order, higher commit id

    scribble(path("log.txt"));
    storage->event_arrived(older);
    EXPECT_EQ(file(), "scribbled");

    // A repeat folds into `older` without a new commit id, and still reaches the file.
    add_at(group, LK_INFO, "older", noon + one_second);
    EXPECT_EQ(file(), expected());
    EXPECT_TRUE(file().contains("^^^Repeated 2 Times in 1 second(s)^^^"));
}

TEST_F(Storage, RewritesAreByteIdenticalAndShorterOnesLeaveNothingBehind) {
    root->register_storage(storage);
    add_at(root, LK_DECORATION, "banner", noon);
    const QByteArray first = file();
    EXPECT_TRUE(storage->write_event(nullptr));
    EXPECT_EQ(file(), first);

    storage->set_decoration_padding(10);
    EXPECT_TRUE(storage->write_event(nullptr));
    EXPECT_LT(file().size(), first.size());
    EXPECT_EQ(file(), expected());
}

TEST_F(Storage, TheBuiltNameHasATimeStampFixedForTheStorageLifetime) {
    const auto named = std::make_shared<TLogStorage>();
    named->set_flush_on(Tlog_kinds::all());
    root->register_storage(named);
    const QString name = named->fq_filename();
    EXPECT_TRUE(name.startsWith(root->fq_path() + "log_file.")) << name.toStdString();
    EXPECT_TRUE(QRegularExpression(R"(\.\d{8}\.\d{6}\.\d{3}\.log$)").match(name).hasMatch())
        << name.toStdString();

    root->add(LK_INFO, "written");
    root->stop();
    root->add(LK_INFO, "started again, same file");
    EXPECT_EQ(named->fq_filename(), name);
    EXPECT_TRUE(file_bytes(name).contains("started again, same file"));
}

TEST_F(Storage, DisablingDeletesAnOpenFileButKeepsAClosedOne) {
    root->register_storage(storage);
    root->add(LK_INFO, "open");
    storage->set_enabled(false);
    EXPECT_FALSE(QFileInfo::exists(path("log.txt")));
    root->add(LK_INFO, "while disabled");
    EXPECT_FALSE(QFileInfo::exists(path("log.txt")));

    storage->set_enabled(true);
    root->add(LK_INFO, "enabled again");
    EXPECT_EQ(file(), expected());
    root->stop(); // closes
    storage->set_enabled(false);
    EXPECT_TRUE(QFileInfo::exists(path("log.txt")));
}

TEST_F(Storage, AFolderThatCannotBeMadeFallsBackToThePublicDocuments) {
    // The data folder is a file, so nothing can be created below it.
    QFile blocker(path("XDG_DATA_HOME"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    root->set_location(KF_PROGRAMDATA);
    const auto named = std::make_shared<TLogStorage>();
    named->set_flush_on(Tlog_kinds::all());
    root->register_storage(named);

    root->add(LK_INFO, "somewhere public");
    EXPECT_EQ(root->location(), KF_PUBLIC_DOCUMENTS);
    EXPECT_TRUE(named->fq_filename().startsWith(path("HOME/Public/")))
        << named->fq_filename().toStdString();
    EXPECT_TRUE(file_bytes(named->fq_filename()).contains("somewhere public"));
}

// A file that cannot be created costs one attempt a second, not one per event; a crash log is
// listed only once its file exists.
TEST_F(Storage, AFileThatCannotBeCreatedIsTriedAgainAtMostOnceASecond) {
    for (const bool crash : {false, true}) {
        SCOPED_TRACE(crash ? "crash log" : "log");
        root->clear_all();
        std::vector<bool> syncs; // adding or not, per crash-list call
        TLogDiagnosticsHooks hooks;
        hooks.sync = [&](TLogRoot&, const ILogStoragePtr&, bool adding) {
            syncs.push_back(adding);
            return true;
        };
        set_log_diagnostics_hooks(std::move(hooks));
        auto now = std::chrono::steady_clock::time_point() + std::chrono::hours(1);
        storage = std::make_shared<TLogStorage>();
        if (crash)
            storage->preset_crashlog("crash");
        storage->set_fq_filename(path("log.txt"));
        storage->set_flush_on(Tlog_kinds::all());
        storage->set_retry_clock([&] { return now; });
        ASSERT_TRUE(QDir().mkpath(path("log.txt"))); // a folder where the file should be
        root->register_storage(storage);

        root->add(LK_INFO, "lost");
        root->add(LK_INFO, "lost again");
        EXPECT_FALSE(storage->write_event(nullptr));
        ASSERT_TRUE(QDir().rmdir(path("log.txt")));
        now += std::chrono::milliseconds(999);
        root->add(LK_INFO, "within the second");
        EXPECT_FALSE(QFileInfo::exists(path("log.txt")));
        EXPECT_EQ(syncs, std::vector<bool>{});

        now += std::chrono::milliseconds(1);
        root->add(LK_INFO, "found");
        EXPECT_EQ(file(), expected());
        EXPECT_TRUE(file().contains("lost again"));
        EXPECT_EQ(syncs, crash ? std::vector<bool>{true} : std::vector<bool>{});
        root->stop();
        EXPECT_EQ(syncs, crash ? (std::vector<bool>{true, false}) : std::vector<bool>{});
        QFile::remove(path("log.txt"));
    }
}

// Storages created in the same millisecond each get a file of their own.
TEST_F(Storage, StoragesNamedInTheSameMillisecondWriteFilesOfTheirOwn) {
    root->set_location(KF_ABSOLUTE);
    root->set_path(path("logs"));
    constexpr int count = 30;
    std::vector<std::shared_ptr<TLogStorage>> storages;
    std::vector<ILogGroupPtr> groups;
    for (int i = 0; i < count; ++i) {
        groups.emplace_back();
        root->add_seeded_group(groups.back(), GK_NONE);
        storages.push_back(std::make_shared<TLogStorage>());
        storages.back()->set_flush_on(Tlog_kinds::all());
        groups.back()->register_storage(storages.back());
        storages.back()->fq_filename(); // the stamp, nearly at once for all of them
    }
    for (int i = 0; i < count; ++i)
        groups[static_cast<std::size_t>(i)]->add(LK_INFO, QStringLiteral("storage %1").arg(i));
    QSet<QString> names;
    for (int i = 0; i < count; ++i) {
        const QString name = storages[static_cast<std::size_t>(i)]->fq_filename();
        names.insert(name);
        EXPECT_TRUE(
            QRegularExpression(R"(/log_file\.\d{8}\.\d{6}\.\d{3}\.log$)").match(name).hasMatch())
            << name.toStdString(); // a later stamp keeps the form the reader takes apart
        const QByteArray bytes = file_bytes(name);
        EXPECT_TRUE(bytes.startsWith(":std_log='" + name.toUtf8() + "'\r\n"));
        EXPECT_TRUE(bytes.contains(QStringLiteral("storage %1\r\n").arg(i).toUtf8()));
    }
    EXPECT_EQ(names.size(), count);
    EXPECT_EQ(QDir(path("logs")).entryList(QDir::Files).size(), count);
    release_log_tree(*root); // the sub-groups' storages too
}

// A fixed name held open by one storage is not written by another until the first lets go.
TEST_F(Storage, AnOpenFileIsKeptFromOtherWritersButNotFromReaders) {
    root->register_storage(storage);
    root->add(LK_INFO, "first writer");
    const QByteArray first = file();

    const std::shared_ptr<TLogRoot> other = TLogRoot::Create();
    auto now = std::chrono::steady_clock::time_point();
    const auto second = std::make_shared<TLogStorage>();
    second->set_fq_filename(path("log.txt"));
    second->set_flush_on(Tlog_kinds::all());
    second->set_retry_clock([&] { return now; });
    other->register_storage(second);
    other->add(LK_INFO, "second writer");
    EXPECT_FALSE(second->write_event(nullptr));
    EXPECT_EQ(file(), first);

    root->stop(); // closes the file
    now += std::chrono::seconds(1);
    EXPECT_TRUE(second->write_event(nullptr));
    EXPECT_TRUE(file().contains("second writer"));
    EXPECT_FALSE(file().contains("first writer"));
    other->clear_all();
}

TEST_F(Storage, SettingsAreCopiedAndPresetAsTheOperationsSay) {
    const auto source = std::make_shared<TLogStorage>();
    source->set_file_name("copied");
    source->set_most_recent_first(false);
    source->set_flush_interval(2.5);
    source->set_discard({LK_HINT});
    source->set_flush_on({LK_ERROR});
    source->set_use_locale(true);
    source->set_crash_log(true);
    source->set_decoration_padding(7);
    source->set_decoration_pattern("-=");
    source->set_group_indent(3);
    source->set_event_header("{type}");
    source->set_enabled(false);
    source->set_fq_filename(path("not copied"));
    storage->assign_settings(source);
    EXPECT_EQ(storage->file_name(), "copied");
    EXPECT_FALSE(storage->most_recent_first());
    EXPECT_EQ(storage->flush_interval(), 2.5);
    EXPECT_EQ(storage->discard(), Tlog_kinds{LK_HINT});
    EXPECT_EQ(storage->flush_on(), Tlog_kinds{LK_ERROR});
    EXPECT_TRUE(storage->use_locale());
    EXPECT_TRUE(storage->crash_log());
    EXPECT_EQ(storage->decoration_padding(), 7);
    EXPECT_EQ(storage->decoration_pattern(), "-=");
    EXPECT_EQ(storage->group_indent(), 3);
    EXPECT_EQ(storage->event_header(), "{type}");
    EXPECT_FALSE(storage->enabled());
    EXPECT_EQ(storage->fq_filename(), path("log.txt"));

    storage->preset_crashlog("crash");
    EXPECT_EQ(storage->file_name(), "crash");
    EXPECT_TRUE(storage->most_recent_first());
    EXPECT_EQ(storage->flush_interval(), 0);
    EXPECT_EQ(storage->discard(), Tlog_kinds{});
    EXPECT_EQ(storage->flush_on(), Tlog_kinds::all());
    EXPECT_FALSE(storage->use_locale());
    EXPECT_TRUE(storage->crash_log());
    EXPECT_EQ(storage->decoration_pattern(), "-="); // the rest stays
}

TEST_F(Storage, ACrashLogIsListedWhileOpenAndUnlistedWhenItsGroupStops) {
    std::vector<std::pair<ILogStoragePtr, bool>> calls;
    TLogDiagnosticsHooks hooks;
    hooks.sync = [&](TLogRoot&, const ILogStoragePtr& src, bool adding) {
        calls.emplace_back(src, adding);
        return true;
    };
    set_log_diagnostics_hooks(std::move(hooks));
    storage->preset_crashlog("crash");
    root->register_storage(storage);

    root->add(LK_INFO, "one");
    root->add(LK_INFO, "two");
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0], std::make_pair(ILogStoragePtr(storage), true));

    root->stop();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[1], std::make_pair(ILogStoragePtr(storage), false));
    EXPECT_FALSE(held_open(path("log.txt")));
    EXPECT_FALSE(storage->write_event(nullptr)); // a stopped crash log is not written
}

// A crash log whose storage goes away while listed (here: taken off its group before the stop)
// leaves neither its line nor its file once the crash list lets go of it.
TEST_F(Storage, ACrashLogDestroyedWhileListedUnlistsItself) {
    install_log_diagnostics();
    root->set_location(KF_ABSOLUTE);
    root->set_path(path("logs"));
    auto crash = std::make_shared<TLogStorage>();
    crash->preset_crashlog("crash");
    root->register_storage(crash);
    root->add(LK_INFO, "listed");
    const QString log_file = crash->fq_filename();
    ASSERT_TRUE(QFileInfo::exists(log_file));
    ASSERT_TRUE(file_bytes(root->fq_filename()).contains(log_file.toUtf8()));

    root->clear_storages();
    crash.reset(); // still held by the crash list
    release_log_tree(*root);
    EXPECT_FALSE(QFileInfo::exists(log_file));
    EXPECT_FALSE(QFileInfo::exists(root->fq_filename()));
}

// Random changes to a tree with a storage: after each, the file is what formatting every
// selected event afresh gives.
struct layout_case {
    const char* what;
    bool most_recent_first;
    const char* event_header;
    std::int32_t group_indent;
};

void PrintTo(const layout_case& param, std::ostream* out) {
    *out << param.what;
}

class StorageImage : public Storage, public ::testing::WithParamInterface<layout_case> {};

TEST_P(StorageImage, EveryWriteEqualsTheFileFormattedAfresh) {
    const layout_case& param = GetParam();
    storage->set_most_recent_first(param.most_recent_first);
    storage->set_event_header(param.event_header);
    storage->set_group_indent(param.group_indent);
    root->set_discard({});
    root->register_storage(storage);

    std::mt19937 random(20240131);
    const auto pick = [&](auto size) {
        return static_cast<decltype(size)>(random() % static_cast<unsigned>(size));
    };
    std::vector<ILogGroupPtr> groups{root};
    std::vector<ILogEventPtr> events;
    TDateTime when = noon;
    const Tlog_kind kinds[]{LK_INFO, LK_ERROR, LK_DEBUG, LK_DECORATION, LK_WARNING};

    for (int step = 0; step < 400; ++step) {
        when += 0.25 * one_second;
        const ILogGroupPtr& group = groups[pick(groups.size())];
        switch (pick(8u)) {
        case 0: // its text is set after it was reported: seen at the next write
            groups.push_back(group_at(group, QStringLiteral("group %1").arg(step), when));
            storage->write_event(nullptr);
            break;
        case 1: // more text for an entry written earlier
            if (!events.empty())
                events[pick(events.size())]->add(QStringLiteral("line %1").arg(step));
            break;
        case 2: // the same again: folds into the group's last entry
            if (const ILogEventPtr last = group->last_event();
                last && !dynamic_cast<ILogGroup*>(last.get())) {
                add_at(group, last->log_type(), last->text(), when);
                if (last->log_type() == LK_DEBUG)
                    storage->write_event(nullptr);
            }
            break;
        case 3: // a group's text changed without a report
            if (groups.size() > 1) {
                groups[1 + pick(groups.size() - 1)]->set_text(
                    QStringLiteral("renamed %1").arg(step));
                storage->write_event(nullptr);
            }
            break;
        case 4:
            if (step % 50 == 0) {
                root->set_long_time_format(step % 100 == 0 ? R"(hh":"nn)"
                                                           : R"(hh":"nn":"ss"."zzz)");
                storage->write_event(nullptr);
            }
            break;
        default: {
            const Tlog_kind kind = kinds[pick(std::size(kinds))];
            events.push_back(add_at(
                group, kind,
                QStringLiteral("event %1%2").arg(step).arg(step % 7 == 0 ? "\r\nmore" : ""), when));
            if (kind == LK_DEBUG) // not written, and no write, yet it counts in its group
                storage->write_event(nullptr);
            break;
        }
        }
        ASSERT_EQ(file(), expected()) << "after step " << step;
    }
}

INSTANTIATE_TEST_SUITE_P(Layouts, StorageImage,
                         ::testing::Values(layout_case{"newest first", true, "{time}  {type}", 4},
                                           layout_case{"oldest first", false, "{time}  {type}", 4},
                                           layout_case{"group counts and last changes", true,
                                                       "{child_count} {last_time} {type}", 2},
                                           layout_case{"parent names", false,
                                                       "{group_prefix}{group} {type}", 0}));

} // namespace
} // namespace zel
