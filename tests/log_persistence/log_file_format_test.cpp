#include "log/persistence/log_file_format.h"
#include "tests/log_persistence/persistence_fixture.h"

#include <functional>

namespace zel {
namespace {

using namespace testing;

// The prefix of an event directly in the root at 12:34:56.789 with the default layout: the time,
// two blanks, the kind's name in a 12-character column, then 4 blanks of indentation.
QString root_prefix(const char* kind) {
    return QStringLiteral("12:34:56.789  %1    ").arg(QString::fromLatin1(kind), -12);
}

const QString blanks30(30, u' ');
const TDateTime noon = at(2024, 1, 31, 12, 34, 56, 789);

struct entry_case {
    const char* what;
    std::function<ILogEventPtr(const ILogGroupPtr& root)> make;
    log_entry_layout layout;
    QString expected;
};

void PrintTo(const entry_case& param, std::ostream* out) {
    *out << param.what;
}

const log_entry_layout defaults;

log_entry_layout with_decoration(std::int32_t padding, const QString& pattern) {
    log_entry_layout layout;
    layout.decoration_padding = padding;
    layout.decoration_pattern = pattern;
    return layout;
}

const entry_case entry_cases[]{
    {"info text starts in column 31",
     [](const ILogGroupPtr& root) { return add_at(root, LK_INFO, "hello", noon); }, defaults,
     root_prefix("Info") + "hello"},
    {"three lines keep the first line's text column",
     [](const ILogGroupPtr& root) { return add_at(root, LK_ERROR, "one\r\ntwo\r\nthree", noon); },
     defaults, root_prefix("Error") + "one\r\n" + blanks30 + "two\r\n" + blanks30 + "three"},
    {"a lone LF or CR breaks the line like CR LF",
     [](const ILogGroupPtr& root) { return add_at(root, LK_INFO, "one\ntwo\rthree", noon); },
     defaults, root_prefix("Info") + "one\r\n" + blanks30 + "two\r\n" + blanks30 + "three"},
    {"repeats add a line with their count and span",
     [](const ILogGroupPtr& root) {
         const ILogEventPtr first = add_at(root, LK_WARNING, "again", noon);
         add_at(root, LK_WARNING, "again", noon + 1.5 * one_second);
         add_at(root, LK_WARNING, "again", noon + 1.5 * one_second);
         return first;
     },
     defaults,
     root_prefix("Warning") + "again\r\n" + blanks30 +
         "^^^Repeated 3 Times in 1 second(s) 500 millisecond(s)^^^"},
    {"decoration centred in 120 stars",
     [](const ILogGroupPtr& root) { return add_at(root, LK_DECORATION, "Session", noon); },
     defaults, root_prefix("------------") + QString(56, u'*') + "Session" + QString(57, u'*')},
    {"decoration pattern: left from its start, right from its end",
     [](const ILogGroupPtr& root) { return add_at(root, LK_DECORATION, "abc", noon); },
     with_decoration(11, "<=>"), root_prefix("------------") + "<===abc>=<<"},
    {"decoration as long as the field is left alone",
     [](const ILogGroupPtr& root) { return add_at(root, LK_DECORATION, "abcdef", noon); },
     with_decoration(6, "*"), root_prefix("------------") + "abcdef"},
    {"decoration longer than the field is left alone",
     [](const ILogGroupPtr& root) { return add_at(root, LK_DECORATION, "abcdefgh", noon); },
     with_decoration(6, "*"), root_prefix("------------") + "abcdefgh"},
    {"no centring without padding",
     [](const ILogGroupPtr& root) { return add_at(root, LK_DECORATION, "abc", noon); },
     with_decoration(0, "*"), root_prefix("------------") + "abc"},
    {"no centring without pattern",
     [](const ILogGroupPtr& root) { return add_at(root, LK_DECORATION, "abc", noon); },
     with_decoration(20, ""), root_prefix("------------") + "abc"},
    {"an entry two groups down is indented twice more",
     [](const ILogGroupPtr& root) {
         const ILogGroupPtr outer = group_at(root, "outer", noon);
         const ILogGroupPtr inner = group_at(outer, "inner", noon);
         return add_at(inner, LK_HINT, "deep", noon);
     },
     defaults, root_prefix("Hint") + QString(8, u' ') + "deep"},
    {"a group ends with its kind's marker",
     [](const ILogGroupPtr& root) { return group_at(root, "read back", noon, GK_READER); },
     defaults, root_prefix("Group") + "read back|GK_READER|"},
    {"a plain group has no marker",
     [](const ILogGroupPtr& root) { return group_at(root, "plain", noon); }, defaults,
     root_prefix("Group") + "plain"},
    {"empty text gives no entry",
     [](const ILogGroupPtr& root) { return group_at(root, QString(), noon); }, defaults, QString()},
};

class EntryFormat : public PersistenceTest, public ::testing::WithParamInterface<entry_case> {};

TEST_P(EntryFormat, MatchesTheFileLayout) {
    const entry_case& param = GetParam();
    const ILogEventPtr event = param.make(root);
    EXPECT_EQ(format_event_line(*event, param.layout), param.expected);
}

INSTANTIATE_TEST_SUITE_P(Entries, EntryFormat, ::testing::ValuesIn(entry_cases));

TEST_F(PersistenceTest, EntryHeaderColumnsTakeTheirWidthsAndLongerValuesShiftTheLine) {
    const ILogEventPtr event = add_at(root, LK_VERYVERBOSE, "text", noon);
    log_entry_layout layout;
    layout.event_header = "{date} {type}|{depth}|";
    EXPECT_EQ(format_event_line(*event, layout), "2024-01-31 Very Verbose|1 |    text");
    layout.event_header = "[{type}]";
    layout.group_indent = 0;
    EXPECT_EQ(format_event_line(*event, layout), "[Very Verbose]text");
}

TEST_F(PersistenceTest, LocaleLayoutWritesTheTranslatedText) {
    const ILogEventPtr event = add_at(root, LK_INFO, "native", noon);
    event->set_local_text("local");
    log_entry_layout layout;
    layout.use_locale = true;
    EXPECT_EQ(format_event_line(*event, layout), root_prefix("Info") + "local");
    layout.use_locale = false;
    EXPECT_EQ(format_event_line(*event, layout), root_prefix("Info") + "native");
}

TEST(LogFileHeader, ListsItsTagsInOrderAndQuotesNames) {
    log_file_header header;
    header.file_name = "/logs/it's.log";
    header.event_header = "{time}  {type}";
    header.long_date_format = R"(yyyy"-"mm"-"dd)";
    header.short_date_format = "dd mmm";
    header.long_time_format = R"(hh":"nn":"ss"."zzz)";
    header.short_time_format = R"(hh":"nn":"ss)";
    header.module.app_name = "sender";
    header.module.app_version = "3.0.0.0";
    EXPECT_EQ(format_header_block(header), ":std_log='/logs/it''s.log'\r\n"
                                           ":library=false\r\n"
                                           ":app_name=sender\r\n"
                                           ":app_version=3.0.0.0\r\n"
                                           ":most_recent=first\r\n"
                                           ":event_header='{time}  {type}'\r\n"
                                           ":LongDateFormat=yyyy\"-\"mm\"-\"dd\r\n"
                                           ":ShortDateFormat=dd mmm\r\n"
                                           ":LongTimeFormat=hh\":\"nn\":\"ss\".\"zzz\r\n"
                                           ":ShortTimeFormat=hh\":\"nn\":\"ss\r\n"
                                           ":status=started\r\n"
                                           ":group_indent=4\r\n"
                                           "\r\n");

    header.crash_log = true;
    header.most_recent_first = false;
    header.stopped = true;
    header.group_indent = 2;
    header.module = {};
    header.module.library = true;
    header.module.library_name = "libzel.so";
    header.module.host_name = "/usr/bin/host";
    header.module.host_version = "1.2";
    const QString text = format_header_block(header);
    EXPECT_TRUE(text.startsWith(":crash_log='/logs/it''s.log'\r\n"
                                ":library=true\r\n"
                                ":library_name=libzel.so\r\n"
                                ":host_name=/usr/bin/host\r\n"
                                ":host_version=1.2\r\n"
                                ":most_recent=last\r\n"))
        << text.toStdString();
    EXPECT_TRUE(text.endsWith(":status=stopped\r\n:group_indent=2\r\n\r\n"));
}

TEST(LogFileHeader, ThisProgramIsNamedWithItsVersion) {
    const log_module_tags& module = this_module_tags();
    EXPECT_FALSE(module.library);
    EXPECT_EQ(module.app_name, "log_persistence_tests");
    EXPECT_EQ(module.app_version, "3.0.0.0");
}

// Where a write cut short may end so that the file still reads back: after the header block and
// whole entries only (a continuation line belongs to the entry above it).
TEST(LogFileCut, KeepsTheHeaderAndWholeEntriesOnly) {
    const std::string header = ":std_log='x'\r\n:status=started\r\n\r\n";
    const std::string file = header + "12:00  Info    first line\r\n"
                                      "               second line\r\n"
                                      "12:01  Error   next\r\n";
    const std::size_t first_end = file.find("12:01");
    const struct {
        std::size_t limit;
        std::size_t kept;
    } cases[] = {
        {0, 0},
        {header.size() - 1, 0},             // not even the header
        {header.size(), header.size()},     // the header alone
        {header.size() + 5, header.size()}, // inside the first entry
        {first_end - 2, header.size()},     // its continuation line without CR LF
        {first_end, first_end},             // the first entry with its continuation
        {file.size() - 1, first_end},       // the last entry without its LF
        {file.size(), file.size()},         // everything
        {file.size() + 10, file.size()},    // more than there is
    };
    for (const auto& c : cases)
        EXPECT_EQ(whole_entries_length(file, header.size(), c.limit), c.kept) << c.limit;
    // A line end followed by a continuation line is no entry's end.
    EXPECT_EQ(whole_entries_length(file, header.size(), file.find("second") - 8), header.size());
}

} // namespace
} // namespace zel
