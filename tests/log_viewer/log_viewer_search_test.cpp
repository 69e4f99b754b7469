#include "tests/log_viewer/viewer_fixture.h"

#include <QItemSelectionModel>

namespace zel::testing {
namespace {

class ViewerSearch : public ViewerTest {
protected:
    QColor highlight(QPalette::ColorGroup group) const {
        return viewer->palette().color(group, QPalette::Highlight);
    }
    ILogEventPtr current() const { return viewer->EventOf(viewer->currentIndex()); }
};

TEST_F(ViewerSearch, CaseFoldingIsAsciiOnly) {
    root->add(LK_INFO, QStringLiteral("boot"));
    root->add(LK_ERROR, QStringLiteral("disk error"));
    root->add(LK_INFO, QString::fromUtf8("\xc3\x89tat")); // "État"
    ASSERT_TRUE(wait_rows(3));

    EXPECT_TRUE(viewer->SearchNext(QStringLiteral("ERROR")));
    EXPECT_EQ(current(), root->getevent(1));
    EXPECT_TRUE(viewer->selectionModel()->isSelected(viewer->currentIndex()));
    EXPECT_EQ(viewer->SearchData().EventId(), root->getevent(1)->id());

    EXPECT_FALSE(viewer->SearchNext(QString::fromUtf8("\xc3\xa9"))); // "é" is not "É"
    EXPECT_TRUE(viewer->selectionModel()->selectedIndexes().isEmpty());
    EXPECT_EQ(viewer->SearchData().EventId(), root->getevent(1)->id()); // the last success
}

TEST_F(ViewerSearch, AMatchInsideACollapsedGroupIsFoundAndSelected) {
    const ILogGroupPtr group = root->new_group(QStringLiteral("transfer"));
    const ILogGroupPtr inner = group->new_group(QStringLiteral("retry"));
    inner->add(LK_INFO, QStringLiteral("the needle"));
    root->add(LK_INFO, QStringLiteral("after"));
    ASSERT_TRUE(test::wait_until([&] { return node(inner->getevent(0)).isValid(); }));
    const QModelIndex found = node(inner->getevent(0));
    ASSERT_FALSE(viewer->isExpanded(found.parent()));

    EXPECT_TRUE(viewer->SearchNext(QStringLiteral("NEEDLE")));
    EXPECT_EQ(current(), inner->getevent(0));
    EXPECT_TRUE(viewer->selectionModel()->isSelected(found));
    EXPECT_TRUE(viewer->isExpanded(found.parent()));
    EXPECT_TRUE(viewer->isExpanded(found.parent().parent()));

    // From the found row itself the same row is found again, both ways.
    EXPECT_TRUE(viewer->SearchPrevious({}, found));
    EXPECT_EQ(current(), inner->getevent(0));
    // No wrap-around: nothing after it in tree order from the last row backwards... forwards.
    EXPECT_FALSE(viewer->SearchNext(QStringLiteral("after"), found));
}

TEST_F(ViewerSearch, SearchColourStaysUntilTheUserMovesAndSetActiveFalseResets) {
    root->add(LK_INFO, QStringLiteral("one"));
    root->add(LK_INFO, QStringLiteral("two"));
    ASSERT_TRUE(wait_rows(2));
    const QColor focused = highlight(QPalette::Active);
    const QColor unfocused = highlight(QPalette::Inactive);

    ASSERT_TRUE(viewer->SearchNext(QStringLiteral("two")));
    EXPECT_EQ(highlight(QPalette::Active), to_qcolor(search_color));
    EXPECT_EQ(highlight(QPalette::Inactive), to_qcolor(search_color));
    EXPECT_TRUE(viewer->SearchData().Active());

    viewer->setCurrentIndex(node(root->getevent(0))); // the user moves on
    EXPECT_EQ(highlight(QPalette::Active), focused);
    EXPECT_EQ(viewer->SearchData().Text(), QStringLiteral("two")); // kept for the next search

    ASSERT_TRUE(viewer->SearchNext({})); // repeats the last text
    viewer->SearchData().SetActive(false);
    EXPECT_TRUE(viewer->SearchData().Text().isEmpty());
    EXPECT_EQ(viewer->SearchData().EventId(), no_search_event_id);
    EXPECT_FALSE(viewer->SearchData().Active());
    EXPECT_EQ(highlight(QPalette::Active), focused);
    EXPECT_EQ(highlight(QPalette::Inactive), unfocused);
}

TEST_F(ViewerSearch, TheHostCanSupplyTheMissingText) {
    root->add(LK_INFO, QStringLiteral("boot sequence"));
    ASSERT_TRUE(wait_rows(1));
    std::vector<std::pair<ILogEventPtr, QString>> told;
    viewer->set_OnSearchDone([&](TZelLogVisualizer*, const ILogEventPtr& Entry, bool& Success,
                                 QString& SearchText, ESearchDirection) {
        told.emplace_back(Entry, SearchText);
        if (SearchText.isEmpty()) {
            SearchText = QStringLiteral("boot");
            Success = true;
        }
    });
    EXPECT_TRUE(viewer->SearchNext({}));
    ASSERT_EQ(told.size(), 2u);
    EXPECT_EQ(told[0].first, nullptr);
    EXPECT_TRUE(told[0].second.isEmpty());
    EXPECT_EQ(told[1].first, root->getevent(0));
    EXPECT_EQ(told[1].second, QStringLiteral("boot"));
}

TEST_F(ViewerSearch, AnEmptyTextWithoutHandlerLeavesTheSelection) {
    root->add(LK_INFO, QStringLiteral("one"));
    ASSERT_TRUE(wait_rows(1));
    viewer->setCurrentIndex(node(root->getevent(0)));
    EXPECT_FALSE(viewer->SearchNext({}));
    EXPECT_EQ(current(), root->getevent(0));
    EXPECT_FALSE(viewer->SearchData().Active());
}

} // namespace
} // namespace zel::testing
