// Upload throughput of the upload client against curl, both sending the same 256 MiB file to the
// same local pyftpdlib server, alternating, three runs each.
#include "ftp/ftp_client_async.h"
#include "tests/support/py_ftp_server.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr qint64 file_size = 256LL * 1024 * 1024;
constexpr int runs = 3;
constexpr int upload_limit_ms = 300000;

bool write_file(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QByteArray block(1024 * 1024, Qt::Uninitialized);
    for (qint64 written = 0; written < file_size; written += block.size()) {
        for (qsizetype i = 0; i < block.size(); ++i)
            block[i] = static_cast<char>((written + i) * 2654435761U >> 24);
        if (file.write(block) != block.size())
            return false;
    }
    return true;
}

double megabytes_per_second(qint64 elapsed_ms) {
    return static_cast<double>(file_size) / 1e6 / (static_cast<double>(elapsed_ms) / 1000.0);
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

bool stored_whole(const zel::test::PyFtpServer& server, const QString& name) {
    const QString path = server.root() + QLatin1Char('/') + name;
    const bool whole = QFile(path).size() == file_size;
    QFile::remove(path);
    return whole;
}

} // namespace

int main(int argc, char** argv) {
    const QCoreApplication application(argc, argv);
    // The server's root lives in memory when the machine offers a memory file system, so that
    // the disk's write-back of earlier runs does not drown what is measured.
    const QString memory = QStringLiteral("/dev/shm");
    const QString parent = QFileInfo(memory).isWritable() ? memory : QDir::tempPath();
    zel::test::PyFtpServer server(parent);
    if (!server.is_running()) {
        std::fprintf(stderr, "FTP server: %s\n", qPrintable(server.error()));
        return 1;
    }
    QTemporaryDir work;
    QDir::setCurrent(work.path()); // the client's local copy lands here
    const QString source = work.filePath(QStringLiteral("source.bin"));
    if (!write_file(source)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(source));
        return 1;
    }

    zel::TFptClientAsync client(nullptr, QStringLiteral("FTP_bench_file"));
    client.SetServerSettings(QStringLiteral("127.0.0.1"), QString::number(server.port()),
                             QString::fromLatin1(zel::test::PyFtpServer::user),
                             QString::fromLatin1(zel::test::PyFtpServer::password));
    QEventLoop loop;
    QTimer limit;
    limit.setSingleShot(true);
    QObject::connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
    std::vector<double> copy_ms;
    std::vector<double> ours_after_copy; // the same upload, less the local copy
    client.OnFinish = [&](zel::TFptClientAsync&) { loop.quit(); };

    auto upload_by_client = [&]() -> double {
        QElapsedTimer timer;
        timer.start();
        const bool started =
            client.PutFile(source, QStringLiteral("ours.bin"), {}, QStringLiteral("/"));
        copy_ms.push_back(static_cast<double>(timer.elapsed())); // PutFile makes the copy
        if (!started)
            return 0;
        limit.start(upload_limit_ms);
        loop.exec(); // the program's own event loop, until OnFinish
        if (!limit.isActive() || !client.Completed() ||
            !stored_whole(server, QStringLiteral("ours.bin")))
            return 0;
        limit.stop();
        ours_after_copy.push_back(
            megabytes_per_second(timer.elapsed() - static_cast<qint64>(copy_ms.back())));
        return megabytes_per_second(timer.elapsed());
    };
    auto upload_by_curl = [&]() -> double {
        QElapsedTimer timer;
        QProcess process;
        timer.start();
        process.start(QStringLiteral("curl"),
                      {QStringLiteral("--silent"), QStringLiteral("--show-error"),
                       QStringLiteral("-T"), source,
                       QStringLiteral("ftp://%1:%2@127.0.0.1:%3/curl.bin")
                           .arg(QString::fromLatin1(zel::test::PyFtpServer::user),
                                QString::fromLatin1(zel::test::PyFtpServer::password))
                           .arg(server.port())});
        if (!process.waitForFinished(upload_limit_ms) || process.exitCode() != 0 ||
            !stored_whole(server, QStringLiteral("curl.bin"))) {
            std::fprintf(stderr, "%s", process.readAllStandardError().constData());
            return 0;
        }
        return megabytes_per_second(timer.elapsed());
    };

    std::vector<double> ours;
    std::vector<double> curl;
    for (int run = 0; run < runs; ++run) {
        // Alternate which goes first, so that neither always meets a warmer server.
        if (run % 2 == 0) {
            ours.push_back(upload_by_client());
            curl.push_back(upload_by_curl());
        } else {
            curl.push_back(upload_by_curl());
            ours.push_back(upload_by_client());
        }
        if (ours.back() == 0 || curl.back() == 0) {
            std::fprintf(stderr, "upload by the %s failed\n", ours.back() == 0 ? "client" : "curl");
            return 1;
        }
        std::printf("run %d: client %.1f MB/s (local copy %.0f ms), curl %.1f MB/s\n", run + 1,
                    ours.back(), copy_ms.back(), curl.back());
    }
    const double ours_median = median(ours);
    const double curl_median = median(curl);
    std::printf(
        "256 MiB file, server root in %s, medians of %d runs (MB = 10^6 bytes; the client's time "
        "includes its local copy, the size check and the rename)\n",
        qPrintable(parent), runs);
    const double after_copy_median = median(ours_after_copy);
    std::printf("without its local copy the client moved %.1f MB/s (%.3f of curl)\n",
                after_copy_median, after_copy_median / curl_median);
    std::printf("result: ours_mb_s=%.1f curl_mb_s=%.1f ratio=%.3f copy_ms=%.0f "
                "ours_after_copy_mb_s=%.1f ratio_after_copy=%.3f\n",
                ours_median, curl_median, ours_median / curl_median, median(copy_ms),
                after_copy_median, after_copy_median / curl_median);
    return 0;
}
