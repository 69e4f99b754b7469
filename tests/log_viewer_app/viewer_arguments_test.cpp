// The viewer program's command line, and the tree order the window walks for search and copy.
#include "log/viewer/tree_order.h"
#include "tests/log_core/qt_print.h"
#include "tools/zel-log-viewer/viewer_arguments.h"

#include <QStandardItemModel>

#include <gtest/gtest.h>

namespace zel::testing {
namespace {

struct arguments_case {
    QStringList arguments;
    QStringList paths;
    QString screenshot;
    bool help;
    bool usable;
};

TEST(ViewerArguments, PathsOptionsAndMistakes) {
    const arguments_case cases[] = {
        {{}, {}, {}, false, true},
        {{"a.log", "logs", "zel.crashlist"}, {"a.log", "logs", "zel.crashlist"}, {}, false, true},
        {{"a.log", "--screenshot", "shot.png"}, {"a.log"}, "shot.png", false, true},
        {{"--screenshot=shot.png", "a.log"}, {"a.log"}, "shot.png", false, true},
        {{"--", "--odd name.log"}, {"--odd name.log"}, {}, false, true},
        {{"--help"}, {}, {}, true, true},
        {{"--screenshot"}, {}, {}, false, false},
        {{"--kinds", "a.log"}, {}, {}, false, false},
    };
    for (const arguments_case& c : cases) {
        const TViewerArguments parsed = parse_viewer_arguments(c.arguments);
        SCOPED_TRACE(c.arguments.join(u' ').toStdString());
        EXPECT_EQ(parsed.error.isEmpty(), c.usable);
        if (!c.usable)
            continue;
        EXPECT_EQ(parsed.paths, c.paths);
        EXPECT_EQ(parsed.screenshot, c.screenshot);
        EXPECT_EQ(parsed.help, c.help);
    }
}

// a (a1 (a1x), a2), b: the walk both ways visits every row, collapsed or not, in tree order.
TEST(TreeOrder, WalksEveryRowBothWaysAndOrdersRows) {
    QStandardItemModel model;
    auto* a = new QStandardItem("a");
    auto* a1 = new QStandardItem("a1");
    a1->appendRow(new QStandardItem("a1x"));
    a->appendRow(a1);
    a->appendRow(new QStandardItem("a2"));
    model.appendRow(a);
    model.appendRow(new QStandardItem("b"));

    const QStringList order{"a", "a1", "a1x", "a2", "b"};
    QStringList forwards;
    for (QModelIndex at = model.index(0, 0); at.isValid(); at = next_in_tree_order(at))
        forwards.append(at.data().toString());
    EXPECT_EQ(forwards, order);
    QStringList backwards;
    for (QModelIndex at = model.index(1, 0); at.isValid(); at = previous_in_tree_order(at))
        backwards.prepend(at.data().toString());
    EXPECT_EQ(backwards, order);

    const QModelIndex a1x = model.indexFromItem(a1->child(0));
    const QModelIndex b = model.index(1, 0);
    EXPECT_TRUE(before_in_tree_order(model.indexFromItem(a1), a1x));
    EXPECT_TRUE(before_in_tree_order(a1x, b));
    EXPECT_FALSE(before_in_tree_order(b, a1x));
    EXPECT_FALSE(before_in_tree_order(b, b));
}

} // namespace
} // namespace zel::testing
