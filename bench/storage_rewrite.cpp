// The session log's rewrite on every event: 20,000 events logged with the main window's log
// configuration (every kind rewrites the whole file; the root and two groups like the upload
// clients'), against a baseline that writes the same final file contents 20,000 times, one
// entry longer each time, with one call per write. The ratio is ours / baseline processor time
// (user and system, which includes the kernel's copy into the file): the machine may be busy
// with other work, which only the wall-clock times show.
#include "bench/bench_timing.h"
#include "log/core/log_procedures.h"
#include "log/core/log_unit.h"
#include "log/persistence/log_config.h"
#include "log/persistence/log_persistence.h"
#include "platform/whole_file.h"

#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <string>
#include <vector>

namespace {

using namespace zel;
using bench::measure;
using bench::timing;

constexpr int events = 20000;

// Logs `events` events the way the program does.
timing log_session(const QString& file_name) {
    const auto config = main_window_log_config();
    config->storages().storage(0)->storage()->set_fq_filename(file_name);
    config->Loaded();
    const ILogRootPtr root = config->root();
    ILogGroupPtr uploads[2];
    root->add_seeded_group(uploads[0], GK_NONE);
    root->add_seeded_group(uploads[1], GK_NONE);
    uploads[0]->set_text("Upload of the chosen file");
    uploads[1]->set_text("Upload of the session log");

    return measure([&] {
        for (int i = 0; i < events; ++i) {
            const Tlog_kind kind = i % 50 == 0 ? LK_IMPORTANT : i % 7 == 0 ? LK_DEBUG : LK_INFO;
            if (i % 10 < 7)
                log_add_fmt(kind, "step %d of the send: %s", {i, "in progress"});
            else
                uploads[i % 2]->add(kind, "ftp reply %d: 226 Transfer complete", {i});
        }
    });
}

// The final file's header and entries; each entry starts a line that does not begin with a
// blank. Writes the contents `events` times, one entry more each time: the newest entries come
// first, so the contents after i entries are the header and the last i entries of the file.
timing write_growing(const QString& file_name, const QByteArray& final_file) {
    const qsizetype entries_begin = final_file.indexOf("\r\n\r\n") + 4;
    std::vector<qsizetype> entry_starts;
    for (qsizetype at = entries_begin; at < final_file.size();
         at = final_file.indexOf("\r\n", at) + 2)
        if (final_file[at] != ' ')
            entry_starts.push_back(at);
    const std::string header(final_file.constData(), static_cast<std::size_t>(entries_begin));

    platform::whole_file file;
    file.open(QFile::encodeName(file_name).toStdString(), platform::whole_file_open::create_new);
    std::string contents;
    const std::size_t count = entry_starts.size();
    return measure([&] {
        for (int i = 1; i <= events; ++i) {
            const std::size_t first = count - count * static_cast<std::size_t>(i) / events;
            const qsizetype from = first < count ? entry_starts[first] : final_file.size();
            contents.assign(header);
            contents.append(final_file.constData() + from,
                            static_cast<std::size_t>(final_file.size() - from));
            file.replace(contents);
        }
    });
}

} // namespace

int main() {
    QTemporaryDir dir;
    qputenv("XDG_DATA_HOME", dir.filePath("data").toLocal8Bit());
    install_log_persistence();
    timing ours;
    QByteArray final_file;
    {
        TLogUnit unit;
        ours = log_session(dir.filePath("session.log"));
        QFile written(dir.filePath("session.log"));
        written.open(QIODevice::ReadOnly);
        final_file = written.readAll();
        unit.shutdown();
    }
    const timing baseline = write_growing(dir.filePath("baseline.log"), final_file);
    std::printf("%d events, final file %.1f MB\n", events, final_file.size() / 1e6);
    std::printf("storage rewriting on every event: %.3f s (cpu %.3f s)\n", ours.wall_s, ours.cpu_s);
    std::printf("baseline writing the growing contents: %.3f s (cpu %.3f s)\n", baseline.wall_s,
                baseline.cpu_s);
    std::printf("result: ours_s=%.3f baseline_s=%.3f ratio=%.2f\n", ours.cpu_s, baseline.cpu_s,
                ours.cpu_s / baseline.cpu_s);
}
