// A program that uploads one file with the upload client and tells how it ended, for the tests
// that need a process of their own: its own working folder, its own limits, another sender
// running at the same time.
//
//   ftp_upload_helper PORT LOCAL_FILE REMOTE_NAME
//
// Prints the client's log lines ("kind: text"), then "finished=0|1 completed=0|1". Exit status 0
// when the upload reached its end, 1 when it did not within the time limit.
#include "ftp/ftp_client_async.h"
#include "log/core/log_root.h"
#include "log/core/log_unit.h"
#include "tests/support/py_ftp_server.h"

#include <QCoreApplication>
#include <QTimer>

#include <cstdio>

namespace {

constexpr int limit_ms = 60000;

void print_lines(const zel::ILogGroupPtr& group) {
    for (std::int32_t i = 0; group && i < group->event_count(); ++i) {
        const zel::ILogEventPtr entry = group->getevent(i);
        if (auto child = std::dynamic_pointer_cast<zel::ILogGroup>(entry)) {
            print_lines(child);
            continue;
        }
        if (entry && entry->log_type() != zel::LK_DECORATION)
            std::printf("%s: %s\n", qPrintable(zel::log_kind_name(entry->log_type())),
                        qPrintable(entry->text()));
    }
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() != 4) {
        std::fprintf(stderr, "usage: ftp_upload_helper PORT LOCAL_FILE REMOTE_NAME\n");
        return 2;
    }
    const auto root = zel::TLogRoot::Create();
    root->set_discard({});
    bool ended = false;
    {
        zel::TFptClientAsync client(root, QStringLiteral("FTP_main_file"));
        client.SetServerSettings(QStringLiteral("127.0.0.1"), arguments[1],
                                 QString::fromLatin1(zel::test::PyFtpServer::user),
                                 QString::fromLatin1(zel::test::PyFtpServer::password));
        client.OnFinish = [&](zel::TFptClientAsync&) {
            ended = true;
            QCoreApplication::quit();
        };
        QTimer::singleShot(limit_ms, &application, &QCoreApplication::quit);
        if (client.PutFile(arguments[2], arguments[3], {}, QStringLiteral("/")))
            QCoreApplication::exec();
        print_lines(client.LogGroup());
        std::printf("finished=%d completed=%d\n", client.Finished() ? 1 : 0,
                    client.Completed() ? 1 : 0);
    }
    zel::release_log_tree(*root);
    return ended ? 0 : 1;
}
