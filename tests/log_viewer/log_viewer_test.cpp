#include "filesystem/memory_stream.h"
#include "tests/log_viewer/viewer_fixture.h"

#include <QAction>
#include <QHeaderView>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>

#include <algorithm>
#include <thread>
#include <vector>

namespace zel::testing {
namespace {

class Viewer : public ViewerTest {};

TEST_F(Viewer, TenEventsFromAWorkerGiveOneWakeUpAndTenRows) {
    QCoreApplication::sendPostedEvents(viewer.get(), TZelLogVisualizer::WM_LOG_RECEIVED);
    TWakeUpCounter wake_ups;
    viewer->installEventFilter(&wake_ups);
    std::thread([&] {
        for (int i = 0; i < 10; ++i)
            root->add(LK_INFO, QStringLiteral("event %1").arg(i));
    }).join();
    ASSERT_TRUE(wait_rows(10));
    EXPECT_EQ(wake_ups.count, 1);
    // Newest first (When, descending): every row shows its own event.
    for (int row = 0; row < 10; ++row)
        EXPECT_EQ(viewer->EventOf(model().index(row, 0)), root->getevent(9 - row));
}

TEST_F(Viewer, EntriesOfAGroupArrivingBeforeTheGroupAreStillPlacedUnderIt) {
    const ILogGroupPtr outer = root->new_group(QStringLiteral("outer"));
    const ILogGroupPtr inner = outer->new_group(QStringLiteral("inner"));
    inner->add(LK_INFO, QStringLiteral("deep"));
    QCoreApplication::sendPostedEvents(viewer.get(), TZelLogVisualizer::WM_LOG_RECEIVED);
    viewer->FlushMessageQueue();
    // Only the deepest entry is told: the rows between appear with it.
    viewer->manual_add(this, inner->getevent(0));
    ASSERT_TRUE(test::wait_until([&] { return node(inner->getevent(0)).isValid(); }));
    EXPECT_EQ(model().parent(node(inner->getevent(0))), node(inner));
    EXPECT_EQ(model().parent(node(inner)), node(outer));
}

TEST_F(Viewer, EventCellUsesTheTemplatesAndTheRepeatSuffix) {
    root->add(LK_INFO, QStringLiteral("plain"));
    const ILogEventPtr own = root->new_event(LK_INFO);
    own->set_PreProcessFormat(QStringLiteral("[{type}] {text}"));
    own->add(QStringLiteral("formatted"));
    root->add(LK_WARNING, QStringLiteral("twice"));
    root->add(LK_WARNING, QStringLiteral("twice"));
    ASSERT_TRUE(wait_rows(3));
    EXPECT_EQ(model().event_text(node(root->getevent(0))), QStringLiteral("plain"));
    EXPECT_EQ(model().event_text(node(own)), QStringLiteral("[Info] formatted"));
    const ILogEventPtr twice = root->getevent(2);
    ASSERT_EQ(twice->repeat_count(), 1u);
    EXPECT_TRUE(
        model().event_text(node(twice)).startsWith(QStringLiteral("twice (Repeated 2 times in ")));
    EXPECT_TRUE(model().event_text(node(twice)).endsWith(QStringLiteral(" Sec.)")));
}

TEST_F(Viewer, AChangedRowIsToldToTheViewOnlyWhileOnScreen) {
    const ILogGroupPtr early = root->new_group(QStringLiteral("early"));
    for (int i = 0; i < 200; ++i)
        root->add(LK_INFO, QStringLiteral("filler %1").arg(i));
    const ILogGroupPtr late = root->new_group(QStringLiteral("late"));
    ASSERT_TRUE(wait_rows(202));
    const QSignalSpy changed(&model(), &QAbstractItemModel::dataChanged);
    // The newest rows are on top: the late group is on screen, the early one far below.
    early->add(LK_INFO, QStringLiteral("below the screen"));
    late->add(LK_INFO, QStringLiteral("on screen"));
    ASSERT_TRUE(wait_rows(1, node(early)));
    ASSERT_TRUE(wait_rows(1, node(late)));
    const auto told = [&](const ILogGroupPtr& group) {
        return std::any_of(changed.begin(), changed.end(), [&](const QList<QVariant>& signal) {
            return signal.at(0).toModelIndex() == node(group);
        });
    };
    EXPECT_TRUE(told(late));
    EXPECT_FALSE(told(early));
    EXPECT_TRUE(viewer->viewport()->rect().intersects(viewer->visualRect(node(late))));
    EXPECT_FALSE(viewer->viewport()->rect().intersects(viewer->visualRect(node(early))));
}

TEST_F(Viewer, FormatedAndHtmlTextDescribeTheRow) {
    root->add(LK_INFO, QStringLiteral("line one\r\nline two"));
    ASSERT_TRUE(wait_rows(1));
    const ILogEventPtr event = root->getevent(0);
    const QModelIndex row = node(event);
    EXPECT_EQ(viewer->ToFormatedText(row),
              event->preprocess(QStringLiteral("{date_short} {time_short} | {text}"), true, false));
    const QString html = viewer->ToHtmlText(row);
    EXPECT_TRUE(html.startsWith(QStringLiteral("<p><b>When</b><IND x=\"85\">: ")));
    EXPECT_TRUE(
        html.endsWith(QStringLiteral("<b>Text</b><IND x=\"85\">: line one\r\nline two</p>")));
    EXPECT_EQ(html.count(QStringLiteral("<br>")), 7);
    // A multi-line event gets a taller row than a single line.
    root->add(LK_INFO, QStringLiteral("single"));
    ASSERT_TRUE(wait_rows(2));
    const auto height = [&](const QModelIndex& index) {
        return viewer->sizeHintForIndex(index.siblingAtColumn(TZelLogVisualizer::colEvent))
            .height();
    };
    EXPECT_GT(height(node(event)), height(node(root->getevent(1))));
}

TEST_F(Viewer, RowColoursFollowTheColourMode) {
    root->add(LK_WARNING, QStringLiteral("low disk"));
    const ILogGroupPtr group = root->new_group(QStringLiteral("work"));
    group->add(LK_INFO, QStringLiteral("inside"));
    root->add(LK_INFO, QStringLiteral("top"));
    ASSERT_TRUE(test::wait_until([&] { return model().rowCount(node(group)) == 1; }));
    const QModelIndex warning = node(root->getevent(0));
    const QModelIndex inside = node(group->getevent(0));
    const QModelIndex top = node(root->getevent(2));
    const TColor group_color = group_palette(0); // the first group after the viewer's creation

    struct Case {
        ELogColorMode mode;
        QModelIndex row;
        std::optional<TColor> expected;
    };
    const std::vector<Case> cases{{lcmKind, warning, 0xB9B9FF},
                                  {lcmGroupKind, warning, 0xB9B9FF},
                                  {lcmGroupKind, inside, group_color},
                                  {lcmGroupKind, top, std::nullopt},
                                  {lcmKind, top, white_color},
                                  {lcmNone, warning, std::nullopt},
                                  {lcmDepth, node(group), group_palette(1)},
                                  {lcmDepth, inside, group_palette(1)},
                                  {lcmCustom, warning, std::nullopt}};
    for (const Case& c : cases) {
        viewer->SetColorMode(c.mode);
        EXPECT_EQ(model().row_color(c.row), c.expected)
            << "mode " << int{c.mode} << " row " << c.row.row();
    }

    viewer->SetOverrideColor(top, 0x123456);
    for (int mode = lcmNone; mode <= lcmCustom; ++mode) {
        viewer->SetColorMode(static_cast<ELogColorMode>(mode));
        EXPECT_EQ(model().row_color(top), TColor{0x123456}) << "mode " << mode;
    }
}

TEST_F(Viewer, TheHostDecidesInCustomModeAndHasTheLastWordElseUnlessTheRowIsSettled) {
    root->add(LK_WARNING, QStringLiteral("low disk"));
    root->add(LK_INFO, QStringLiteral("top"));
    ASSERT_TRUE(wait_rows(2));
    const QModelIndex warning = node(root->getevent(0));
    const QModelIndex top = node(root->getevent(1));
    std::vector<std::pair<QString, std::optional<TColor>>> asked;
    viewer->set_OnRowBackground([&](const ILogEventPtr& entry, std::optional<TColor>& color) {
        asked.emplace_back(entry->text(), color);
        if (entry->text().contains(QStringLiteral("disk")))
            color = 0x0000FF;
    });

    viewer->SetColorMode(lcmCustom);
    EXPECT_EQ(model().row_color(warning), TColor{0x0000FF});
    EXPECT_EQ(model().row_color(top), std::nullopt);
    viewer->SetColorMode(lcmKind); // the host sees the mode's colour and may change it
    EXPECT_EQ(model().row_color(warning), TColor{0x0000FF});
    EXPECT_EQ(model().row_color(top), white_color);
    const decltype(asked) expected{{QStringLiteral("low disk"), std::nullopt},
                                   {QStringLiteral("top"), std::nullopt},
                                   {QStringLiteral("low disk"), TColor{0xB9B9FF}},
                                   {QStringLiteral("top"), white_color}};
    EXPECT_EQ(asked, expected);

    asked.clear();
    viewer->SetColorMode(lcmDepth); // a top-level event row: settled by the mode
    EXPECT_EQ(model().row_color(top), std::nullopt);
    viewer->SetOverrideColor(warning, 0x123456);
    EXPECT_EQ(model().row_color(warning), TColor{0x123456});
    EXPECT_TRUE(asked.empty());
}

TEST_F(Viewer, TheSixteenthGroupWrapsToPaletteEntryZero) {
    std::vector<ILogGroupPtr> groups;
    groups.reserve(16);
    for (int i = 0; i < 16; ++i)
        groups.push_back(root->new_group(QStringLiteral("group %1").arg(i)));
    ASSERT_TRUE(wait_rows(16));
    viewer->SetColorMode(lcmGroup);
    EXPECT_EQ(model().row_color(node(groups[1])), group_palette(1));
    EXPECT_EQ(model().row_color(node(groups[14])), group_palette(14));
    EXPECT_EQ(model().row_color(node(groups[15])), group_palette(0));
}

TEST_F(Viewer, HeaderClicksSortByIdBothWaysButNeverByEvent) {
    for (int i = 0; i < 5; ++i)
        root->add(i % 2 == 0 ? LK_INFO : LK_ERROR, QStringLiteral("event %1").arg(i));
    ASSERT_TRUE(wait_rows(5));
    viewer->setColumnHidden(TZelLogVisualizer::colUniqueId, false);
    QHeaderView& header = *viewer->header();
    const auto click = [&](int column) {
        QTest::mouseClick(header.viewport(), Qt::LeftButton, {},
                          QPoint(header.sectionViewportPosition(column) + 5, header.height() / 2));
    };
    const auto ids = [&] {
        std::vector<std::uint32_t> result;
        for (int row = 0; row < model().rowCount(); ++row)
            result.push_back(viewer->EventOf(model().index(row, 0))->id());
        return result;
    };
    click(TZelLogVisualizer::colUniqueId); // from When descending: Unique Id ascending
    EXPECT_EQ(header.sortIndicatorSection(), TZelLogVisualizer::colUniqueId);
    std::vector<std::uint32_t> sorted = ids();
    EXPECT_TRUE(std::is_sorted(sorted.begin(), sorted.end()));
    click(TZelLogVisualizer::colUniqueId);
    sorted = ids();
    EXPECT_TRUE(std::is_sorted(sorted.rbegin(), sorted.rend()));

    click(TZelLogVisualizer::colEvent);
    EXPECT_EQ(header.sortIndicatorSection(), TZelLogVisualizer::colUniqueId);
    EXPECT_EQ(header.sortIndicatorOrder(), Qt::DescendingOrder);

    // New rows take their sorted place.
    root->add(LK_INFO, QStringLiteral("newest"));
    ASSERT_TRUE(wait_rows(6));
    EXPECT_EQ(viewer->EventOf(model().index(0, 0)), root->getevent(5));
}

TEST_F(Viewer, ClickingWhenTwiceReturnsToItsDirection) {
    QHeaderView& header = *viewer->header();
    const Qt::SortOrder start = header.sortIndicatorOrder();
    for (int i = 0; i < 2; ++i)
        QTest::mouseClick(header.viewport(), Qt::LeftButton, {},
                          QPoint(header.sectionViewportPosition(0) + 5, header.height() / 2));
    EXPECT_EQ(header.sortIndicatorSection(), TZelLogVisualizer::colWhen);
    EXPECT_EQ(header.sortIndicatorOrder(), start);
}

TEST_F(Viewer, HeaderMenuViewNoneAndViewAll) {
    QMenu& menu = *viewer->HeaderPopupMenu();
    EXPECT_EQ(menu.objectName(), QStringLiteral("HeaderPopupMenu"));
    const QList<QAction*> items = menu.actions();
    ASSERT_EQ(items.size(), 11); // eight columns, separator, View all, View none
    EXPECT_EQ(items[4]->text(), QStringLiteral("Unique Id"));
    EXPECT_TRUE(items[0]->isChecked());
    EXPECT_FALSE(items[4]->isChecked());

    items[4]->trigger();
    EXPECT_FALSE(viewer->isColumnHidden(4));
    EXPECT_TRUE(items[4]->isChecked());

    items[10]->trigger(); // View none
    for (int column = 0; column < 8; ++column) {
        EXPECT_TRUE(viewer->isColumnHidden(column)) << column;
        EXPECT_FALSE(items[column]->isChecked()) << column;
    }
    items[9]->trigger(); // View all
    for (int column = 0; column < 8; ++column) {
        EXPECT_FALSE(viewer->isColumnHidden(column)) << column;
        EXPECT_TRUE(items[column]->isChecked()) << column;
    }
}

TEST_F(Viewer, AHiddenKindsRowsDisappearAndComeBack) {
    const ILogGroupPtr group = root->new_group(QStringLiteral("work"));
    group->add(LK_DEBUG, QStringLiteral("detail"));
    root->add(LK_DEBUG, QStringLiteral("top detail"));
    root->add(LK_INFO, QStringLiteral("info"));
    ASSERT_TRUE(test::wait_until([&] { return model().rowCount(node(group)) == 1; }));
    const auto hidden = [&](const ILogEventPtr& event) {
        const QModelIndex row = node(event);
        return viewer->isRowHidden(row.row(), row.parent());
    };
    TZelLogEntryDisplayOptions& debug = *viewer->EntryDisplayOptions().FindByKind(LK_DEBUG);
    debug.set_Visible(false);
    EXPECT_TRUE(hidden(group->getevent(0)));
    EXPECT_TRUE(hidden(root->getevent(1)));
    EXPECT_FALSE(hidden(root->getevent(2)));

    root->add(LK_DEBUG, QStringLiteral("later detail")); // starts hidden
    ASSERT_TRUE(wait_rows(4));
    EXPECT_TRUE(hidden(root->getevent(3)));

    debug.set_Visible(true);
    for (const ILogEventPtr& event : {group->getevent(0), root->getevent(1), root->getevent(3)})
        EXPECT_FALSE(hidden(event));
}

TEST_F(Viewer, DisplayOptionsDefaultsAndLookUp) {
    TZelLogEntryDisplayOptionsCollection& options = viewer->EntryDisplayOptions();
    ASSERT_EQ(options.Count(), 13);
    EXPECT_EQ(options.FindByKind(LK_GROUP)->TextFormat(),
              QStringLiteral("{text} ({child_count} event(s))"));
    EXPECT_EQ(options.FindByKind(LK_WARNING)->Color(), TColor{0xB9B9FF});
    EXPECT_EQ(options.FindByKind(LK_DEBUG | 128u), options.FindByKind(LK_DEBUG));
    EXPECT_EQ(options.Items(-1), nullptr);
    EXPECT_EQ(options.Items(13), nullptr);
    EXPECT_EQ(TZelLogEntryDisplayOptions(nullptr).LogKind(), LK_INFO);

    TZelLogEntryDisplayOptions& target = *options.FindByKind(LK_INFO);
    target.set_TextFormat(QStringLiteral("kept"));
    options.SetItem(LK_INFO, *options.FindByKind(LK_ERROR)); // colour and kind only
    EXPECT_EQ(target.Color(), TColor{0x0000FF});
    EXPECT_EQ(target.TextFormat(), QStringLiteral("kept"));
}

TEST_F(Viewer, AnotherDisplayedRootIsShownFromTheNextDrain) {
    root->add(LK_INFO, QStringLiteral("outside"));
    const ILogGroupPtr group = root->new_group(QStringLiteral("part"));
    group->add(LK_INFO, QStringLiteral("one"));
    group->add(LK_INFO, QStringLiteral("two"));
    ASSERT_TRUE(wait_rows(2));
    viewer->SetRootDisplayedEntry(group);
    ASSERT_TRUE(wait_rows(2));
    EXPECT_EQ(viewer->RootDisplayedEntry(), group);
    EXPECT_EQ(viewer->EventOf(model().index(0, 0))->parent(), group);
    root->add(LK_INFO, QStringLiteral("outside again")); // not under the displayed root
    group->add(LK_INFO, QStringLiteral("three"));
    ASSERT_TRUE(wait_rows(3));
}

TEST_F(Viewer, ALoadedLogArrivesAsAReaderGroup) {
    const QByteArray text = ":std_log='s.log'\r\n:library=false\r\n:app_name=sender\r\n"
                            ":most_recent=last\r\n:event_header='{type}'\r\n:status=stopped\r\n"
                            "\r\nHint        from memory\r\n";
    std::vector<std::byte> bytes;
    for (const char c : text)
        bytes.push_back(static_cast<std::byte>(c));
    TMemoryByteStream stream(std::move(bytes));
    ASSERT_TRUE(viewer->LoadLogFromStream(stream, QStringLiteral("the caption"), false));
    ASSERT_TRUE(wait_rows(1));
    const QModelIndex reader = model().index(0, 0);
    const auto group = std::dynamic_pointer_cast<ILogGroup>(viewer->EventOf(reader));
    ASSERT_TRUE(group);
    EXPECT_EQ(group->text(), QStringLiteral("the caption"));
    ASSERT_TRUE(wait_rows(group->event_count(), reader)); // the header info and the entry
    ILogEventPtr loaded;
    for (std::int32_t i = 0; i < group->event_count(); ++i)
        if (group->getevent(i)->log_type() == LK_HINT)
            loaded = group->getevent(i);
    ASSERT_TRUE(loaded);
    EXPECT_EQ(model().parent(node(loaded)), reader);
    EXPECT_EQ(model().event_text(node(loaded)), QStringLiteral("from memory"));

    EXPECT_FALSE(viewer->LoadLogFromFile(QStringLiteral("/nonexistent/missing.log")));
}

TEST_F(Viewer, ClearDropsTheRowsUntilTheNextArrival) {
    root->add(LK_INFO, QStringLiteral("one"));
    ASSERT_TRUE(wait_rows(1));
    viewer->Clear();
    EXPECT_EQ(model().rowCount(), 0);
    EXPECT_EQ(root->getevent(0)->data(), nullptr);
    root->add(LK_INFO, QStringLiteral("two"));
    ASSERT_TRUE(wait_rows(2));
}

} // namespace
} // namespace zel::testing
