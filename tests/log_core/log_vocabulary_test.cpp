#include "log/core/log_vocabulary.h"
#include "tests/log_core/qt_print.h"

#include <gtest/gtest.h>

namespace zel {
namespace {

TEST(LogVocabulary, KindNamesFollowTheKindOrder) {
    EXPECT_EQ(log_kind_name(LK_DECORATION), QStringLiteral("------------"));
    EXPECT_EQ(log_kind_name(LK_SHOWSTOPPER), QStringLiteral("Show Stopper"));
    EXPECT_EQ(log_kind_name(LK_VERYVERBOSE), QStringLiteral("Very Verbose"));
    EXPECT_EQ(log_kind_name(LK_DEBUG), QStringLiteral("Debug"));
    EXPECT_TRUE(log_kind_name(static_cast<Tlog_kind>(13)).isEmpty());
}

TEST(LogVocabulary, KindSetIsASixteenBitMask) {
    Tlog_kinds kinds{LK_DEBUG, LK_ERROR};
    EXPECT_EQ(kinds.mask(), (1u << LK_DEBUG) | (1u << LK_ERROR));
    EXPECT_TRUE(kinds.contains(LK_ERROR));
    EXPECT_FALSE(kinds.contains(LK_INFO));
    kinds.exclude(LK_ERROR);
    EXPECT_EQ(kinds, Tlog_kinds{LK_DEBUG});
    EXPECT_EQ(Tlog_kinds::all().mask(), 0x1FFF);
    // No value above 15 is ever a member, whatever the mask holds.
    for (int value : {16, 17, 200, 255})
        EXPECT_FALSE(Tlog_kinds::from_mask(0xFFFF).contains(static_cast<Tlog_kind>(value)));
}

TEST(LogVocabulary, InfoItemTableHasTheTagsAndWidths) {
    EXPECT_EQ(log_item_fmts[lii_date_short].name, u"date_short");
    EXPECT_EQ(log_item_fmts[lii_date_short].width, 7);
    EXPECT_EQ(log_item_fmts[lii_last_date_short].width, 6);
    EXPECT_EQ(log_item_fmts[lii_group_prefix].name, u"group_prefix");
    EXPECT_TRUE(log_item_fmts[nb_info_items].name.isEmpty());
    EXPECT_EQ(group_kind_markers[GK_READER], u"|GK_READER|");
}

} // namespace
} // namespace zel
