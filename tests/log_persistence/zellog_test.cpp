#include "log/persistence/log_storage.h"
#include "tests/log_persistence/persistence_fixture.h"
#include "tools/zellog/zellog_command.h"

#include <sstream>

namespace zel {
namespace {

using namespace testing;

struct run_result {
    int status;
    std::string out;
    std::string err;
};

run_result zellog(const std::vector<std::string>& arguments) {
    std::ostringstream out;
    std::ostringstream err;
    const int status = run_zellog(arguments, out, err);
    return {status, out.str(), err.str()};
}

class Zellog : public PersistenceTest {
protected:
    // A log with a group, a repeat and a two-line text, written by a storage.
    std::string write_log() {
        const auto storage = std::make_shared<TLogStorage>();
        storage->set_fq_filename(path("log_file.20240131.120000.000.log"));
        storage->set_flush_on(Tlog_kinds::all());
        root->register_storage(storage);
        const TDateTime noon = at(2024, 1, 31, 12, 0, 0);
        const ILogGroupPtr upload = group_at(root, "upload", noon);
        add_at(upload, LK_ERROR, "refused", noon + one_second);
        add_at(upload, LK_ERROR, "refused", noon + 2 * one_second);
        add_at(root, LK_INFO, "two\r\nlines", noon + 3 * one_second);
        storage->write_event(nullptr);
        return storage->fq_filename().toStdString();
    }

    void write_file_with_counts() {
        const auto storage = std::make_shared<TLogStorage>();
        storage->set_fq_filename(path("counted.log"));
        storage->set_event_header("{date} {time} {repeat_count}{type}");
        root->register_storage(storage);
        const TDateTime noon = at(2024, 1, 31, 12, 0, 0);
        for (int i = 1; i <= 3; ++i)
            add_at(root, LK_ERROR, "refused", noon + i * one_second);
        storage->write_event(nullptr);
    }
};

TEST_F(Zellog, ShowsTheTreeWithKindTimeRepeatsAndIndentedText) {
    const std::string file = write_log();
    const run_result shown = zellog({"show", file});
    EXPECT_EQ(shown.status, 0);
    EXPECT_EQ(shown.err, "");
    EXPECT_NE(shown.out.find(
                  "Extracted from \"" + file +
                  "\"\n"
                  "Group        2024-01-31 12:00:00.000  upload\n"
                  "  Error        2024-01-31 12:00:01.000  refused\n"
                  "                                        ^^^Repeated 2 Times in 1 second(s)^^^\n"
                  "Info         2024-01-31 12:00:03.000  two\n"
                  "                                      lines\n"),
              std::string::npos)
        << shown.out;
    EXPECT_NE(shown.out.find("Header info"), std::string::npos);
}

TEST_F(Zellog, ShowsARepeatCountWhereTheFileRecordsIt) {
    write_file_with_counts();
    const run_result shown = zellog({"show", path("counted.log").toStdString()});
    EXPECT_NE(shown.out.find("Error        2024-01-31 12:00:01.000  (x3) refused\n"),
              std::string::npos)
        << shown.out;
}

TEST_F(Zellog, KindsKeepTheirEntriesAndTheGroupsAroundThem) {
    const std::string file = write_log();
    const run_result errors = zellog({"show", file, "--kinds", "Error"});
    EXPECT_EQ(errors.status, 0);
    EXPECT_NE(errors.out.find("upload\n  Error"), std::string::npos) << errors.out;
    EXPECT_EQ(errors.out.find("Info "), std::string::npos) << errors.out;
    EXPECT_EQ(zellog({"show", "--kinds=info,warning", file}).status, 0);
}

TEST_F(Zellog, SaysWhyWhenNothingLoadsAndHowToCallIt) {
    const run_result missing = zellog({"show", path("missing.log").toStdString()});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.out, "");
    EXPECT_NE(missing.err.find("zellog: nothing could be loaded from"), std::string::npos);
    EXPECT_NE(missing.err.find("does not exist"), std::string::npos);

    for (const std::vector<std::string>& bad : {std::vector<std::string>{},
                                                {"show"},
                                                {"list", "x"},
                                                {"show", "a", "b"},
                                                {"show", "a", "--kinds"},
                                                {"show", "a", "--kinds", "loud"},
                                                {"show", "a", "--all"}}) {
        const run_result wrong = zellog(bad);
        EXPECT_EQ(wrong.status, 2);
        EXPECT_NE(wrong.err.find("usage: zellog show PATH"), std::string::npos);
    }
    EXPECT_EQ(zellog({"--help"}).status, 0);
    EXPECT_EQ(zellog({"--version"}).out, "zellog 3.0.0.0\n");
}

} // namespace
} // namespace zel
