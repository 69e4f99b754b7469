// The viewer program's window over a root of its own: messages for what cannot be shown, the
// view kept across a reload of a file still being written, copying rows, search, the view menu,
// dropped files, and the program's own screenshot.
#include "log/core/log_procedures.h"
#include "log/viewer/log_visualizer.h"
#include "tests/log_core/qt_print.h"
#include "tests/log_viewer_app/writing_session.h"
#include "tests/support/wait_until.h"
#include "tools/zel-log-viewer/log_viewer_window.h"
#include "tools/zel-log-viewer/viewer_settle.h"

#include <QAction>
#include <QClipboard>
#include <QDropEvent>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QLineEdit>
#include <QMimeData>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <gtest/gtest.h>

#include <functional>
#include <set>

namespace zel::testing {
namespace {

// The first entry below `group`, at any depth, whose text is `text`.
ILogEventPtr find_text(const ILogGroupPtr& group, const QString& text) {
    for (std::int32_t i = 0; i < group->event_count(); ++i) {
        const ILogEventPtr entry = group->getevent(i);
        if (entry && entry->text() == text)
            return entry;
        if (const auto sub_group = std::dynamic_pointer_cast<ILogGroup>(entry))
            if (ILogEventPtr found = find_text(sub_group, text))
                return found;
    }
    return nullptr;
}

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        install_log_persistence();
        root->set_header({});
        root->set_footer({});
        root->set_discard({});
        default_log_root = root;
        window = std::make_unique<TLogViewerWindow>(root);
        window->show();
    }
    void TearDown() override {
        window.reset();
        root->clear_all();
        default_log_root.reset();
    }

    QString path(const QString& name) const { return dir.filePath(name); }
    TZelLogVisualizer& viewer() const { return window->viewer(); }

    // The row of the loaded entry whose text is `text`.
    QModelIndex row(const QString& text) const { return viewer().NodeOf(find_text(root, text)); }
    QString text_of(const QModelIndex& index) const {
        const ILogEventPtr event = viewer().EventOf(index);
        return event ? event->text() : QString();
    }
    std::set<QString> selected_texts() const {
        std::set<QString> texts;
        for (const QModelIndex& index : viewer().selectionModel()->selectedRows())
            texts.insert(text_of(index));
        return texts;
    }

    void open(const QString& file) {
        window->open({file});
        ASSERT_TRUE(settle_viewer(viewer(), 10000));
    }

    // start; Upload (block 1, Retry (retry 1 [warning], retry 2)); Report (made).
    void write_session(TWritingSession& session) const {
        session.root->add(LK_INFO, QStringLiteral("start"));
        upload = session.group(session.root, QStringLiteral("Upload"));
        upload->add(LK_INFO, QStringLiteral("block 1"));
        const ILogGroupPtr retry = session.group(upload, QStringLiteral("Retry"));
        retry->add(LK_WARNING, QStringLiteral("retry 1"));
        retry->add(LK_INFO, QStringLiteral("retry 2"));
        session.group(session.root, QStringLiteral("Report"))
            ->add(LK_ERROR, QStringLiteral("made"));
        session.write();
    }

    QTemporaryDir dir;
    std::shared_ptr<TLogRoot> root = TLogRoot::Create();
    std::unique_ptr<TLogViewerWindow> window;
    mutable ILogGroupPtr upload;
};

TEST_F(WindowTest, SaysWhatToDoAtFirstAndWhyAPathShowsNothing) {
    EXPECT_FALSE(window->message().isEmpty());
    EXPECT_FALSE(window->message_is_error());

    QFile text(path("notes.txt"));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("milk\neggs\n");
    text.close();
    const struct {
        QString file;
        const char* says;
    } cases[] = {{path("gone.log"), "does not exist"}, {path("notes.txt"), "is not a log file"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.says);
        window->open({c.file});
        EXPECT_TRUE(window->message().contains(QLatin1String(c.says)))
            << window->message().toStdString();
        EXPECT_TRUE(window->message().contains(c.file)) << window->message().toStdString();
        EXPECT_TRUE(window->message_is_error());
    }
    EXPECT_TRUE(window->isVisible());
}

TEST_F(WindowTest, ReloadOfAFileStillWrittenKeepsExpandedGroupsAndSelection) {
    const QString file = path("send.20240131.120000.000.log");
    TWritingSession session(file);
    write_session(session);
    window->document().set_reload_delay(20);
    open(file);

    // The opened log's own group is open; the user opens Upload and Retry, leaves Report
    // closed, and selects two rows.
    const QModelIndex loaded = viewer().model()->index(0, 0);
    ASSERT_TRUE(viewer().isExpanded(loaded));
    viewer().expand(row("Upload"));
    viewer().expand(row("Retry"));
    viewer().selectionModel()->setCurrentIndex(row("retry 2"), QItemSelectionModel::NoUpdate);
    viewer().selectionModel()->select(row("retry 2"),
                                      QItemSelectionModel::Select | QItemSelectionModel::Rows);
    viewer().selectionModel()->select(row("start"),
                                      QItemSelectionModel::Select | QItemSelectionModel::Rows);
    const ILogEventPtr old_retry = find_text(root, QStringLiteral("retry 2"));

    upload->add(LK_INFO, QStringLiteral("block 2"));
    session.root->add(LK_INFO, QStringLiteral("end"));
    ASSERT_TRUE(test::wait_until([&] { return row("end").isValid(); }))
        << window->message().toStdString();
    EXPECT_FALSE(window->message_is_error()) << window->message().toStdString();

    EXPECT_NE(find_text(root, QStringLiteral("retry 2")), old_retry); // read anew
    EXPECT_TRUE(row("block 2").isValid());
    EXPECT_TRUE(viewer().isExpanded(viewer().model()->index(0, 0)));
    EXPECT_TRUE(viewer().isExpanded(row("Upload")));
    EXPECT_TRUE(viewer().isExpanded(row("Retry")));
    EXPECT_FALSE(viewer().isExpanded(row("Report")));
    EXPECT_EQ(selected_texts(), (std::set<QString>{"start", "retry 2"}));
    EXPECT_EQ(text_of(viewer().currentIndex()), QStringLiteral("retry 2"));
}

TEST_F(WindowTest, CopyPutsTheSelectedRowsAsTextAndHtmlInViewOrder) {
    const QString file = path("send.20240131.120000.000.log");
    {
        TWritingSession session(file);
        write_session(session);
    }
    open(file);
    const QModelIndex retry = row("retry 1");
    const QModelIndex made = row("made");
    viewer().selectionModel()->select(retry,
                                      QItemSelectionModel::Select | QItemSelectionModel::Rows);
    viewer().selectionModel()->select(made,
                                      QItemSelectionModel::Select | QItemSelectionModel::Rows);

    window->copy_selection();
    const QMimeData* copied = QGuiApplication::clipboard()->mimeData();
    ASSERT_TRUE(copied);
    ASSERT_TRUE(copied->hasText());
    ASSERT_TRUE(copied->hasHtml());
    const QStringList lines = copied->text().split(u'\n');
    ASSERT_EQ(lines.size(), 2);
    // Rows in the order the view shows them, whatever the order they were selected in.
    const bool retry_first = viewer().visualRect(retry).top() < viewer().visualRect(made).top();
    EXPECT_EQ(lines[retry_first ? 0 : 1], viewer().ToFormatedText(retry));
    EXPECT_EQ(lines[retry_first ? 1 : 0], viewer().ToFormatedText(made));
    EXPECT_TRUE(lines[retry_first ? 0 : 1].contains(QLatin1String("retry 1")));
    EXPECT_TRUE(copied->html().contains(viewer().ToHtmlText(retry)));
    EXPECT_TRUE(copied->html().contains(viewer().ToHtmlText(made)));
    EXPECT_TRUE(copied->html().contains(QLatin1String("<b>Text</b>")));

    // Ctrl+C on the tree copies the same, not only the current cell's text.
    QGuiApplication::clipboard()->clear();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    viewer().setFocus();
    QTest::keyClick(&viewer(), Qt::Key_C, Qt::ControlModifier);
    ASSERT_TRUE(QGuiApplication::clipboard()->mimeData());
    EXPECT_EQ(QGuiApplication::clipboard()->mimeData()->text(), lines.join(u'\n'));
    EXPECT_TRUE(QGuiApplication::clipboard()->mimeData()->hasHtml());
}

TEST_F(WindowTest, EnterFindsTheNextMatchShiftEnterThePreviousAndF3GoesOn) {
    const QString file = path("send.20240131.120000.000.log");
    {
        TWritingSession session(file);
        write_session(session);
    }
    open(file);
    viewer().collapseAll(); // matches inside collapsed groups are found too
    QLineEdit& field = window->search_field();
    field.setText(QStringLiteral("RETRY "));

    QTest::keyClick(&field, Qt::Key_Return);
    const QString first = text_of(viewer().currentIndex());
    ASSERT_TRUE(first.startsWith(QLatin1String("retry "))) << first.toStdString();
    QTest::keyClick(&field, Qt::Key_Return);
    const QString second = text_of(viewer().currentIndex());
    ASSERT_TRUE(second.startsWith(QLatin1String("retry "))) << second.toStdString();
    EXPECT_NE(first, second);
    QTest::keyClick(&field, Qt::Key_Return, Qt::ShiftModifier);
    EXPECT_EQ(text_of(viewer().currentIndex()), first);

    QAction* find_next = nullptr;
    for (QAction* action : window->findChildren<QAction*>())
        if (action->shortcut() == QKeySequence(Qt::Key_F3))
            find_next = action;
    ASSERT_TRUE(find_next);
    find_next->trigger();
    EXPECT_EQ(text_of(viewer().currentIndex()), second);
    find_next->trigger(); // no further match: it goes on from the top
    EXPECT_EQ(text_of(viewer().currentIndex()), first);
    EXPECT_TRUE(window->message().contains(QLatin1String("top")))
        << window->message().toStdString();

    field.setText(QStringLiteral("nowhere"));
    QTest::keyClick(&field, Qt::Key_Return);
    EXPECT_TRUE(window->message().contains(QLatin1String("not found")))
        << window->message().toStdString();
}

TEST_F(WindowTest, ViewMenuSetsTheColourModeAndHidesAKind) {
    const QString file = path("send.20240131.120000.000.log");
    {
        TWritingSession session(file);
        write_session(session);
    }
    open(file);
    const auto action = [this](const QString& text) {
        for (QAction* candidate : window->findChildren<QAction*>())
            if (candidate->text().remove(u'&') == text)
                return candidate;
        return static_cast<QAction*>(nullptr);
    };
    ASSERT_TRUE(action("By depth"));
    action("By depth")->trigger();
    EXPECT_EQ(viewer().ColorMode(), lcmDepth);

    const QModelIndex warning = row("retry 1");
    ASSERT_TRUE(action("Warning"));
    action("Warning")->trigger();
    EXPECT_TRUE(viewer().isRowHidden(warning.row(), warning.parent()));
    EXPECT_FALSE(viewer().isRowHidden(row("retry 2").row(), row("retry 2").parent()));
    action("Show all")->trigger();
    EXPECT_FALSE(viewer().isRowHidden(warning.row(), warning.parent()));
}

TEST_F(WindowTest, DroppedFilesAreOpened) {
    const QString file = path("send.20240131.120000.000.log");
    {
        TWritingSession session(file);
        write_session(session);
    }
    QMimeData dropped;
    dropped.setUrls({QUrl::fromLocalFile(file)});
    QDragEnterEvent enter(QPoint(50, 50), Qt::CopyAction, &dropped, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window.get(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(50, 50), Qt::CopyAction, &dropped, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window.get(), &drop);
    EXPECT_EQ(window->document().paths(), QStringList{file});
    ASSERT_TRUE(settle_viewer(viewer(), 10000));
    EXPECT_TRUE(row("made").isValid());
}

// The program itself, started on a saved log with --screenshot, paints warning and error rows
// in their kind colours.
TEST(ViewerProgram, ScreenshotShowsRowsInTheKindColours) {
    QTemporaryDir dir;
    const QString file = dir.filePath("send.20240131.120000.000.log");
    {
        TWritingSession session(file);
        for (int i = 0; i < 6; ++i) {
            session.root->add(LK_INFO, QStringLiteral("step %1").arg(i));
            session.root->add(LK_WARNING, QStringLiteral("slow reply %1").arg(i));
            session.root->add(LK_ERROR, QStringLiteral("upload failed %1").arg(i));
        }
        session.root->add(LK_DECORATION, QStringLiteral("session"));
    }
    const QString picture = QStringLiteral(ZEL_SCREENSHOT_PATH);
    QFile::remove(picture);
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(ZEL_LOG_VIEWER_PROGRAM),
                  {file, QStringLiteral("--screenshot"), picture});
    ASSERT_TRUE(program.waitForFinished(60000));
    ASSERT_EQ(program.exitCode(), 0) << program.readAllStandardError().toStdString();

    const QImage image(picture);
    ASSERT_FALSE(image.isNull());
    const auto pixels_of = [&image](QRgb wanted) {
        int count = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                count += (image.pixel(x, y) & 0xFFFFFFu) == (wanted & 0xFFFFFFu) ? 1 : 0;
        return count;
    };
    // Kind colours 0x00BBGGRR: warning 0xB9B9FF, error 0x0000FF, decoration 0xC3FFFE.
    EXPECT_GT(pixels_of(qRgb(0xFF, 0xB9, 0xB9)), 5000);
    EXPECT_GT(pixels_of(qRgb(0xFF, 0x00, 0x00)), 5000);
    EXPECT_GT(pixels_of(qRgb(0xFE, 0xFF, 0xC3)), 5000);
}

} // namespace
} // namespace zel::testing
