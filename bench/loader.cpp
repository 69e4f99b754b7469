// Reading a log back: a 200,000-event file written by a storage (the main window's layout,
// groups, multi-line texts) is loaded into a log tree, against a baseline that reads the same
// file, decodes it and splits it into a list of lines, in the same run (and, for comparison,
// into views of the text without a copy of each line). The ratio is ours / baseline
// processor time (the machine may be busy with other work, which only wall-clock times show).
#include "bench/bench_timing.h"
#include "bench/sample_log.h"
#include "log/core/log_procedures.h"
#include "log/core/log_root.h"
#include "log/core/log_unit.h"
#include "log/persistence/log_persistence.h"
#include "log/support/log_text_codec.h"

#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <vector>

namespace {

using namespace zel;
using bench::measure;
using bench::timing;

constexpr int events = bench::sample_log_events;

} // namespace

int main() {
    QTemporaryDir dir;
    const QString file_name = dir.filePath("log_file.20240131.120000.000.log");
    install_log_persistence();
    TLogUnit unit;
    bench::write_sample_log(file_name);

    // The baseline: the file read and decoded, its lines split into a list of texts; and, for
    // comparison, split into views of the decoded text without a copy of each line.
    const auto read_text = [&file_name] {
        QFile file(file_name);
        file.open(QIODevice::ReadOnly);
        return decode_log_text(file.readAll());
    };
    qsizetype lines = 0;
    qsizetype characters = 0;
    const timing baseline = measure([&] {
        const QString text = read_text();
        characters = text.size();
        lines = text.split(QStringLiteral("\r\n")).size();
    });
    const timing views = measure([&] {
        const QString text = read_text();
        std::vector<QStringView> split;
        for (qsizetype start = 0, at = 0; (at = text.indexOf(u'\n', start)) >= 0; start = at + 1)
            split.push_back(QStringView(text).sliced(start, at - start));
        lines = std::max(lines, static_cast<qsizetype>(split.size()));
    });

    std::int32_t loaded_groups = 0;
    const timing ours = measure([&] {
        // The program's root, as for the log viewer: its events take their times from it.
        const auto root = TLogRoot::Create();
        default_log_root = root;
        root->set_header({});
        ILogGroupPtr reader;
        root->add_seeded_group(reader, GK_READER);
        reader->LoadFromFile(file_name);
        loaded_groups = reader->groups()->Count();
        root->clear_all();
        default_log_root.reset();
    });

    std::printf("file: %d events, %lld lines, %.1f M characters\n", events,
                static_cast<long long>(lines), static_cast<double>(characters) / 1e6);
    std::printf("loading into a log tree: %.3f s (cpu %.3f s), %d groups\n", ours.wall_s,
                ours.cpu_s, loaded_groups);
    std::printf("baseline reading and splitting it into lines: %.3f s (cpu %.3f s)\n",
                baseline.wall_s, baseline.cpu_s);
    std::printf("reading and splitting into views only: %.3f s (cpu %.3f s), ratio %.2f\n",
                views.wall_s, views.cpu_s, ours.cpu_s / views.cpu_s);
    std::printf("result: ours_s=%.3f baseline_s=%.3f ratio=%.2f\n", ours.cpu_s, baseline.cpu_s,
                ours.cpu_s / baseline.cpu_s);
}
