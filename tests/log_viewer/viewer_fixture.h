#pragma once

// What the viewer tests share: a root of their own, a viewer attached to it and shown
// (offscreen), its model checked by QAbstractItemModelTester on every change.

#include "log/core/log_root.h"
#include "log/core/log_unit.h"
#include "log/persistence/log_persistence.h"
#include "log/viewer/log_tree_model.h"
#include "log/viewer/log_visualizer.h"
#include "tests/log_core/qt_print.h"
#include "tests/support/wait_until.h"

#include <QAbstractItemModelTester>
#include <QCoreApplication>

#include <gtest/gtest.h>

#include <memory>

namespace zel::testing {

// Counts the wake-ups that reach the viewer.
class TWakeUpCounter : public QObject {
public:
    int count = 0;

protected:
    bool eventFilter(QObject* /*watched*/, QEvent* event) override {
        if (event->type() == TZelLogVisualizer::WM_LOG_RECEIVED)
            ++count;
        return false;
    }
};

class ViewerTest : public ::testing::Test {
protected:
    void SetUp() override {
        install_log_persistence();
        root = TLogRoot::Create();
        root->set_header({});
        root->set_footer({});
        root->set_discard({});
        viewer = std::make_unique<TZelLogVisualizer>();
        tester = std::make_unique<QAbstractItemModelTester>(
            viewer->model(), QAbstractItemModelTester::FailureReportingMode::Fatal);
        viewer->Loaded(root);
        viewer->resize(900, 600);
        if (shown())
            viewer->show();
    }
    // Painting runs Qt's own thread pool, which ThreadSanitizer cannot see into: the tests of
    // the threads' side keep the viewer hidden.
    virtual bool shown() const { return true; }
    void TearDown() override {
        tester.reset();
        viewer.reset();
        release_log_tree(*root);
    }

    TLogTreeModel& model() const { return *viewer->LogModel(); }
    // Waits until `group` (the root by default) shows `rows` rows.
    bool wait_rows(int rows, const QModelIndex& group = {}) const {
        return test::wait_until([&] { return model().rowCount(group) == rows; });
    }
    QModelIndex node(const ILogEventPtr& event) const { return viewer->NodeOf(event); }

    std::shared_ptr<TLogRoot> root;
    std::unique_ptr<TZelLogVisualizer> viewer;
    std::unique_ptr<QAbstractItemModelTester> tester;
};

} // namespace zel::testing
