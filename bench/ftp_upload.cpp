// Upload time of the upload client against curl, both sending the same 256 MiB file to the same
// FTP server, alternating, nine runs each (on a virtual machine single runs move by a fifth and
// more). The client is timed from PutFile to OnFinish, its local copy, size check and rename
// included. While it runs, a 5 ms timer measures the longest stall of the event loop.
//
//   ftp_upload [--host H --port P --user U --password W]
//
// Without options the server is a local pyftpdlib whose stored files are compared; with them,
// another FTP server of this machine, where the client's size check is what tells a whole file.
#include "ftp/ftp_client_async.h"
#include "tests/support/py_ftp_server.h"

#include <QCommandLineParser>
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
#include <memory>
#include <optional>
#include <vector>

namespace {

constexpr qint64 file_size = 256LL * 1024 * 1024;
constexpr int runs = 9;
constexpr int upload_limit_ms = 300000;
constexpr int tick_ms = 5;

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
    return static_cast<double>(file_size) / 1e6 /
           (static_cast<double>(std::max<qint64>(elapsed_ms, 1)) / 1000.0);
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

struct Server {
    QString host;
    QString port;
    QString user;
    QString password;
    QString root; // the stored files, when the server is our own
};

// The longest gap between two ticks of a 5 ms timer beyond its period, while it runs, and when
// it ended (ms after the start).
class StallMeter {
public:
    StallMeter() {
        timer_.setTimerType(Qt::PreciseTimer);
        timer_.setInterval(tick_ms);
        QObject::connect(&timer_, &QTimer::timeout, [this] { tick(); });
    }
    void start() {
        since_start_.start();
        since_tick_.start();
        timer_.start();
    }
    qint64 stop() {
        timer_.stop();
        tick();
        return longest_;
    }
    qint64 longest_at() const { return longest_at_; }

private:
    void tick() {
        const qint64 gap = since_tick_.restart() - tick_ms;
        if (gap > longest_) {
            longest_ = gap;
            longest_at_ = since_start_.elapsed();
        }
    }

    QTimer timer_;
    QElapsedTimer since_start_;
    QElapsedTimer since_tick_;
    qint64 longest_ = 0;
    qint64 longest_at_ = 0;
};

// The same meter over an event loop with nothing to do: what the machine itself costs.
qint64 idle_stall(int duration_ms) {
    StallMeter stalls;
    QEventLoop idle;
    QTimer::singleShot(duration_ms, &idle, &QEventLoop::quit);
    stalls.start();
    idle.exec();
    return stalls.stop();
}

} // namespace

int main(int argc, char** argv) {
    const QCoreApplication application(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption host_option(QStringLiteral("host"), QStringLiteral("FTP server"),
                                         QStringLiteral("host"));
    const QCommandLineOption port_option(QStringLiteral("port"), QStringLiteral("its port"),
                                         QStringLiteral("port"), QStringLiteral("21"));
    const QCommandLineOption user_option(QStringLiteral("user"), QStringLiteral("user name"),
                                         QStringLiteral("user"));
    const QCommandLineOption password_option(QStringLiteral("password"), QStringLiteral("password"),
                                             QStringLiteral("password"));
    parser.addOptions({host_option, port_option, user_option, password_option});
    parser.process(application);

    // Our own server keeps its root in memory when the machine offers a memory file system, so
    // that the disk's write-back of earlier runs does not drown what is measured.
    std::unique_ptr<zel::test::PyFtpServer> own_server;
    Server server;
    if (parser.isSet(host_option)) {
        server = {parser.value(host_option),
                  parser.value(port_option),
                  parser.value(user_option),
                  parser.value(password_option),
                  {}};
    } else {
        const QString memory = QStringLiteral("/dev/shm");
        own_server = std::make_unique<zel::test::PyFtpServer>(
            QFileInfo(memory).isWritable() ? memory : QDir::tempPath());
        if (!own_server->is_running()) {
            std::fprintf(stderr, "FTP server: %s\n", qPrintable(own_server->error()));
            return 1;
        }
        server = {QStringLiteral("127.0.0.1"), QString::number(own_server->port()),
                  QString::fromLatin1(zel::test::PyFtpServer::user),
                  QString::fromLatin1(zel::test::PyFtpServer::password), own_server->root()};
    }
    QTemporaryDir work;
    const QString source = work.filePath(QStringLiteral("source.bin"));
    if (!write_file(source)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(source));
        return 1;
    }

    zel::TFptClientAsync client(nullptr, QStringLiteral("FTP_bench_file"));
    client.SetServerSettings(server.host, server.port, server.user, server.password);
    // Stored whole: compared on our own server; elsewhere the client's size check tells, and the
    // file is deleted again.
    auto stored_whole = [&](const QString& name, bool size_checked) {
        if (server.root.isEmpty()) {
            client.FtpDelete(name);
            return size_checked;
        }
        const QString path = server.root + QLatin1Char('/') + name;
        const bool whole = QFile(path).size() == file_size;
        QFile::remove(path);
        return whole;
    };

    QEventLoop loop;
    QTimer limit;
    limit.setSingleShot(true);
    QObject::connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
    client.OnFinish = [&](zel::TFptClientAsync&) { loop.quit(); };
    int progress_calls = 0;
    client.OnProgress = [&](zel::TFptClientAsync&) { ++progress_calls; };
    std::vector<double> put_file_ms;
    std::vector<double> stalls_ms;
    std::vector<double> idle_stalls_ms;
    qint64 stall_at_ms = 0;

    auto upload_by_client = [&]() -> double {
        StallMeter stalls;
        QElapsedTimer timer;
        stalls.start();
        timer.start();
        const bool started =
            client.PutFile(source, QStringLiteral("ours.bin"), {}, QStringLiteral("/"));
        put_file_ms.push_back(static_cast<double>(timer.elapsed()));
        if (!started)
            return 0;
        limit.start(upload_limit_ms);
        loop.exec(); // the program's own event loop, until OnFinish
        const qint64 elapsed = timer.elapsed();
        stalls_ms.push_back(static_cast<double>(stalls.stop()));
        stall_at_ms = stalls.longest_at();
        idle_stalls_ms.push_back(static_cast<double>(idle_stall(static_cast<int>(elapsed))));
        if (!limit.isActive() || !client.Completed() ||
            !stored_whole(QStringLiteral("ours.bin"), client.Completed()))
            return 0;
        limit.stop();
        return megabytes_per_second(elapsed);
    };
    auto upload_by_curl = [&]() -> double {
        QElapsedTimer timer;
        QProcess process;
        timer.start();
        process.start(QStringLiteral("curl"),
                      {QStringLiteral("--silent"), QStringLiteral("--show-error"),
                       QStringLiteral("--user"), server.user + QLatin1Char(':') + server.password,
                       QStringLiteral("-T"), source,
                       QStringLiteral("ftp://%1:%2/curl.bin").arg(server.host, server.port)});
        const bool ended = process.waitForFinished(upload_limit_ms) && process.exitCode() == 0;
        const qint64 elapsed = timer.elapsed();
        if (!ended || !stored_whole(QStringLiteral("curl.bin"), true)) {
            std::fprintf(stderr, "%s", process.readAllStandardError().constData());
            return 0;
        }
        return megabytes_per_second(elapsed);
    };

    std::vector<double> ours;
    std::vector<double> curl;
    for (int run = 0; run < runs; ++run) {
        progress_calls = 0;
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
        std::printf("run %d: client %.1f MB/s (PutFile %.0f ms, longest stall %.0f ms at %lld ms, "
                    "%d OnProgress; idle loop's longest stall %.0f ms), curl %.1f MB/s\n",
                    run + 1, ours.back(), put_file_ms.back(), stalls_ms.back(), stall_at_ms,
                    progress_calls, idle_stalls_ms.back(), curl.back());
    }
    // Each run's ratio against the curl run beside it, then their median: the two runs of a pair
    // meet the same state of the machine, which drifts over the whole benchmark.
    std::vector<double> ratios;
    for (std::size_t i = 0; i < ours.size(); ++i)
        ratios.push_back(ours[i] / curl[i]);
    const double ours_median = median(ours);
    const double curl_median = median(curl);
    std::printf("256 MiB file to %s:%s%s, medians of %d runs, ratio: median of the runs' ratios "
                "(MB = 10^6 bytes; the client's time runs from PutFile to OnFinish: local copy, "
                "size check and rename included)\n",
                qPrintable(server.host), qPrintable(server.port),
                server.root.isEmpty() ? "" : qPrintable(QStringLiteral(", root in ") + server.root),
                runs);
    std::printf("result: ours_mb_s=%.1f curl_mb_s=%.1f ratio=%.3f ratio_of_medians=%.3f "
                "stall_ms=%.0f idle_stall_ms=%.0f putfile_ms=%.0f\n",
                ours_median, curl_median, median(ratios), ours_median / curl_median,
                *std::max_element(stalls_ms.begin(), stalls_ms.end()),
                *std::max_element(idle_stalls_ms.begin(), idle_stalls_ms.end()),
                median(put_file_ms));
    return 0;
}
