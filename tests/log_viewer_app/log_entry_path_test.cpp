// An entry's place found again in the log read anew from its grown file.
#include "tests/log_core/qt_print.h"
#include "tests/log_viewer_app/writing_session.h"
#include "tools/zel-log-viewer/log_entry_path.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace zel::testing {
namespace {

std::shared_ptr<TLogRoot> read_back(const QString& file) {
    auto reader = TLogRoot::Create();
    reader->set_header({});
    reader->set_footer({});
    ILogGroupPtr group;
    reader->add_seeded_group(group, GK_READER);
    EXPECT_TRUE(group->LoadFromFile(file));
    return reader;
}

ILogGroupPtr as_group(const ILogEventPtr& event) {
    return std::dynamic_pointer_cast<ILogGroup>(event);
}

TEST(LogEntryPath, FindsTheSameEntriesInTheGrownFileAndNothingThatIsGone) {
    QTemporaryDir dir;
    const QString file = dir.filePath("send.20240131.120000.000.log");
    TWritingSession session(file);
    session.root->add(LK_INFO, QStringLiteral("start"));
    const ILogGroupPtr upload = session.group(session.root, QStringLiteral("Upload"));
    upload->add(LK_INFO, QStringLiteral("block sent"));
    upload->add(LK_WARNING, QStringLiteral("slow"));
    upload->add(LK_INFO, QStringLiteral("block sent")); // not a repeat: the warning is between
    session.write();

    const auto before = read_back(file);
    const auto loaded = as_group(before->getevent(0));
    ASSERT_TRUE(loaded);
    const auto upload_before = as_group(loaded->getevent(1));
    ASSERT_TRUE(upload_before);
    ASSERT_EQ(upload_before->text(), QStringLiteral("Upload"));
    const ILogEventPtr second_block = upload_before->getevent(2);
    const ILogEventPtr header_info = loaded->getevent(loaded->event_count() - 1);
    ASSERT_EQ(header_info->text(), QStringLiteral("Header info"));
    const TLogEntryPath block_path = entry_path(second_block, before);
    const TLogEntryPath header_path = entry_path(header_info, before);
    ASSERT_EQ(block_path.size(), 3u);
    EXPECT_EQ(block_path[2].ordinal, 1);
    EXPECT_EQ(find_entry(before, block_path), second_block);

    // The session goes on: the last block is repeated (its text gains the repeat line), a new
    // group comes; the header info moves down.
    upload->add(LK_INFO, QStringLiteral("block sent"));
    session.group(session.root, QStringLiteral("Report"))->add(LK_INFO, QStringLiteral("made"));
    const auto after = read_back(file);

    const ILogEventPtr block_again = find_entry(after, block_path);
    ASSERT_TRUE(block_again);
    EXPECT_EQ(block_again->index(), 2);
    EXPECT_NE(block_again->text(), second_block->text());
    EXPECT_EQ(block_again->parent()->text(), QStringLiteral("Upload"));
    const ILogEventPtr header_again = find_entry(after, header_path);
    ASSERT_TRUE(header_again);
    EXPECT_EQ(header_again->text(), QStringLiteral("Header info"));
    EXPECT_GT(header_again->index(), header_info->index());

    TLogEntryPath gone = block_path;
    gone[2].ordinal = 5;
    gone[2].index = 7;
    EXPECT_FALSE(find_entry(after, gone));
    EXPECT_TRUE(entry_path(second_block, after).empty()); // not below that root
    EXPECT_TRUE(entry_path(nullptr, after).empty());

    before->clear_all();
    after->clear_all();
}

} // namespace
} // namespace zel::testing
