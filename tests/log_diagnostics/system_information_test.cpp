#include "log/core/log_root.h"
#include "log/core/safe_format.h"
#include "log/diagnostics/log_diagnostics.h"
#include "log/diagnostics/system_information.h"
#include "platform/os_version.h"
#include "tests/log_core/qt_print.h"

#include <QStringList>

#include <gtest/gtest.h>

#include <cerrno>

namespace zel {
namespace {

QStringList lines_of(const ILogEventPtr& event) {
    return event->text().split(QStringLiteral("\r\n"));
}

std::vector<std::string> std_lines(const ILogEventPtr& event) {
    std::vector<std::string> lines;
    for (const QString& line : lines_of(event))
        lines.push_back(line.toStdString());
    return lines;
}

class SystemInformation : public ::testing::Test {
protected:
    void SetUp() override {
        install_log_diagnostics();
        root = TLogRoot::Create();
        root->set_discard({});
        root->set_OnAdded([this](const void*, const ILogEventPtr& entry) {
            if (entry->log_type() != LK_DECORATION)
                notified.push_back(entry);
        });
    }
    void TearDown() override { root->clear_all(); }

    // A new event of the root, not yet placed: a writer's update places it.
    ILogEventPtr new_event() { return root->new_event(LK_INFO); }

    std::shared_ptr<TLogRoot> root;
    std::vector<ILogEventPtr> notified;
};

TEST_F(SystemInformation, CommandLineHidesParametersHoldingTheFilterButKeepsTheNumbers) {
    const QStringList arguments{"/opt/zel/prog", "--user=bob", "--PassWord=secret"};
    const struct {
        const char* filter;
        std::vector<std::string> lines;
    } cases[] = {
        {"",
         {"Command line: 2 parameter(s)", "Param #00: \"/opt/zel/prog\"",
          "Param #01: \"--user=bob\"", "Param #02: \"--PassWord=secret\""}},
        {"password",
         {"Command line: 2 parameter(s)", "Param #00: \"/opt/zel/prog\"",
          "Param #01: \"--user=bob\""}},
        {"ZEL/PROG",
         {"Command line: 2 parameter(s)", "Param #01: \"--user=bob\"",
          "Param #02: \"--PassWord=secret\""}},
    };
    for (const auto& c : cases) {
        const ILogEventPtr event = new_event();
        write_commandline(*event, QString::fromUtf8(c.filter), arguments);
        EXPECT_EQ(std_lines(event), c.lines) << c.filter;
    }
}

TEST_F(SystemInformation, EachWriterCommitsItsEventOnceAfterItsLastLine) {
    const ILogEventPtr event = new_event();
    write_commandline(*event, {}, {"prog", "a", "b"});
    ASSERT_EQ(notified.size(), 1U);
    EXPECT_EQ(notified[0], event);
    EXPECT_EQ(event->add_count(), 4);
    EXPECT_EQ(root->last_event(), event);
}

TEST_F(SystemInformation, ProcessorLinesFollowTheCoreLayout) {
    cpu_record cpu;
    cpu.brand = "  Example CPU 3000  ";
    cpu.mmx = true;
    cpu.add(sse_feature::sse);
    cpu.add(sse_feature::sse2);
    cpu.logical_per_package = 2;
    const ILogEventPtr hyper_threaded = new_event();
    write_cpu(*hyper_threaded, cpu, 4, 4);
    EXPECT_EQ(std_lines(hyper_threaded),
              (std::vector<std::string>{"Processor Example CPU 3000 with 2 logical core(s)",
                                        "Pipeline(s): 4 - parallelize up to 4",
                                        "Supported instruction set: MMX,sse,sse2"}));

    cpu.cores_per_package = 8;
    const ILogEventPtr multi_core = new_event();
    write_cpu(*multi_core, cpu, 24, 16);
    EXPECT_EQ(lines_of(multi_core).at(0), "Processor Example CPU 3000 with 24 core(s) CPU");
    EXPECT_EQ(lines_of(multi_core).at(1), "Pipeline(s): 24 - parallelize up to 16");
}

TEST_F(SystemInformation, MemoryLinesFromFullAndBasicFigures) {
    platform::memory_status status;
    status.total_physical = 8ULL << 30;
    status.available_physical = 2ULL << 30;
    status.memory_load = 75;
    status.total_virtual = 128ULL << 40;
    status.available_virtual = 100ULL << 40;
    status.total_commit = 10ULL << 30;
    status.available_commit = 512ULL << 10;
    const ILogEventPtr full = new_event();
    write_memory(*full, status, true);
    EXPECT_EQ(
        std_lines(full),
        (std::vector<std::string>{
            "Total Physical Memory : 8192 Mb.", "Available Physical Memory : 2048 Mb.",
            "Memory Load  : 75%", "Total Virtual Memory : 134217728 Mb.",
            "Available Virtual Memory : 104857600 Mb.", "Available extended Virtual Memory : 0 Mb.",
            "Total Memory : 10240 Mb.", "Available Memory : 0.5 Mb."}));
    const ILogEventPtr basic = new_event();
    write_memory(*basic, status, false);
    EXPECT_EQ(lines_of(basic).size(), 5);
    EXPECT_EQ(lines_of(basic).at(4), "Available Virtual Memory : 104857600 Mb.");
}

TEST_F(SystemInformation, LastErrorLineOnlyWhenAnErrorIsPending) {
    const ILogEventPtr none = new_event();
    write_winerror(*none, 0);
    EXPECT_TRUE(none->text().isEmpty());
    EXPECT_EQ(none->index(), -1); // never placed
    EXPECT_TRUE(notified.empty());

    const ILogEventPtr pending = new_event();
    write_winerror(*pending, ENOENT);
    EXPECT_EQ(pending->text(), "Windows Error 0x00000002 - \"No such file or directory\"");
}

TEST_F(SystemInformation, GroupAddWinerrorReadsTheCallersErrno) {
    errno = EACCES;
    root->add_winerror();
    ASSERT_EQ(notified.size(), 1U);
    EXPECT_EQ(notified[0]->log_type(), LK_ERROR);
    EXPECT_EQ(notified[0]->text(), "Windows Error 0x0000000D - \"Permission denied\"");

    errno = 0;
    root->add_winerror();
    EXPECT_EQ(notified.size(), 1U);
    EXPECT_EQ(root->last_event(), notified[0]);
}

// The error is the caller's, even when starting the group (its header, a storage opening its
// file) changes the last error before the event exists.
TEST_F(SystemInformation, GroupAddWinerrorReadsTheErrnoBeforeTheGroupStarts) {
    const ILogGroupPtr group = root->new_group("not started");
    group->set_header("{module} started");
    group->set_OnAdded([](const void*, const ILogEventPtr& entry) {
        if (entry->log_type() == LK_DECORATION)
            errno = 0;
    });
    ASSERT_FALSE(group->started());
    errno = EACCES;
    group->add_winerror();
    ASSERT_TRUE(group->started());
    const ILogEventPtr event = group->last_event();
    ASSERT_NE(event, nullptr);
    EXPECT_EQ(event->log_type(), LK_ERROR);
    EXPECT_EQ(event->text(), "Windows Error 0x0000000D - \"Permission denied\"");
}

TEST_F(SystemInformation, ExceptionEventKeepsTheRecordAsItsValue) {
    TExceptionRecord record;
    record.ExceptionCode = 0xC0000005;
    record.ExceptionAddress = reinterpret_cast<const void*>(0x401000);
    record.NumberParameters = 2;
    record.ExceptionInformation[0] = 1;
    record.ExceptionInformation[1] = 0x10;
    const TExceptionPointers pointers{&record, nullptr};
    root->add_exception(&pointers);

    ASSERT_EQ(notified.size(), 1U);
    const ILogEventPtr event = notified[0];
    EXPECT_EQ(event->log_type(), LK_EXCEPTION);
    const QStringList lines = lines_of(event);
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(lines[0], safe_format("Access violation at address %p with 2 parameters: ",
                                    {record.ExceptionAddress}));
    EXPECT_EQ(lines[1], "Param 0: $00000001");
    EXPECT_EQ(lines[2], "Param 1: $00000010");
    EXPECT_TRUE(event->value_as_text().startsWith("Exception:code=0x"));
    EXPECT_EQ(event->value_as_text(),
              "Exception:code=0xC0000005h,flags=0,address=0x401000h,nb_parameters=2,"
              "parameters=[1,16]");
}

TEST_F(SystemInformation, ExceptionsAreDroppedWhereTheGroupDiscardsThem) {
    root->set_discard({LK_EXCEPTION});
    TExceptionRecord record;
    record.ExceptionCode = 0xC0000094;
    const TExceptionPointers pointers{&record, nullptr};
    root->add_exception(&pointers);
    EXPECT_TRUE(notified.empty());
}

TEST(OsLine, BuildsFrom8250OnAreWindows8) {
    const struct {
        std::uint32_t build;
        const char* line;
    } cases[] = {
        {9600, "OS : Windows 8 (64 bits), Build 9600, service pack 0.0"},
        {8250, "OS : Windows 8 (64 bits), Build 8250, service pack 0.0"},
        {6, "OS : Debian GNU/Linux 12, Linux 6.1.0 (64 bits), Build 6, service pack 0.0"},
    };
    for (const auto& c : cases) {
        const TOsLine line = os_line(QStringLiteral("Debian GNU/Linux 12, Linux 6.1.0"),
                                     QStringLiteral("64 bits"), c.build, 0, 0);
        EXPECT_EQ(safe_format(line.format, line.args), c.line);
    }
}

TEST_F(SystemInformation, StartupInformationNamesTheSystemAndThisProgram) {
    root->add_startup_info();
    ASSERT_EQ(notified.size(), 1U);
    const QStringList lines = lines_of(notified[0]);
    const platform::os_version os = platform::read_os_version();
    ASSERT_GE(lines.size(), 4);
    EXPECT_TRUE(lines[0].startsWith("OS : " + QString::fromStdString(os.pretty_name)))
        << lines[0].toStdString();
    EXPECT_TRUE(lines[0].contains(", Build " + QString::number(os.kernel_major) +
                                  ", service pack " + QString::number(os.kernel_minor) + "."));
    EXPECT_TRUE(lines[1].startsWith("file name : /")) << lines[1].toStdString();
    EXPECT_TRUE(lines[1].endsWith("/log_diagnostics_tests"));
    // This test program carries no version record: no version line.
    EXPECT_TRUE(lines[2].startsWith("User language   : ")) << lines[2].toStdString();
    EXPECT_TRUE(lines[3].startsWith("System language : "));
}

TEST(LocaleDisplayName, LanguageAndTerritory) {
    EXPECT_EQ(locale_display_name(QLocale(QStringLiteral("en_US"))), "English (United States)");
    EXPECT_EQ(locale_display_name(QLocale(QStringLiteral("de_AT"))), "German (Austria)");
    EXPECT_EQ(locale_display_name(QLocale::c()), "C");
}

} // namespace
} // namespace zel
