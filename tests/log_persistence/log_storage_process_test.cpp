#include "log/core/log_lists.h"
#include "log/persistence/log_storage.h"
#include "tests/log_persistence/persistence_fixture.h"

#include <QDir>
#include <QProcess>
#include <QSet>

#include <csignal>
#include <memory>
#include <sys/resource.h>
#include <vector>

namespace zel {
namespace {

using namespace testing;

void start_child(QProcess& process, const QStringList& arguments) {
    process.setProgram(QStringLiteral(STORAGE_CHILD));
    process.setArguments(arguments);
    process.start();
}

// Waits at most a minute; the exit code, or -1 when the program did not end normally.
int finish(QProcess& process) {
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit)
        return -1;
    return process.exitCode();
}

// What the loader makes of a log file: its load type and the texts of its entries (the
// "Header info" group left out).
struct loaded_log {
    ELogLoadType type = lltError;
    QStringList texts;
    bool stopped = false;
};

class StorageProcesses : public PersistenceTest {
protected:
    loaded_log load(const QString& file) {
        loaded_log result;
        root->set_OnLogFileLoaded(
            [&](const void*, const ILogGroupPtr&, ELogLoadType type) { result.type = type; });
        ILogGroupPtr reader;
        root->add_seeded_group(reader, GK_READER);
        reader->LoadFromFile(file);
        const auto list = std::make_shared<TLogEventList>();
        reader->select(list, {}, nullptr);
        for (std::int32_t i = 0; i < list->Count(); ++i) {
            const ILogEventPtr event = list->GetItems(i);
            if (event->log_type() == LK_GROUP && event->text() == "Header info")
                break; // it comes last
            result.texts << event->text();
        }
        return result;
    }
};

TEST_F(StorageProcesses, FourProcessesNamingLogsAtOnceEachWriteTheirOwn) {
    constexpr int processes = 4;
    constexpr int logs_each = 25;
    std::vector<std::unique_ptr<QProcess>> children;
    std::vector<qint64> ids;
    for (int i = 0; i < processes; ++i) {
        children.push_back(std::make_unique<QProcess>());
        start_child(*children.back(), {"logs", path("logs"), QString::number(logs_each)});
        ids.push_back(children.back()->processId());
    }
    QSet<QString> names;
    for (std::size_t c = 0; c < children.size(); ++c) {
        QProcess* child = children[c].get();
        ASSERT_EQ(finish(*child), 0) << child->readAllStandardError().toStdString();
        const QStringList printed =
            QString::fromUtf8(child->readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
        ASSERT_EQ(printed.size(), logs_each);
        for (int i = 0; i < logs_each; ++i) {
            const QString& name = printed[i];
            names.insert(name);
            SCOPED_TRACE(name.toStdString());
            EXPECT_TRUE(file_bytes(name).startsWith(":std_log='" + name.toUtf8() + "'\r\n"));
            const loaded_log log = load(name);
            EXPECT_EQ(log.type, lltNew);
            EXPECT_EQ(log.texts,
                      QStringList{QStringLiteral("process %1 storage %2").arg(ids[c]).arg(i)});
        }
    }
    EXPECT_EQ(names.size(), processes * logs_each);
    EXPECT_EQ(QDir(path("logs")).entryList(QDir::Files).size(), processes * logs_each);
}

TEST_F(StorageProcesses, AFileHeldByAnotherProcessIsNotWrittenUntilItLetsGo) {
    const QString name = path("held.log");
    QProcess holder;
    start_child(holder, {"hold", name});
    ASSERT_TRUE(holder.waitForReadyRead(60000));
    ASSERT_EQ(holder.readLine(), "ready\n");
    const QByteArray held = file_bytes(name);
    EXPECT_TRUE(held.contains("held by process")); // others may read it meanwhile

    auto now = std::chrono::steady_clock::time_point();
    const auto storage = std::make_shared<TLogStorage>();
    storage->set_fq_filename(name);
    storage->set_retry_clock([&] { return now; });
    root->register_storage(storage);
    root->add(LK_INFO, "this process");
    EXPECT_FALSE(storage->write_event(nullptr));
    EXPECT_EQ(file_bytes(name).left(held.size()), held); // the holder's own writes only

    holder.write("\n");
    ASSERT_EQ(finish(holder), 0);
    now += std::chrono::seconds(1);
    EXPECT_TRUE(storage->write_event(nullptr));
    EXPECT_TRUE(file_bytes(name).contains("this process"));
    EXPECT_FALSE(file_bytes(name).contains("held by process"));
}

// A full disk, played by a file size limit: what is left reads back as whole entries, the
// failure is logged once, and the first write that fits puts everything back.
TEST_F(StorageProcesses, AWriteCutShortLeavesWholeEntriesAndTheNextWriteRestoresAll) {
    const QString name = path("full.log");
    constexpr int limit = 2048;
    QProcess child;
    start_child(child, {"fill", name, QString::number(limit)});
    ASSERT_EQ(finish(child), 0) << child.readAllStandardError().toStdString();
    const QString report = "Log file \"" + name +
                           "\" is cut short: it keeps its entries up to the last one that fitted";

    const QByteArray cut = file_bytes(name + ".cut");
    EXPECT_LE(cut.size(), limit);
    EXPECT_TRUE(cut.endsWith("\r\n"));
    const loaded_log cut_log = load(name + ".cut");
    EXPECT_EQ(cut_log.type, lltNew);
    ASSERT_FALSE(cut_log.texts.isEmpty());
    // Written newest first, so the cut took the oldest: the newest events remain, each whole
    // (the loader puts them back in the order they happened), then perhaps the report.
    int expected_event = 40;
    for (auto text = cut_log.texts.crbegin(); text != cut_log.texts.crend(); ++text) {
        if (*text != report) {
            EXPECT_EQ(*text, QStringLiteral("event %1 of the fill").arg(expected_event--));
        }
    }
    EXPECT_LT(expected_event, 40);
    EXPECT_LE(cut_log.texts.count(report), 1);

    const loaded_log whole = load(name);
    EXPECT_EQ(whole.type, lltNew);
    ASSERT_GE(whole.texts.size(), 42);
    EXPECT_EQ(whole.texts.count(report), 1); // logged once, not per failed write
    EXPECT_EQ(whole.texts.last(), "after the limit");
    for (int i = 1; i <= 40; ++i)
        EXPECT_TRUE(whole.texts.contains(QStringLiteral("event %1 of the fill").arg(i))) << i;
    EXPECT_TRUE(file_bytes(name).contains(":status=stopped\r\n"));
}

TEST_F(StorageProcesses, ZelrepFailsWhenItsReportDoesNotFitAndLeavesItReadable) {
    const QString report = path("report.zelrep");
    constexpr int limit = 2048;
    QProcess zelrep;
    zelrep.setChildProcessModifier([] {
        std::signal(SIGXFSZ, SIG_IGN); // as on a full disk: the write fails, the program lives
        rlimit small{};
        ::getrlimit(RLIMIT_FSIZE, &small);
        small.rlim_cur = limit;
        ::setrlimit(RLIMIT_FSIZE, &small);
    });
    zelrep.start(QStringLiteral(ZELREP_PROGRAM),
                 {"-raw_report", "/report_path=" + report, "/comment=a full disk"});
    EXPECT_EQ(finish(zelrep), 1);
    EXPECT_TRUE(zelrep.readAllStandardError().startsWith("zelrep: cannot write the report"));
    const QByteArray bytes = file_bytes(report);
    EXPECT_LE(bytes.size(), limit);
    EXPECT_TRUE(bytes.endsWith("\r\n"));
    const loaded_log log = load(report);
    EXPECT_EQ(log.type, lltNew);
    EXPECT_FALSE(log.texts.isEmpty());
}

} // namespace
} // namespace zel
