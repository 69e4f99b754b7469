#include "tests/log_core/qt_print.h"
#include "tools/zelrep/report_arguments.h"

#include <gtest/gtest.h>

namespace zel {
namespace {

struct arguments_case {
    const char* name;
    QStringList arguments;
    bool valid;
    const char* report_path;
    const char* comment;
    const char* error;
};

void PrintTo(const arguments_case& c, std::ostream* out) {
    *out << c.name;
}

class ReportArguments : public ::testing::TestWithParam<arguments_case> {};

TEST_P(ReportArguments, AreReadAsTheSenderGivesThem) {
    const arguments_case& c = GetParam();
    const TReportArguments parsed = parse_report_arguments(c.arguments);
    EXPECT_EQ(parsed.valid, c.valid);
    EXPECT_EQ(parsed.report_path, QString::fromUtf8(c.report_path));
    EXPECT_EQ(parsed.comment, QString::fromUtf8(c.comment));
    EXPECT_EQ(parsed.error, QString::fromUtf8(c.error));
}

// The arguments are what the sender's command line becomes once split the Windows way: quotes
// are gone, and a quote inside the comment ends it early.
INSTANTIATE_TEST_SUITE_P(
    CommandLines, ReportArguments,
    ::testing::Values(
        arguments_case{"AsTheSenderWritesIt",
                       {"-raw_report", "/report_path=/tmp/work dir/report.zelrep",
                        "/comment=Customer email: a@b.c | Contacted person: Ann"},
                       true,
                       "/tmp/work dir/report.zelrep",
                       "Customer email: a@b.c | Contacted person: Ann",
                       ""},
        arguments_case{"QuoteInTheCommentSplitsIt",
                       {"-raw_report", "/report_path=/tmp/r.zelrep", "/comment=Contacted: O'Neil",
                        "said", "/hi"},
                       true,
                       "/tmp/r.zelrep",
                       "Contacted: O'Neil said /hi",
                       ""},
        arguments_case{"QuotesLeftByALauncherAreRemoved",
                       {"/RAW_REPORT", "-Report_Path=\"/tmp/r.zelrep\"", "/comment=\"x\""},
                       true,
                       "/tmp/r.zelrep",
                       "x",
                       ""},
        arguments_case{
            "CommentIsOptional", {"-raw_report", "/report_path=/tmp/r"}, true, "/tmp/r", "", ""},
        arguments_case{"NoArguments", {}, false, "", "", "-raw_report is missing"},
        arguments_case{"NoReportPath",
                       {"-raw_report", "/comment=x"},
                       false,
                       "",
                       "",
                       "/report_path=\"PATH\" is missing"},
        arguments_case{"EmptyReportPath",
                       {"-raw_report", "/report_path="},
                       false,
                       "",
                       "",
                       "/report_path=\"PATH\" is missing"},
        arguments_case{"UnknownOption",
                       {"-raw_report", "/report_path=/tmp/r", "--verbose"},
                       false,
                       "",
                       "",
                       "unknown option: --verbose"},
        arguments_case{"StrayArgument",
                       {"report", "-raw_report", "/report_path=/tmp/r"},
                       false,
                       "",
                       "",
                       "unexpected argument: report"}),
    [](const ::testing::TestParamInfo<arguments_case>& param) { return param.param.name; });

} // namespace
} // namespace zel
