#include "ftp/ftp_client_async.h"
#include "log/core/log_procedures.h"
#include "log/core/log_root.h"
#include "tests/support/pattern_bytes.h"
#include "tests/support/py_ftp_server.h"
#include "tests/support/scripted_ftp_server.h"
#include "tests/support/wait_until.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <ostream>
#include <utility>
#include <vector>

namespace zel {
namespace {

using test::pattern_bytes;
using test::PyFtpServer;
using test::ScriptedFtpServer;
using test::wait_until;

struct Line {
    Tlog_kind kind;
    QString text;
    bool operator==(const Line&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Line& line) {
    return out << log_kind_name(line.kind).toStdString() << ": " << line.text.toStdString();
}

std::vector<Line> lines_of(const ILogGroupPtr& group) {
    std::vector<Line> lines;
    for (std::int32_t i = 0; group && i < group->event_count(); ++i) {
        const ILogEventPtr entry = group->getevent(i);
        if (entry && entry->log_type() != LK_GROUP && entry->log_type() != LK_DECORATION)
            lines.push_back({entry->log_type(), entry->text()});
    }
    return lines;
}

bool holds(const ILogGroupPtr& group, const Line& line) {
    const auto lines = lines_of(group);
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

bool holds_prefix(const ILogGroupPtr& group, Tlog_kind kind, const QString& prefix) {
    for (const Line& line : lines_of(group))
        if (line.kind == kind && line.text.startsWith(prefix))
            return true;
    return false;
}

ILogGroupPtr ftp_group_of(const TFptClientAsync& client) {
    const ILogGroupPtr group = client.LogGroup();
    for (std::int32_t i = 0; i < group->event_count(); ++i)
        if (auto child = std::dynamic_pointer_cast<ILogGroup>(group->getevent(i));
            child && child->text() == QLatin1String("ftp"))
            return child;
    return nullptr;
}

// The process holds `path` open: a link in /proc/self/fd leads to it.
bool held_open(const QString& path) {
    const QString target = QFileInfo(path).canonicalFilePath();
    const QDir descriptors(QStringLiteral("/proc/self/fd"));
    for (const QFileInfo& entry :
         descriptors.entryInfoList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot))
        if (entry.symLinkTarget() == target)
            return true;
    return false;
}

QByteArray read_file(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A log root made the process's default root, a working folder made the current one (the
// client's local copy lands there), and one client wired to count its callbacks.
class ClientFixture : public ::testing::Test {
protected:
    void SetUp() override {
        previous_folder = QDir::currentPath();
        ASSERT_TRUE(QDir::setCurrent(work.path()));
        root = TLogRoot::Create();
        root->set_discard({}); // keep LK_DEBUG lines: the chain writes some
        default_log_root = root;
    }

    void TearDown() override {
        client.reset();
        default_log_root = nullptr;
        root->clear_all();
        QDir::setCurrent(previous_folder);
    }

    TFptClientAsync& make_client(quint16 port,
                                 const QString& item = QStringLiteral("FTP_main_file")) {
        client = std::make_unique<TFptClientAsync>(root, item);
        EXPECT_TRUE(client->SetServerSettings(QStringLiteral("127.0.0.1"), QString::number(port),
                                              QString::fromLatin1(PyFtpServer::user),
                                              QString::fromLatin1(PyFtpServer::password)));
        client->OnFinish = [this](TFptClientAsync& sender) {
            EXPECT_EQ(&sender, client.get());
            ++finishes;
        };
        client->OnProgress = [this](TFptClientAsync& sender) {
            progress.push_back(sender.Progress());
        };
        return *client;
    }

    QString local_file(const QByteArray& bytes,
                       const QString& name = QStringLiteral("user file.bin")) {
        const QString path = QDir(source.path()).filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }

    bool wait_for_finish(int count = 1) {
        return wait_until([&] { return finishes >= count; });
    }

    QString local_copy() const { return client->LocalFilePath(); }

    QTemporaryDir work;
    QTemporaryDir source;
    QString previous_folder;
    std::shared_ptr<ILogRoot> root;
    std::unique_ptr<TFptClientAsync> client;
    int finishes = 0;
    std::vector<double> progress;
};

// ---- against a real server ------------------------------------------------------------------

class RealServer : public ClientFixture {
protected:
    static void SetUpTestSuite() { server = std::make_unique<PyFtpServer>(); }
    static void TearDownTestSuite() { server.reset(); }

    void SetUp() override {
        ClientFixture::SetUp();
        ASSERT_TRUE(server->is_running()) << server->error().toStdString();
        make_client(server->port());
    }

    QString remote(const QString& path) const { return server->root() + QLatin1Char('/') + path; }
    QStringList remote_folder(const QString& folder) const {
        return QDir(remote(folder)).entryList(QDir::Files | QDir::NoDotAndDotDot);
    }

    static std::unique_ptr<PyFtpServer> server;
};

std::unique_ptr<PyFtpServer> RealServer::server;

TEST_F(RealServer, UploadIntoANewFolderGivesExactlyTheFileUnderItsFinalName) {
    const QByteArray bytes = pattern_bytes(700 * 1000);
    const QString folder = QStringLiteral("new.user@example.com");
    ASSERT_TRUE(client->PutFile(local_file(bytes), QStringLiteral("report.bin"), {}, folder));
    ASSERT_TRUE(wait_for_finish());
    EXPECT_TRUE(client->Finished());
    EXPECT_TRUE(client->Completed());
    EXPECT_EQ(remote_folder(folder), QStringList{QStringLiteral("report.bin")});
    EXPECT_EQ(read_file(remote(folder + QStringLiteral("/report.bin"))), bytes);
    EXPECT_FALSE(QFile::exists(local_copy()));
    EXPECT_NE(QFileInfo(local_copy()).absolutePath(), work.path()); // not the current folder
    ASSERT_FALSE(progress.empty());
    EXPECT_DOUBLE_EQ(progress.back(), 100.0);

    const ILogGroupPtr group = client->LogGroup();
    EXPECT_EQ(group->text(), QStringLiteral("FTP_main_file"));
    for (const Line& line :
         {Line{LK_INFO, QStringLiteral("FTP parameters: 127.0.0.1, zelsupport, /")},
          Line{LK_INFO, QStringLiteral("starting to send file: report.bin")},
          Line{LK_IMPORTANT, QStringLiteral("file size on the server OK")},
          Line{LK_INFO, QStringLiteral("file renamed on server: report.bin.tmp -> report.bin")}})
        EXPECT_TRUE(holds(group, line)) << line;

    const ILogGroupPtr ftp = ftp_group_of(*client);
    ASSERT_TRUE(ftp);
    for (const Line& line : {Line{LK_INFO, QStringLiteral("> USER zelsupport")},
                             Line{LK_INFO, QStringLiteral("> PASS ****")},
                             Line{LK_INFO, QStringLiteral("> MKD new.user@example.com")},
                             Line{LK_INFO, QStringLiteral("> CWD new.user@example.com")},
                             Line{LK_INFO, QStringLiteral("> TYPE I")},
                             Line{LK_INFO, QStringLiteral("> STOR report.bin.tmp")},
                             Line{LK_INFO, QStringLiteral("> SIZE report.bin.tmp")},
                             Line{LK_INFO, QStringLiteral("> RNTO report.bin")},
                             Line{LK_INFO, QStringLiteral("> QUIT")}})
        EXPECT_TRUE(holds(ftp, line)) << line;
    EXPECT_TRUE(holds_prefix(ftp, LK_INFO, QStringLiteral("< 230")));
    EXPECT_TRUE(holds_prefix(ftp, LK_INFO, QStringLiteral("< 226")));
    for (const Line& line : lines_of(ftp))
        EXPECT_FALSE(line.text.contains(QString::fromLatin1(PyFtpServer::password)));
}

TEST_F(RealServer, UploadIntoTheRootAndAnEmptyFile) {
    for (const QByteArray& bytes : {pattern_bytes(5000), QByteArray()}) {
        SCOPED_TRACE(bytes.size());
        const int before = finishes;
        progress.clear();
        ASSERT_TRUE(client->PutFile(local_file(bytes), QStringLiteral("2024-01-02_a@b.SENDING"), {},
                                    QStringLiteral("/")));
        ASSERT_TRUE(wait_for_finish(before + 1));
        EXPECT_TRUE(client->Completed());
        EXPECT_EQ(read_file(remote(QStringLiteral("2024-01-02_a@b.SENDING"))), bytes);
        EXPECT_FALSE(QFile::exists(remote(QStringLiteral("2024-01-02_a@b.SENDING.tmp"))));
        EXPECT_EQ(progress.empty(), bytes.isEmpty()); // no progress for an empty file
    }
    EXPECT_FALSE(holds_prefix(ftp_group_of(*client), LK_INFO, QStringLiteral("> MKD")));
}

TEST_F(RealServer, SecondUploadIntoAnExistingFolderGoesOnAfterMkdFails) {
    const QString folder = QStringLiteral("again@example.com");
    ASSERT_TRUE(client->PutFile(local_file("one"), QStringLiteral("a.txt"), {}, folder));
    ASSERT_TRUE(wait_for_finish(1));
    ASSERT_TRUE(client->PutFile(local_file("two"), QStringLiteral("b.txt"), {}, folder));
    ASSERT_TRUE(wait_for_finish(2));
    EXPECT_TRUE(client->Completed());
    EXPECT_EQ(remote_folder(folder),
              (QStringList{QStringLiteral("a.txt"), QStringLiteral("b.txt")}));
    EXPECT_TRUE(holds(ftp_group_of(*client), {LK_WARNING, QStringLiteral("FTP error code: 550")}));
}

TEST_F(RealServer, BackupNameKeepsThePreviousRemoteFile) {
    const QString folder = QStringLiteral("backup@example.com");
    ASSERT_TRUE(client->PutFile(local_file("old"), QStringLiteral("f.txt"), {}, folder));
    ASSERT_TRUE(wait_for_finish(1));
    ASSERT_TRUE(client->PutFile(local_file("new"), QStringLiteral("f.txt"), QStringLiteral("f.bak"),
                                folder));
    ASSERT_TRUE(wait_for_finish(2));
    EXPECT_EQ(read_file(remote(folder + QStringLiteral("/f.txt"))), "new");
    EXPECT_EQ(read_file(remote(folder + QStringLiteral("/f.bak"))), "old");
}

TEST_F(RealServer, SecondPutFileWhileOneRunsAbortsTheFirstWithoutOnFinish) {
    const QString big = local_file(pattern_bytes(64 * 1024 * 1024), QStringLiteral("big.bin"));
    ASSERT_TRUE(client->PutFile(big, QStringLiteral("big.bin"), {}, QStringLiteral("/")));
    ASSERT_TRUE(wait_until([&] { return !progress.empty(); }));
    ASSERT_TRUE(
        client->PutFile(local_file("small"), QStringLiteral("small.txt"), {}, QStringLiteral("/")));
    ASSERT_TRUE(wait_for_finish());
    EXPECT_TRUE(client->Completed());
    EXPECT_EQ(read_file(remote(QStringLiteral("small.txt"))), "small");
    EXPECT_FALSE(QFile::exists(remote(QStringLiteral("big.bin"))));
    EXPECT_TRUE(
        holds(root, {LK_WARNING,
                     QStringLiteral("FTP client connected, will be aborted for the new session")}));
    EXPECT_EQ(finishes, 1);
}

TEST_F(RealServer, CancelStopsTheUploadAndDeletesTheTemporaryRemoteFile) {
    EXPECT_FALSE(client->Cancel()); // nothing runs
    const QString folder = QStringLiteral("cancel@example.com");
    const QString big = local_file(pattern_bytes(64 * 1024 * 1024), QStringLiteral("big.bin"));
    ASSERT_TRUE(client->PutFile(big, QStringLiteral("big.bin"), {}, folder));
    ASSERT_TRUE(wait_until([&] { return !progress.empty(); }));
    EXPECT_TRUE(client->Cancel());
    EXPECT_TRUE(remote_folder(folder).isEmpty());
    const ILogGroupPtr group = client->LogGroup();
    EXPECT_TRUE(holds(group, {LK_WARNING, QStringLiteral("cancel requested by user...")}));
    EXPECT_TRUE(holds(group, {LK_INFO, QStringLiteral("aborted")}));
    EXPECT_FALSE(wait_until([&] { return finishes > 0; }, 200));
    EXPECT_FALSE(client->Finished());
}

TEST_F(RealServer, FtpDeleteRemovesAFileOverItsOwnConnection) {
    const QString folder = QStringLiteral("delete@example.com");
    ASSERT_TRUE(client->PutFile(local_file("x"), QStringLiteral("gone.txt"), {}, folder));
    ASSERT_TRUE(wait_for_finish());
    ASSERT_TRUE(QFile::exists(remote(folder + QStringLiteral("/gone.txt"))));
    EXPECT_TRUE(client->FtpDelete(QStringLiteral("gone.txt")));
    EXPECT_FALSE(QFile::exists(remote(folder + QStringLiteral("/gone.txt"))));
    EXPECT_FALSE(client->FtpDelete(QStringLiteral("gone.txt")));
    EXPECT_TRUE(holds(client->LogGroup(), {LK_DEBUG, QStringLiteral("Unexpected RqType: 29")}));
}

TEST_F(RealServer, RefusalsAtPutFileStartNothing) {
    TFptClientAsync unset(root, QStringLiteral("FTP_unset"));
    EXPECT_FALSE(unset.PutFile(local_file("x"), QStringLiteral("x"), {}, {}));
    EXPECT_TRUE(
        holds(unset.LogGroup(), {LK_ERROR, QStringLiteral("server settings have not been added")}));
    EXPECT_FALSE(unset.SetServerSettings(QStringLiteral("h"), {}, QStringLiteral("u"), {}));
    EXPECT_TRUE(holds(unset.LogGroup(),
                      {LK_ERROR, QStringLiteral("unable to set FTP server parameters: at least one "
                                                "parameter is missing")}));

    const QString missing = QDir(source.path()).filePath(QStringLiteral("missing"));
    EXPECT_FALSE(client->PutFile(missing, QStringLiteral("x"), {}, {}));
    EXPECT_FALSE(client->PutFile(local_file("x"), {}, {}, {}));
    EXPECT_FALSE(client->PutFile(source.path(), QStringLiteral("x"), {}, {}));
    const ILogGroupPtr group = client->LogGroup();
    EXPECT_TRUE(holds(group, {LK_ERROR, QStringLiteral("file path is not existing: ") + missing}));
    EXPECT_TRUE(holds(group, {LK_ERROR, QStringLiteral("host file name is empty")}));
    EXPECT_FALSE(wait_until([&] { return finishes > 0; }, 200));
}

// ---- senders in processes of their own ------------------------------------------------------

// Runs the upload helper in `folder`, its private folders under a cache folder of the test's.
class HelperProcess {
public:
    HelperProcess(const QString& folder, const QString& cache, const QStringList& arguments,
                  const QString& shell_prefix = {}) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_CACHE_HOME"), cache);
        process.setProcessEnvironment(environment);
        process.setWorkingDirectory(folder);
        process.setProcessChannelMode(QProcess::MergedChannels);
        QStringList command{QStringLiteral(ZEL_UPLOAD_HELPER)};
        command << arguments;
        if (shell_prefix.isEmpty()) {
            process.start(command.takeFirst(), command);
        } else {
            for (QString& word : command)
                word = QLatin1Char('\'') + word + QLatin1Char('\'');
            process.start(QStringLiteral("/bin/bash"),
                          {QStringLiteral("-c"),
                           shell_prefix + QStringLiteral("; exec ") + command.join(' ')});
        }
    }

    // The helper's output once it has ended (empty when it did not within the limit).
    QString output() {
        if (!process.waitForFinished(90000))
            return {};
        return QString::fromUtf8(process.readAll());
    }

    QProcess process;
};

class Processes : public RealServer {
protected:
    QStringList arguments(const QString& local, const QString& remote_name) const {
        return {QString::number(server->port()), local, remote_name};
    }
    // Nothing is left in the senders' cache folder: copies and private folders are gone.
    void expect_cache_clean() const {
        const QDir zel(QDir(cache.path()).filePath(QStringLiteral("zel")));
        EXPECT_TRUE(zel.entryList(QDir::AllEntries | QDir::NoDotAndDotDot).isEmpty())
            << zel.entryList(QDir::AllEntries | QDir::NoDotAndDotDot).join(' ').toStdString();
    }

    QTemporaryDir cache;
};

TEST_F(Processes, TwoSendersOfTheSameItemStartedInOneFolderUploadAtOnce) {
    const QByteArray first = pattern_bytes(24 * 1024 * 1024);
    const QByteArray second = pattern_bytes(24 * 1024 * 1024 + 333).mid(333);
    HelperProcess a(work.path(), cache.path(),
                    arguments(local_file(first, QStringLiteral("a.bin")), QStringLiteral("a.bin")));
    HelperProcess b(
        work.path(), cache.path(),
        arguments(local_file(second, QStringLiteral("b.bin")), QStringLiteral("b.bin")));
    for (HelperProcess* helper : {&a, &b}) {
        const QString output = helper->output();
        EXPECT_TRUE(output.contains(QStringLiteral("finished=1 completed=1")))
            << output.toStdString();
    }
    EXPECT_EQ(read_file(remote(QStringLiteral("a.bin"))), first);
    EXPECT_EQ(read_file(remote(QStringLiteral("b.bin"))), second);
    EXPECT_TRUE(QDir(work.path()).entryList(QDir::Files).isEmpty()); // nothing in their folder
    expect_cache_clean();
}

TEST_F(Processes, ASenderStartedInAReadOnlyFolderUploads) {
    QTemporaryDir locked;
    ASSERT_TRUE(QFile::setPermissions(locked.path(), QFile::ReadOwner | QFile::ExeOwner));
    // Permissions do not bind a privileged user; /proc is read-only for everyone.
    QString folder = locked.path();
    if (QFile probe(QDir(folder).filePath(QStringLiteral("probe")));
        probe.open(QIODevice::WriteOnly)) {
        probe.remove();
        folder = QStringLiteral("/proc");
    }
    const QByteArray bytes = pattern_bytes(3 * 1024 * 1024);
    HelperProcess helper(folder, cache.path(),
                         arguments(local_file(bytes), QStringLiteral("read-only.bin")));
    const QString output = helper.output();
    EXPECT_TRUE(output.contains(QStringLiteral("finished=1 completed=1"))) << output.toStdString();
    EXPECT_EQ(read_file(remote(QStringLiteral("read-only.bin"))), bytes);
    QFile::setPermissions(locked.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    expect_cache_clean();
}

// The copy stops at a file-size limit of 4 MiB (SIGXFSZ ignored, so the write fails with EFBIG).
TEST_F(Processes, ACopyFailingHalfWayEndsTheUploadWithoutTheFileUnderItsName) {
    const QString name = QStringLiteral("half.bin");
    HelperProcess helper(work.path(), cache.path(),
                         arguments(local_file(pattern_bytes(16 * 1024 * 1024)), name),
                         QStringLiteral("trap '' XFSZ; ulimit -f 4096"));
    const QString output = helper.output();
    EXPECT_TRUE(output.contains(QStringLiteral("finished=1 completed=0"))) << output.toStdString();
    EXPECT_TRUE(output.contains(QStringLiteral("Error: unable to copy original file")));
    EXPECT_TRUE(output.contains(QStringLiteral("File too large")));
    EXPECT_FALSE(output.contains(QStringLiteral("file size on the server OK")));
    EXPECT_FALSE(QFile::exists(remote(name)));
    EXPECT_FALSE(QFile::exists(remote(name + QStringLiteral(".tmp"))));
    expect_cache_clean();
}

// ---- against the scripted server ------------------------------------------------------------

struct Scenario {
    const char* name;
    std::function<void(ScriptedFtpServer&)> script;
    qsizetype file_size = 1000;
    QString folder = QStringLiteral("/");
    QString host_name = QStringLiteral("f.bin");
    bool finishes = true;
    bool completed = false;
    bool local_copy_kept = false;
    std::vector<Line> client_lines = {};
    std::vector<Line> ftp_lines = {};
    QStringList remote_files = {}; // what the server holds at the end
};

void PrintTo(const Scenario& scenario, std::ostream* out) {
    *out << scenario.name;
}

class Scripted : public ClientFixture, public ::testing::WithParamInterface<Scenario> {
protected:
    ScriptedFtpServer server;
};

TEST_P(Scripted, ScenarioEndsAsExpected) {
    const Scenario& s = GetParam();
    s.script(server);
    make_client(server.port()).SetTimeout(1);
    ASSERT_TRUE(client->PutFile(local_file(pattern_bytes(s.file_size)), s.host_name, {}, s.folder));
    const Line& last = s.ftp_lines.empty() ? s.client_lines.back() : s.ftp_lines.back();
    const ILogGroupPtr& last_group =
        s.ftp_lines.empty() ? client->LogGroup() : ftp_group_of(*client);
    if (s.finishes)
        ASSERT_TRUE(wait_for_finish());
    else
        ASSERT_TRUE(wait_until([&] { return holds(last_group, last); })) << last;

    for (const Line& line : s.client_lines)
        EXPECT_TRUE(holds(client->LogGroup(), line)) << line;
    for (const Line& line : s.ftp_lines)
        EXPECT_TRUE(holds(ftp_group_of(*client), line)) << line;
    EXPECT_EQ(finishes, s.finishes ? 1 : 0);
    EXPECT_EQ(client->Finished(), s.finishes);
    EXPECT_EQ(client->Completed(), s.completed);
    EXPECT_EQ(QFile::exists(local_copy()), s.local_copy_kept);
    QStringList stored;
    for (const QByteArray& path : server.files.keys())
        stored << QString::fromUtf8(path);
    stored.sort();
    EXPECT_EQ(stored, s.remote_files);
    // A name that smuggled in a command would send it with the temporary suffix.
    for (const QByteArray& command : server.commands)
        EXPECT_FALSE(command.contains("precious")) << command.toStdString();
}

Line info_line(const char* text) {
    return {LK_INFO, QString::fromUtf8(text)};
}
Line warning_line(const char* text) {
    return {LK_WARNING, QString::fromUtf8(text)};
}
Line error_line(const char* text) {
    return {LK_ERROR, QString::fromUtf8(text)};
}
void plain(ScriptedFtpServer&) {}

std::function<void(ScriptedFtpServer&)> replying(QByteArray verb, QByteArray reply) {
    return [verb, reply](ScriptedFtpServer& s) { s.replies[verb] = reply; };
}

// The user's file is read only while it is copied: it is closed while the transfer still waits.
TEST_F(Scripted, TheUserFileIsClosedWhenItsCopyEndsBeforeTheTransferDoes) {
    server.replies["STOR"] = ""; // the transfer never starts
    make_client(server.port()).SetTimeout(5);
    const QString user_file = local_file(pattern_bytes(32 * 1024 * 1024));
    ASSERT_TRUE(client->PutFile(user_file, QStringLiteral("f.bin"), {}, QStringLiteral("/")));
    // Whether the copy still runs here depends on the machine (a clone ends at once).
    ASSERT_TRUE(wait_until([&] { return !held_open(user_file); }));
    EXPECT_TRUE(wait_until([&] { return server.commands.contains("STOR f.bin.tmp"); }));
    EXPECT_FALSE(holds_prefix(ftp_group_of(*client), LK_INFO, QStringLiteral("! Timeout")));
    EXPECT_FALSE(client->Finished());
    EXPECT_TRUE(held_open(local_copy()));
    EXPECT_TRUE(
        holds(client->LogGroup(), {LK_DEBUG, QStringLiteral("local copy done: ") + local_copy()}));
}

INSTANTIATE_TEST_SUITE_P(
    Client, Scripted,
    ::testing::Values(
        Scenario{.name = "Greeting421StopsTheChain",
                 .script = [](ScriptedFtpServer& s) { s.greeting = "421 too busy"; },
                 .finishes = false,
                 .local_copy_kept = true,
                 .ftp_lines = {warning_line("FTP error code: 500"),
                               error_line("FTP component not connected")}},
        Scenario{
            .name = "LoginRefused",
            .script =
                [](ScriptedFtpServer& s) {
                    for (const char* verb : {"USER", "PASS", "CWD", "TYPE", "PASV", "SIZE", "DELE"})
                        s.replies[verb] = "530 not logged in";
                },
            .client_lines = {warning_line("unable to get distant file size: 530 not logged in"),
                             error_line("unable to delete uploaded file: f.bin.tmp")},
            .ftp_lines = {warning_line("FTP error code: 530"), info_line("< 530 not logged in")}},
        Scenario{.name = "Mkd550GoesOn",
                 .script = replying("MKD", "550 exists"),
                 .folder = QStringLiteral("a@b.c"),
                 .completed = true,
                 .client_lines = {info_line("file renamed on server: f.bin.tmp -> f.bin")},
                 .ftp_lines = {warning_line("FTP error code: 550")},
                 .remote_files = {QStringLiteral("a@b.c/f.bin")}},
        Scenario{.name = "Stor553",
                 .script = replying("STOR", "553 not allowed"),
                 .client_lines = {warning_line("unable to get distant file size: 550 no such file"),
                                  error_line("unable to delete uploaded file: f.bin.tmp")},
                 .ftp_lines = {warning_line("FTP error code: 553")}},
        Scenario{
            .name = "NoDataConnection",
            .script = [](ScriptedFtpServer& s) { s.refuse_data = true; },
            .client_lines = {warning_line("unable to get distant file size: 550 no such file")},
            .ftp_lines = {warning_line("FTP error code: 550")}},
        Scenario{.name = "DataConnectionDroppedMidTransfer",
                 .script = [](ScriptedFtpServer& s) { s.drop_data_after = 64 * 1024; },
                 .file_size = 4 * 1024 * 1024,
                 .client_lines = {info_line("uploaded file deleted: f.bin.tmp")},
                 .ftp_lines = {warning_line("FTP error code: 426")}},
        Scenario{.name = "Size550",
                 .script = replying("SIZE", "550 gone"),
                 .client_lines = {warning_line("unable to get distant file size: 550 gone"),
                                  info_line("uploaded file deleted: f.bin.tmp")}},
        Scenario{
            .name = "SizeDiffers",
            .script = replying("SIZE", "213 12345"),
            .client_lines = {error_line("file size on the server not valid: 1000 (local) <> 12345 "
                                        "(server)"),
                             info_line("uploaded file deleted: f.bin.tmp")}},
        Scenario{.name = "SizeAbove4GiBComparedWithAll64Bits",
                 .script = replying("SIZE", "213 4294968296"),
                 .client_lines = {error_line("file size on the server not valid: 1000 (local) <> "
                                             "4294968296 (server)")}},
        Scenario{
            .name = "RntoRefusedLeavesTheTemporaryName",
            .script = replying("RNTO", "553 exists"),
            .completed = true,
            .client_lines = {error_line("unable to rename file on server: f.bin.tmp -> f.bin")},
            .remote_files = {QStringLiteral("f.bin.tmp")}},
        Scenario{.name = "SilentServerHitsTheDeadline",
                 .script = replying("SIZE", ""),
                 .client_lines = {warning_line("unable to get distant file size: 426 Timeout"),
                                  warning_line("FTP client is disconnected")},
                 .remote_files = {QStringLiteral("f.bin.tmp")}},
        Scenario{.name = "SilentAfterTheGreeting",
                 .script = replying("USER", ""),
                 .finishes = false,
                 .local_copy_kept = true,
                 .ftp_lines = {info_line("! Timeout: no answer within 1 s to USER zelsupport"),
                               warning_line("FTP error code: 426"),
                               error_line("FTP component not connected")}},
        Scenario{.name = "SilentAfterPasv",
                 .script = replying("PASV", ""),
                 .finishes = false,
                 .local_copy_kept = true,
                 .client_lines = {warning_line("FTP client is disconnected")},
                 .ftp_lines = {info_line("! Timeout: no answer within 1 s to PASV"),
                               warning_line("FTP error code: 426")}},
        Scenario{.name = "SilentDuringTheTransfer",
                 .script = [](ScriptedFtpServer& s) { s.data_stalls = true; },
                 .file_size = 64 * 1024 * 1024,
                 .finishes = false,
                 .local_copy_kept = true,
                 .client_lines = {warning_line("FTP client is disconnected")},
                 .ftp_lines = {info_line("! Timeout: no answer within 1 s to the data transfer of "
                                         "STOR f.bin.tmp"),
                               warning_line("FTP error code: 426")}},
        Scenario{.name = "ForeignPasvAddressIsNotFollowed",
                 .script = [](ScriptedFtpServer& s) { s.pasv_address = "192,0,2,1"; },
                 .completed = true,
                 .ftp_lines = {info_line("! PASV address 192.0.2.1 ignored, data connection to "
                                         "127.0.0.1")},
                 .remote_files = {QStringLiteral("f.bin")}},
        Scenario{.name = "NameWithCrLfIsRefusedBeforeAnyByte",
                 .script = plain,
                 .host_name = QStringLiteral("f.bin\r\nDELE precious"),
                 .finishes = false,
                 .local_copy_kept = true,
                 .ftp_lines = {error_line("Invalid character in command argument")}}),
    [](const auto& param_info) { return std::string(param_info.param.name); });

} // namespace
} // namespace zel
