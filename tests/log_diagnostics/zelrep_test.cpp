#include "log/core/safe_format.h"
#include "tests/log_core/qt_print.h"
#include "tests/support/processor_brand.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace zel {
namespace {

struct run_result {
    bool finished = false;
    int exit_code = -1;
    QString err;
};

// zelrep started the way the sender starts it: the arguments of the sender's command line
// once split the Windows way (the quotes are gone).
run_result run_zelrep(const QStringList& arguments) {
    QProcess process;
    process.start(QStringLiteral(ZELREP_PROGRAM), arguments);
    run_result result;
    result.finished = process.waitForFinished(60000);
    result.exit_code = process.exitCode();
    result.err = QString::fromUtf8(process.readAllStandardError());
    return result;
}

// "key : value" lines of /proc/cpuinfo's first processor, /proc/meminfo's "Key: value kB".
QString proc_value(const char* file, const QString& key) {
    QFile in(QString::fromLatin1(file));
    if (!in.open(QIODevice::ReadOnly))
        return {};
    for (const QString& line : QString::fromUtf8(in.readAll()).split('\n')) {
        const qsizetype colon = line.indexOf(':');
        if (colon > 0 && line.left(colon).trimmed() == key)
            return line.mid(colon + 1).trimmed();
    }
    return {};
}

std::uint64_t meminfo_bytes(const QString& key) {
    return proc_value("/proc/meminfo", key).section(' ', 0, 0).toULongLong() * 1024;
}

// The text of each entry of the report: the part after the event header and indentation.
QStringList report_texts(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList texts;
    static const QRegularExpression entry(
        QStringLiteral("^\\d\\d:\\d\\d:\\d\\d\\.\\d{3}  .{12}\\s+(.*)$"));
    for (const QString& line : QString::fromUtf8(file.readAll()).split(QStringLiteral("\r\n"))) {
        const QRegularExpressionMatch match = entry.match(line);
        texts << (match.hasMatch() ? match.captured(1) : line.trimmed());
    }
    return texts;
}

QString line_starting(const QStringList& texts, const QString& start) {
    for (const QString& text : texts) {
        if (text.startsWith(start))
            return text.mid(start.size());
    }
    return {};
}

double megabytes(const QString& size) {
    return size.section(' ', 0, 0).toDouble();
}

class Zelrep : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        report = folder.filePath("work dir/report.zelrep");
        QDir().mkpath(folder.filePath("work dir"));
    }

    QTemporaryDir folder;
    QString report;
};

TEST_F(Zelrep, ReportAgreesWithTheKernelsOwnFigures) {
    const run_result run =
        run_zelrep({"-raw_report", "/report_path=" + report,
                    "/comment=Customer email: ann@example.com | Contacted person: Bob"});
    ASSERT_TRUE(run.finished);
    ASSERT_EQ(run.exit_code, 0) << run.err.toStdString();
    const QStringList texts = report_texts(report);
    ASSERT_FALSE(texts.isEmpty());
    EXPECT_TRUE(texts.contains(":most_recent=first"));
    EXPECT_TRUE(texts.contains(":status=stopped"));
    EXPECT_EQ(line_starting(texts, "Comment: "),
              "Customer email: ann@example.com | Contacted person: Bob");

    // Processor: the processor's own brand string, and no extension the kernel does not know.
    const QString brand = QString::fromStdString(test::processor_brand_from_cpuid());
    const QString processor = line_starting(texts, "Processor ");
    if (!brand.isEmpty()) {
        EXPECT_TRUE(processor.startsWith(brand + " with ")) << processor.toStdString();
    }
    const QSet<QString> flags = [] {
        const QStringList list = proc_value("/proc/cpuinfo", "flags").split(' ');
        return QSet<QString>(list.begin(), list.end());
    }();
    const QHash<QString, QString> kernel_name{
        {"MMX", "mmx"},      {"ExMMX", "mmxext"}, {"3DNow!", "3dnow"}, {"Ex3DNow", "3dnowext"},
        {"sse", "sse"},      {"sse2", "sse2"},    {"sse3", "pni"},     {"ssse3", "ssse3"},
        {"sse41", "sse4_1"}, {"sse42", "sse4_2"}, {"sse4A", "sse4a"},  {"avx", "avx"},
        {"avx2", "avx2"},    {"bmi1", "bmi1"},    {"bmi2", "bmi2"},    {"aes", "aes"},
        {"tbm", "tbm"},      {"xop", "xop"},      {"Fma3", "fma"},     {"Fma4", "fma4"}};
    QStringList listed = line_starting(texts, "Supported instruction set: ").split(',');
    for (QString& item : listed) {
        item.remove(QStringLiteral(" (slow)"));
        ASSERT_TRUE(kernel_name.contains(item)) << item.toStdString();
        EXPECT_TRUE(flags.contains(kernel_name[item])) << item.toStdString();
    }
    // What every vendor's rules read the same way is listed whenever the kernel has it.
    for (const char* item :
         {"sse", "sse2", "sse3", "sse41", "sse42", "avx", "avx2", "bmi1", "bmi2", "aes", "MMX"}) {
        EXPECT_EQ(listed.contains(item), flags.contains(kernel_name[item])) << item;
    }

    // Memory: the totals exactly, what moves within a margin.
    EXPECT_EQ(line_starting(texts, "Total Physical Memory : "),
              size_text(meminfo_bytes("MemTotal")));
    EXPECT_EQ(line_starting(texts, "Total Memory : "),
              size_text(meminfo_bytes("MemTotal") + meminfo_bytes("SwapTotal")));
    const double available = megabytes(line_starting(texts, "Available Physical Memory : "));
    const double kernel_available = static_cast<double>(meminfo_bytes("MemAvailable")) / 1048576;
    EXPECT_NEAR(available, kernel_available, kernel_available * 0.2 + 64);
    EXPECT_FALSE(line_starting(texts, "Memory Load  : ").isEmpty());

    // The rest of what a support engineer asks for.
    EXPECT_TRUE(line_starting(texts, "OS : ").contains(", Build "));
    EXPECT_EQ(line_starting(texts, "Command line: "), "3 parameter(s)");
    EXPECT_EQ(line_starting(texts, "Param #01: "), "\"-raw_report\"");
    for (const char* section :
         {"Operating system", "Disks", "Desktop session", "Locale and time zone"})
        EXPECT_TRUE(texts.contains(section)) << section;
    EXPECT_FALSE(line_starting(texts, "Kernel : Linux ").isEmpty());
    EXPECT_FALSE(line_starting(texts, "Uptime : ").isEmpty());
    EXPECT_FALSE(line_starting(texts, "Time zone : ").isEmpty());
    EXPECT_TRUE(QString(texts.join('\n')).contains(" free of ")); // at least one disk
}

TEST_F(Zelrep, BadCommandLineIsRefusedWithUsage) {
    const struct {
        QStringList arguments;
        const char* message;
    } cases[] = {
        {{}, "zelrep: -raw_report is missing"},
        {{"-raw_report"}, "zelrep: /report_path=\"PATH\" is missing"},
        {{"-raw_report", "/report_path=x", "-verbose"}, "zelrep: unknown option: -verbose"},
    };
    for (const auto& c : cases) {
        const run_result run = run_zelrep(c.arguments);
        ASSERT_TRUE(run.finished);
        EXPECT_EQ(run.exit_code, 2);
        EXPECT_TRUE(run.err.startsWith(c.message)) << run.err.toStdString();
        EXPECT_TRUE(run.err.contains("usage: zelrep -raw_report")) << run.err.toStdString();
    }
}

TEST_F(Zelrep, ReportThatCannotBeWrittenFailsAndReplacesNothing) {
    const run_result run = run_zelrep({"-raw_report", "/report_path=/proc/no/report.zelrep"});
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_TRUE(run.err.startsWith("zelrep: cannot write the report to /proc/no/report.zelrep"))
        << run.err.toStdString();
}

TEST_F(Zelrep, ReportReadsBackWithZellog) {
    ASSERT_EQ(run_zelrep({"-raw_report", "/report_path=" + report, "/comment=x"}).exit_code, 0);
    QProcess zellog;
    zellog.start(QStringLiteral(ZELLOG_PROGRAM), {"show", report});
    ASSERT_TRUE(zellog.waitForFinished(60000));
    EXPECT_EQ(zellog.exitCode(), 0);
    const QString shown = QString::fromUtf8(zellog.readAllStandardOutput());
    for (const char* text : {"Comment: x", "Supported instruction set: ", "Total Physical Memory",
                             "Command line: ", "Disks"})
        EXPECT_TRUE(shown.contains(text)) << text;
}

} // namespace
} // namespace zel
