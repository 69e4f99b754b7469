#include "ftp/ftp_client.h"
#include "tests/support/pattern_bytes.h"
#include "tests/support/py_ftp_server.h"
#include "tests/support/scripted_ftp_server.h"
#include "tests/support/wait_until.h"

#include <QFile>
#include <QTcpServer>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>
#include <functional>
#include <ostream>
#include <utility>
#include <vector>

namespace zel {
namespace {

using test::pattern_bytes;
using test::ScriptedFtpServer;
using test::wait_until;

// An engine wired to record its events, talking to a server on 127.0.0.1.
class Engine : public ::testing::Test {
protected:
    void SetUp() override { connect_to(server.port()); }

    void connect_to(quint16 port) {
        ftp.SetHostName(QStringLiteral("127.0.0.1"));
        ftp.SetPort(QString::number(port));
        ftp.SetUserName(QStringLiteral("zelsupport"));
        ftp.SetPassWord(QStringLiteral("pw-42"));
        ftp.SetPassive(true);
        ftp.OnRequestDone = [this](TFtpClient& sender, TFtpRequest type, std::uint16_t code) {
            EXPECT_EQ(sender.State(), ftpReady); // delivered once the engine is ready
            done.emplace_back(type, code);
        };
        ftp.OnDisplay = [this](TFtpClient&, QString& msg) { shown << msg; };
        ftp.OnError = [this](TFtpClient&, QString& msg) { refusals << msg; };
        ftp.OnProgress64 = [this](TFtpClient&, std::int64_t count, bool&) {
            progress.push_back(count);
        };
    }

    // Starts an asynchronous request and waits for its request-done; returns its error code.
    int run(void (TFtpClient::*request)()) {
        const auto before = done.size();
        (ftp.*request)();
        if (!wait_until([&] { return done.size() > before; }))
            return -1;
        return done.back().second;
    }

    void log_in() {
        ASSERT_EQ(run(&TFtpClient::OpenAsync), 0);
        ASSERT_EQ(run(&TFtpClient::UserAsync), 0);
        ASSERT_EQ(run(&TFtpClient::PassAsync), 0);
    }

    QString local_file(const QByteArray& bytes) {
        const QString path = folder.filePath(QStringLiteral("upload.bin"));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }

    int put(const QByteArray& bytes, const QString& name = QStringLiteral("f.bin")) {
        ftp.SetLocalFileName(local_file(bytes));
        ftp.SetHostFileName(name);
        return run(&TFtpClient::PutAsync);
    }

    ScriptedFtpServer server;
    TFtpClient ftp;
    QTemporaryDir folder;
    std::vector<std::pair<TFtpRequest, std::uint16_t>> done;
    std::vector<std::int64_t> progress;
    QStringList shown;
    QStringList refusals;
};

TEST_F(Engine, UploadExchangeSendsTheCommandsAndTheBytesAndHidesThePassword) {
    log_in();
    ftp.SetHostDirName(QStringLiteral("/"));
    ASSERT_EQ(run(&TFtpClient::CwdAsync), 0);
    ASSERT_EQ(run(&TFtpClient::TypeSetAsync), 0);
    const QByteArray bytes = pattern_bytes(300 * 1000);
    ASSERT_EQ(put(bytes), 0);

    EXPECT_EQ(server.files.value("f.bin"), bytes);
    EXPECT_EQ(server.commands, (QList<QByteArray>{"USER zelsupport", "PASS pw-42", "CWD /",
                                                  "TYPE I", "PASV", "STOR f.bin"}));
    const std::vector<TFtpRequest> types{ftpOpenAsync, ftpUserAsync,    ftpPassAsync,
                                         ftpCwdAsync,  ftpTypeSetAsync, ftpPutAsync};
    ASSERT_EQ(done.size(), types.size());
    for (std::size_t i = 0; i < types.size(); ++i)
        EXPECT_EQ(done[i].first, types[i]);

    EXPECT_TRUE(shown.contains(QStringLiteral("> PASS ****")));
    EXPECT_FALSE(shown.join('\n').contains(QStringLiteral("pw-42")));
    EXPECT_TRUE(shown.contains(QStringLiteral("< 226 transfer complete")));
    // Progress counts what was handed over before each block, ending with the whole file.
    ASSERT_GE(progress.size(), 2u);
    EXPECT_EQ(progress.front(), 0);
    EXPECT_EQ(progress.back(), bytes.size());
    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
    for (std::size_t i = 1; i < progress.size(); ++i)
        EXPECT_LE(progress[i] - progress[i - 1], 32768);
    EXPECT_TRUE(refusals.isEmpty());
}

// A slow reader makes the socket take blocks in parts: the rest of a block goes out before the
// next one is read, and each 32 KiB block is announced once.
TEST_F(Engine, BlocksTakenInPartsArriveWholeAndEachIsAnnouncedOnce) {
    log_in();
    server.data_read_limit = 7000;
    const QByteArray bytes = pattern_bytes(12 * 1024 * 1024 + 11); // more than the socket holds
    ASSERT_EQ(put(bytes), 0);
    EXPECT_EQ(server.files.value("f.bin"), bytes);
    std::vector<std::int64_t> announced;
    for (std::int64_t count = 0; count < bytes.size(); count += 32768)
        announced.push_back(count);
    announced.push_back(bytes.size());
    EXPECT_EQ(progress, announced);
}

TEST_F(Engine, EmptyFileIsStoredWithOnlyTheFirstProgressEvent) {
    log_in();
    ASSERT_EQ(put({}), 0);
    EXPECT_TRUE(server.files.contains("f.bin"));
    EXPECT_TRUE(server.files.value("f.bin").isEmpty());
    EXPECT_EQ(progress, std::vector<std::int64_t>{0});
}

TEST_F(Engine, RequestDoneHandlerCanStartTheNextRequest) {
    ftp.OnRequestDone = [this](TFtpClient& sender, TFtpRequest type, std::uint16_t code) {
        done.emplace_back(type, code);
        if (type == ftpOpenAsync)
            sender.UserAsync();
        else if (type == ftpUserAsync)
            sender.PassAsync();
        else if (type == ftpPassAsync)
            sender.QuitAsync();
    };
    ftp.OpenAsync();
    ASSERT_TRUE(wait_until([&] { return done.size() == 4; }));
    EXPECT_EQ(done.back(), std::make_pair(ftpQuitAsync, std::uint16_t{0}));
    EXPECT_FALSE(ftp.Connected());
    EXPECT_EQ(server.commands.back(), "QUIT");
}

struct Refusal {
    const char* name;
    bool logged_in;
    std::function<void(TFtpClient&)> prepare;
    void (TFtpClient::*request)();
    const char* text;
};

void PrintTo(const Refusal& refusal, std::ostream* out) {
    *out << refusal.name;
}

class Refusals : public Engine, public ::testing::WithParamInterface<Refusal> {};

TEST_P(Refusals, AreReportedThroughOnErrorWithoutRequestDoneOrAnyByteSent) {
    const Refusal& refusal = GetParam();
    if (refusal.logged_in)
        log_in();
    refusal.prepare(ftp);
    const auto commands = server.commands;
    const auto events = done.size();
    const auto state = ftp.State();
    (ftp.*refusal.request)();
    EXPECT_EQ(refusals, QStringList{QString::fromLatin1(refusal.text)});
    EXPECT_EQ(ftp.State(), state);
    // A later request's done is the next one delivered: none came for the refused request.
    if (!ftp.Connected()) {
        ASSERT_EQ(run(&TFtpClient::QuitAsync), 0);
        EXPECT_EQ(done.size(), events + 1);
    }
    EXPECT_EQ(server.commands, commands);
}

void nothing(TFtpClient&) {}
auto set_host_file(const char* name) {
    return [name](TFtpClient& ftp) {
        ftp.SetHostFileName(QString::fromLatin1(name));
        ftp.SetLocalFileName(QStringLiteral("/nonexistent/local"));
    };
}

INSTANTIATE_TEST_SUITE_P(
    Engine, Refusals,
    ::testing::Values(
        Refusal{"UserNotConnected", false, nothing, &TFtpClient::UserAsync,
                "FTP component not connected"},
        Refusal{"MkdNotConnected", false, nothing, &TFtpClient::MkdAsync,
                "FTP component not connected"},
        Refusal{"PutNotConnected", false, nothing, &TFtpClient::PutAsync,
                "STOR/APPE: not connected"},
        Refusal{"UserNameEmpty", true, [](TFtpClient& f) { f.SetUserName({}); },
                &TFtpClient::UserAsync, "UserName empty"},
        Refusal{"PasswordEmpty", true, [](TFtpClient& f) { f.SetPassWord({}); },
                &TFtpClient::PassAsync, "Password empty"},
        Refusal{"HostDirNameEmpty", true, nothing, &TFtpClient::CwdAsync, "HostDirName empty"},
        Refusal{"LocalFileNameEmpty", true, nothing, &TFtpClient::PutAsync, "LocalFileName empty"},
        Refusal{"OpenWhileConnected", true, nothing, &TFtpClient::OpenAsync,
                "FTP component already connected"},
        Refusal{"NotReadyDuringARequest", false, [](TFtpClient& f) { f.OpenAsync(); },
                &TFtpClient::UserAsync, "FTP component not ready"},
        Refusal{"StorNameWithCrLf", true, set_host_file("x.tmp\r\nDELE important"),
                &TFtpClient::PutAsync, "Invalid character in command argument"},
        Refusal{"MkdNameWithLf", true, set_host_file("dir\nRMD /"), &TFtpClient::MkdAsync,
                "Invalid character in command argument"},
        Refusal{"CwdNameWithNul", true,
                [](TFtpClient& f) { f.SetHostDirName(QStringLiteral("a") + QChar(0) + 'b'); },
                &TFtpClient::CwdAsync, "Invalid character in command argument"},
        Refusal{"UserWithCr", true,
                [](TFtpClient& f) { f.SetUserName(QStringLiteral("u\rPASS x")); },
                &TFtpClient::UserAsync, "Invalid character in command argument"},
        Refusal{"PassWithLf", true,
                [](TFtpClient& f) { f.SetPassWord(QStringLiteral("pw\nDELE x")); },
                &TFtpClient::PassAsync, "Invalid character in command argument"}),
    [](const auto& param_info) { return std::string(param_info.param.name); });

TEST_F(Engine, SynchronousRequestsRefuseUnsafeNamesAndDeleteWhileConnected) {
    log_in();
    const auto commands = server.commands;
    ftp.SetHostFileName(QStringLiteral("a\r\nDELE b"));
    EXPECT_FALSE(ftp.Size());
    EXPECT_FALSE(ftp.Dele());
    ftp.SetHostFileName(QStringLiteral("a"));
    ftp.SetLocalFileName(QStringLiteral("b\nDELE c"));
    EXPECT_FALSE(ftp.Ren());
    EXPECT_FALSE(ftp.Delete());
    EXPECT_EQ(refusals, (QStringList{QStringLiteral("Invalid character in command argument"),
                                     QStringLiteral("Invalid character in command argument"),
                                     QStringLiteral("Invalid character in command argument"),
                                     QStringLiteral("FTP component already connected")}));
    EXPECT_EQ(server.commands, commands);
}

TEST_F(Engine, RefusalWithoutOnErrorThrowsAndSynchronousCallReturnsFalse) {
    ftp.OnError = nullptr;
    EXPECT_THROW(ftp.UserAsync(), FtpError);
    try {
        ftp.PutAsync();
        ADD_FAILURE() << "the refused PutAsync did not throw";
    } catch (const FtpError& error) {
        EXPECT_STREQ(error.what(), "STOR/APPE: not connected");
    }
    EXPECT_FALSE(ftp.Size());
}

TEST_F(Engine, GreetingAndConnectFailures) {
    struct Case {
        QByteArray greeting;
        int code;
        const char* message;
    };
    for (const Case& c : {Case{"421 too many users", 500, "421 too many users"},
                          Case{"220-welcome\r\nsome text\r\n220 ready", 0, ""}}) {
        SCOPED_TRACE(c.greeting.toStdString());
        server.greeting = c.greeting;
        EXPECT_EQ(run(&TFtpClient::OpenAsync), c.code);
        EXPECT_EQ(ftp.ErrorMessage(), QString::fromLatin1(c.message));
        EXPECT_EQ(ftp.Connected(), c.code == 0);
        ftp.Abort();
    }

    // A reply that never ends is not buffered without bound.
    server.greeting = QByteArray(200 * 1024, '2');
    server.greeting_unended = true;
    EXPECT_EQ(run(&TFtpClient::OpenAsync), 500);
    EXPECT_EQ(ftp.ErrorMessage(),
              QStringLiteral("500 Control connection closed - reply line too long"));
    EXPECT_FALSE(ftp.Connected());

    QTcpServer closed;
    ASSERT_TRUE(closed.listen(QHostAddress::LocalHost, 0));
    ftp.SetPort(QString::number(closed.serverPort()));
    closed.close();
    EXPECT_EQ(run(&TFtpClient::OpenAsync), ECONNREFUSED);
    EXPECT_EQ(ftp.ErrorMessage(), QStringLiteral("500 Connect error - Connection refused"));
    EXPECT_EQ(ftp.StatusCode(), 500);
    EXPECT_FALSE(ftp.Connected());

    ftp.SetPort(QStringLiteral("no-such-service-name"));
    EXPECT_EQ(run(&TFtpClient::OpenAsync), EINVAL);
    EXPECT_TRUE(ftp.ErrorMessage().startsWith(QStringLiteral("500 Connect error")));

    ftp.SetHostName({});
    EXPECT_GT(run(&TFtpClient::OpenAsync), 0);
    EXPECT_TRUE(ftp.ErrorMessage().startsWith(QStringLiteral("500 DNS lookup error - ")));
    EXPECT_FALSE(ftp.Connected());
}

struct DataCase {
    const char* name;
    std::function<void(ScriptedFtpServer&)> script;
    int code;
    const char* error_prefix;
    bool stored;
};

void PrintTo(const DataCase& data_case, std::ostream* out) {
    *out << data_case.name;
}

class DataConnection : public Engine, public ::testing::WithParamInterface<DataCase> {};

TEST_P(DataConnection, EndsThePutRequestAsExpected) {
    const DataCase& c = GetParam();
    c.script(server);
    log_in();
    const QByteArray bytes = pattern_bytes(4 * 1024 * 1024);
    EXPECT_EQ(put(bytes), c.code);
    const QString prefix = QString::fromLatin1(c.error_prefix);
    EXPECT_TRUE(prefix.isEmpty() ? ftp.ErrorMessage().isEmpty()
                                 : ftp.ErrorMessage().startsWith(prefix))
        << ftp.ErrorMessage().toStdString();
    EXPECT_EQ(server.files.value("f.bin") == bytes, c.stored);
    EXPECT_TRUE(ftp.Connected()); // the session goes on
    EXPECT_EQ(ftp.State(), ftpReady);
    EXPECT_TRUE(ftp.Size() || !c.stored);
}

INSTANTIATE_TEST_SUITE_P(
    Engine, DataConnection,
    ::testing::Values(
        DataCase{"ForeignPasvAddressIsNotFollowed",
                 [](ScriptedFtpServer& s) { s.pasv_address = "10,9,8,7"; }, 0, "", true},
        DataCase{"PasvFieldAbove255",
                 [](ScriptedFtpServer& s) {
                     s.replies["PASV"] = "227 Entering Passive Mode (127,0,0,1,{p1},256)";
                 },
                 550, "Unable to establish data connection - invalid passive mode reply", false},
        DataCase{"PasvWithoutAddress",
                 [](ScriptedFtpServer& s) { s.replies["PASV"] = "227 passive mode"; }, 550,
                 "Unable to establish data connection - ", false},
        DataCase{"PasvRefused",
                 [](ScriptedFtpServer& s) { s.replies["PASV"] = "500 no passive mode"; }, 500,
                 "500 no passive mode", false},
        DataCase{"NoDataConnection", [](ScriptedFtpServer& s) { s.refuse_data = true; }, 550,
                 "Unable to establish data connection - Connection refused", false},
        DataCase{"StorRefused", [](ScriptedFtpServer& s) { s.replies["STOR"] = "553 not allowed"; },
                 553, "553 not allowed", false},
        DataCase{"DataConnectionDroppedMidTransfer",
                 [](ScriptedFtpServer& s) { s.drop_data_after = 64 * 1024; }, 426, "426", false}),
    [](const auto& param_info) { return std::string(param_info.param.name); });

TEST_F(Engine, ForeignPasvAddressIsShown) {
    server.pasv_address = "10,9,8,7";
    log_in();
    ASSERT_EQ(put("abc"), 0);
    EXPECT_TRUE(shown.contains(
        QStringLiteral("! PASV address 10.9.8.7 ignored, data connection to 127.0.0.1")));
}

// A request refused while another runs leaves the running one to end as it would have: the
// USER reply still ends USER, and an upload past PASV still sends STOR.
TEST_F(Engine, RefusalWhileARequestRunsLeavesThatRequestToEnd) {
    ASSERT_EQ(run(&TFtpClient::OpenAsync), 0);
    ftp.OnDisplay = [](TFtpClient& sender, QString& msg) {
        if (msg.startsWith(QStringLiteral("> USER"))) {
            sender.CwdAsync();
        } else if (msg.startsWith(QStringLiteral("! PASV"))) {
            sender.SetUserName({});
            sender.UserAsync();
        }
    };
    EXPECT_EQ(run(&TFtpClient::UserAsync), 0);
    ASSERT_EQ(run(&TFtpClient::PassAsync), 0);
    server.pasv_address = "10,9,8,7";
    EXPECT_EQ(put("abc"), 0);
    EXPECT_EQ(refusals, (QStringList{QStringLiteral("FTP component not ready"),
                                     QStringLiteral("UserName empty")}));
    EXPECT_EQ(server.files.value("f.bin"), "abc");
}

// A local file that fills as the test says, like a copy still under way.
class GrowingSource : public IUploadSource {
public:
    GrowingSource(const QString& path, std::int64_t size)
        : file_(path)
        , size_(size) {
        EXPECT_TRUE(file_.open(QIODevice::ReadOnly));
    }
    int descriptor() const override { return file_.handle(); }
    std::int64_t available() const override { return available_; }
    bool complete() const override { return available_ == size_; }
    QString failure() const override { return failure_; }

    void grow(std::int64_t to) {
        available_ = to;
        changed();
    }
    void fail(const QString& why) {
        failure_ = why;
        changed();
    }

private:
    void changed() const {
        if (on_changed)
            on_changed();
    }

    QFile file_;
    std::int64_t size_;
    std::int64_t available_ = 0;
    QString failure_;
};

class FillingSource : public Engine {
protected:
    void SetUp() override {
        Engine::SetUp();
        log_in();
        source = std::make_shared<GrowingSource>(local_file(bytes), bytes.size());
        ftp.SetLocalFileName(QStringLiteral("copy.tmp"));
        ftp.SetHostFileName(QStringLiteral("f.bin"));
        ftp.SetLocalSource(source);
        // Nothing is handed over that the source does not hold yet.
        ftp.OnProgress64 = [this](TFtpClient&, std::int64_t count, bool&) {
            EXPECT_LE(count, source->available());
            progress.push_back(count);
        };
    }

    // The engine has sent all the source holds and waits for more.
    bool caught_up(std::int64_t held) {
        return wait_until([&] { return !progress.empty() && progress.back() == held - 32768; });
    }

    const QByteArray bytes = pattern_bytes(4 * 1024 * 1024);
    std::shared_ptr<GrowingSource> source;
};

TEST_F(FillingSource, SendsOnlyTheBytesItHoldsAndEndsWhenTheyAreAll) {
    const auto events = done.size();
    ftp.PutAsync();
    ASSERT_TRUE(wait_until([&] { return server.commands.contains("STOR f.bin"); }));
    source->grow(1024 * 1024);
    ASSERT_TRUE(caught_up(1024 * 1024));
    EXPECT_EQ(done.size(), events); // still waiting for the rest
    source->grow(bytes.size());
    ASSERT_TRUE(wait_until([&] { return done.size() > events; }));
    EXPECT_EQ(done.back(), std::make_pair(ftpPutAsync, std::uint16_t{0}));
    EXPECT_EQ(server.files.value("f.bin"), bytes);
    EXPECT_EQ(progress.back(), bytes.size());
}

TEST_F(FillingSource, AFailureCutsTheTransferAndEndsItWith426) {
    const auto events = done.size();
    ftp.PutAsync();
    source->grow(1024 * 1024);
    ASSERT_TRUE(caught_up(1024 * 1024));
    source->fail(QStringLiteral("No space left on device"));
    ASSERT_TRUE(wait_until([&] { return done.size() > events; }));
    EXPECT_EQ(done.back(), std::make_pair(ftpPutAsync, std::uint16_t{426}));
    EXPECT_EQ(ftp.ErrorMessage(),
              QStringLiteral("426 Local file copy failed - No space left on device"));
    EXPECT_LE(server.files.value("f.bin").size(), 1024 * 1024);
    EXPECT_TRUE(ftp.Connected()); // the session goes on to the size check
}

TEST_F(FillingSource, AFailureBeforeTheTransferSendsNoStor) {
    source->fail(QStringLiteral("Input/output error"));
    EXPECT_EQ(run(&TFtpClient::PutAsync), 426);
    EXPECT_EQ(ftp.ErrorMessage(),
              QStringLiteral("Unable to open local file copy.tmp: Input/output error"));
    EXPECT_FALSE(server.commands.contains("STOR f.bin"));
}

TEST_F(Engine, MissingLocalFileEndsPutWith426) {
    log_in();
    ftp.SetLocalFileName(folder.filePath(QStringLiteral("missing")));
    ftp.SetHostFileName(QStringLiteral("f.bin"));
    EXPECT_EQ(run(&TFtpClient::PutAsync), 426);
    EXPECT_TRUE(ftp.ErrorMessage().startsWith(QStringLiteral("Unable to open local file ")));
    EXPECT_FALSE(server.commands.contains("STOR f.bin"));
}

TEST_F(Engine, SizeReadsAll64BitsAndRejectsGarbledNumbers) {
    log_in();
    ftp.SetHostFileName(QStringLiteral("f"));
    struct Case {
        QByteArray reply;
        bool ok;
        std::int64_t size;
    };
    for (const Case& c :
         {Case{"213 5000000000", true, 5000000000}, Case{"213 0", true, 0},
          Case{"550 no such file", false, 0}, Case{"213 12abc", false, 0}, Case{"213 -5", false, 0},
          Case{"213 99999999999999999999", false, 0}, Case{"213", false, 0}}) {
        SCOPED_TRACE(c.reply.toStdString());
        server.replies["SIZE"] = c.reply;
        const auto before = done.size();
        EXPECT_EQ(ftp.Size(), c.ok);
        EXPECT_EQ(ftp.SizeResult(), c.size);
        // The request's own done has been delivered inside the call.
        ASSERT_EQ(done.size(), before + 1);
        EXPECT_EQ(done.back().first, ftpSizeAsync);
    }
}

TEST_F(Engine, RenameDeleteAndTheirFailures) {
    log_in();
    server.files.insert("a", "x");
    ftp.SetHostFileName(QStringLiteral("a"));
    ftp.SetLocalFileName(QStringLiteral("b"));
    EXPECT_TRUE(ftp.Ren());
    EXPECT_EQ(done.back().first, ftpRenAsync);
    EXPECT_TRUE(server.files.contains("b"));
    EXPECT_FALSE(ftp.Ren()); // RNFR of a missing file
    EXPECT_EQ(done.back(), std::make_pair(ftpRenAsync, std::uint16_t{550}));

    ftp.SetHostFileName(QStringLiteral("b"));
    ftp.SetLocalFileName(QStringLiteral("c"));
    server.replies["RNTO"] = "553 refused";
    EXPECT_FALSE(ftp.Ren());
    EXPECT_EQ(ftp.ErrorMessage(), QStringLiteral("553 refused"));

    EXPECT_TRUE(ftp.Dele());
    EXPECT_FALSE(server.files.contains("b"));
    EXPECT_FALSE(ftp.Dele());
    EXPECT_EQ(done.back(), std::make_pair(ftpDeleAsync, std::uint16_t{550}));
}

TEST_F(Engine, DeleteRunsItsOwnSessionAndQuitsEvenWhenDeleFails) {
    server.files.insert("dir/f", "x");
    ftp.SetHostDirName(QStringLiteral("dir"));
    ftp.SetHostFileName(QStringLiteral("f"));
    EXPECT_TRUE(ftp.Delete());
    EXPECT_FALSE(server.files.contains("dir/f"));
    EXPECT_EQ(server.commands,
              (QList<QByteArray>{"USER zelsupport", "PASS pw-42", "CWD dir", "DELE f", "QUIT"}));
    EXPECT_EQ(done.back(), std::make_pair(ftpDeleteAsync, std::uint16_t{0}));
    EXPECT_FALSE(ftp.Connected());

    server.commands.clear();
    ftp.SetHostDirName({});
    EXPECT_FALSE(ftp.Delete());
    EXPECT_EQ(server.commands,
              (QList<QByteArray>{"USER zelsupport", "PASS pw-42", "DELE f", "QUIT"}));
    EXPECT_EQ(done.back(), std::make_pair(ftpDeleteAsync, std::uint16_t{550}));
    EXPECT_EQ(ftp.ErrorMessage(), QStringLiteral("550 no such file"));
    EXPECT_FALSE(ftp.Connected());
}

TEST_F(Engine, SilentServerTimesOutWithoutRequestDone) {
    log_in();
    server.replies["SIZE"] = "";
    ftp.SetTimeout(1);
    ftp.SetHostFileName(QStringLiteral("f"));
    const auto events = done.size();
    EXPECT_FALSE(ftp.Size());
    EXPECT_EQ(ftp.ErrorMessage(), QStringLiteral("426 Timeout"));
    EXPECT_EQ(ftp.StatusCode(), 426);
    EXPECT_FALSE(ftp.Connected());
    EXPECT_EQ(ftp.State(), ftpReady);
    // QUIT without a connection ends at once; it is the only request-done that arrives.
    EXPECT_EQ(run(&TFtpClient::QuitAsync), 0);
    EXPECT_EQ(done.size(), events + 1);
    EXPECT_EQ(done.back().first, ftpQuitAsync);
}

// A server that takes the connection and then falls silent: the asynchronous request waiting on
// it ends failed after Timeout seconds, with both connections dropped.
struct Silence {
    const char* name;
    std::function<void(ScriptedFtpServer&)> script;
    void (TFtpClient::*request)();
    TFtpRequest type;
    const char* shown;
};

void PrintTo(const Silence& silence, std::ostream* out) {
    *out << silence.name;
}

class Silences : public Engine, public ::testing::WithParamInterface<Silence> {};

TEST_P(Silences, EndTheWaitingRequestWithTheTimeOut) {
    const Silence& c = GetParam();
    c.script(server);
    ftp.SetTimeout(1);
    if (c.request != &TFtpClient::OpenAsync)
        log_in();
    ftp.SetHostDirName(QStringLiteral("/"));
    ftp.SetLocalFileName(local_file(pattern_bytes(64 * 1024 * 1024)));
    ftp.SetHostFileName(QStringLiteral("f.bin"));
    EXPECT_EQ(run(c.request), 426);
    EXPECT_EQ(done.back().first, c.type);
    EXPECT_EQ(ftp.ErrorMessage(), QStringLiteral("426 Timeout"));
    EXPECT_TRUE(shown.contains(QString::fromLatin1(c.shown))) << shown.join('\n').toStdString();
    EXPECT_FALSE(ftp.Connected());
    EXPECT_EQ(ftp.State(), ftpReady);
    EXPECT_TRUE(refusals.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Engine, Silences,
    ::testing::Values(
        Silence{"NoGreeting",
                [](ScriptedFtpServer& s) {
                    s.greeting.clear();
                    s.greeting_unended = true;
                },
                &TFtpClient::OpenAsync, ftpOpenAsync,
                "! Timeout: no answer within 1 s to the connection to 127.0.0.1"},
        Silence{"NoReplyAfterTheGreeting", [](ScriptedFtpServer& s) { s.replies["CWD"] = ""; },
                &TFtpClient::CwdAsync, ftpCwdAsync, "! Timeout: no answer within 1 s to CWD /"},
        Silence{"NoReplyToPasv", [](ScriptedFtpServer& s) { s.replies["PASV"] = ""; },
                &TFtpClient::PutAsync, ftpPutAsync, "! Timeout: no answer within 1 s to PASV"},
        Silence{"DataNeverRead", [](ScriptedFtpServer& s) { s.data_stalls = true; },
                &TFtpClient::PutAsync, ftpPutAsync,
                "! Timeout: no answer within 1 s to the data transfer of STOR f.bin"}),
    [](const auto& param_info) { return std::string(param_info.param.name); });

TEST_F(Engine, PasvAfterTheControlPeerIsGoneFailsInsteadOfConnectingAnywhere) {
    log_in();
    server.reset_after = "PASV";
    EXPECT_EQ(put("abc"), 550);
    EXPECT_EQ(ftp.ErrorMessage(),
              QStringLiteral("Unable to establish data connection - the control connection's "
                             "peer is unknown"));
    EXPECT_FALSE(server.commands.contains("STOR f.bin"));
}

TEST_F(Engine, AbortFromProgressDropsBothConnectionsWithoutRequestDone) {
    log_in();
    ftp.OnProgress64 = [](TFtpClient&, std::int64_t count, bool& abort) { abort = count >= 65536; };
    const auto events = done.size();
    ftp.SetLocalFileName(local_file(pattern_bytes(8 * 1024 * 1024)));
    ftp.SetHostFileName(QStringLiteral("f.bin"));
    ftp.PutAsync();
    ASSERT_TRUE(wait_until([&] { return !ftp.Connected(); }));
    EXPECT_EQ(ftp.State(), ftpReady);
    EXPECT_TRUE(ftp.Abort()); // nothing left to abort: still a success
    EXPECT_EQ(run(&TFtpClient::QuitAsync), 0);
    EXPECT_EQ(done.size(), events + 1);
}

TEST(EngineOnRealServer, UploadSizeRenameAndDelete) {
    test::PyFtpServer server;
    ASSERT_TRUE(server.is_running()) << server.error().toStdString();
    QTemporaryDir folder;
    const QString local = folder.filePath(QStringLiteral("data.bin"));
    const QByteArray bytes = pattern_bytes(3 * 1024 * 1024 + 17);
    {
        QFile file(local);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    TFtpClient ftp;
    ftp.SetHostName(QStringLiteral("127.0.0.1"));
    ftp.SetPort(QString::number(server.port()));
    ftp.SetUserName(QString::fromLatin1(test::PyFtpServer::user));
    ftp.SetPassWord(QString::fromLatin1(test::PyFtpServer::password));
    ftp.SetPassive(true);
    std::vector<std::uint16_t> codes;
    ftp.OnRequestDone = [&](TFtpClient& sender, TFtpRequest type, std::uint16_t code) {
        codes.push_back(code);
        if (type == ftpOpenAsync)
            sender.UserAsync();
        else if (type == ftpUserAsync)
            sender.PassAsync();
        else if (type == ftpPassAsync)
            sender.TypeSetAsync();
        else if (type == ftpTypeSetAsync)
            sender.PutAsync();
    };
    ftp.SetLocalFileName(local);
    ftp.SetHostFileName(QStringLiteral("data.bin.tmp"));
    ftp.OpenAsync();
    ASSERT_TRUE(wait_until([&] { return codes.size() == 5; }));
    EXPECT_EQ(codes, std::vector<std::uint16_t>(5, 0));

    ASSERT_TRUE(ftp.Size());
    EXPECT_EQ(ftp.SizeResult(), bytes.size());
    ftp.SetLocalFileName(QStringLiteral("data.bin"));
    ASSERT_TRUE(ftp.Ren());
    ASSERT_TRUE(ftp.Quit());
    EXPECT_FALSE(ftp.Connected());

    QFile stored(server.root() + QStringLiteral("/data.bin"));
    ASSERT_TRUE(stored.open(QIODevice::ReadOnly));
    EXPECT_EQ(stored.readAll(), bytes);

    ftp.SetHostDirName(QStringLiteral("/"));
    ftp.SetHostFileName(QStringLiteral("data.bin"));
    EXPECT_TRUE(ftp.Delete());
    EXPECT_FALSE(QFile::exists(server.root() + QStringLiteral("/data.bin")));
}

} // namespace
} // namespace zel
