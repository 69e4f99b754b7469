#include "tests/log_viewer/viewer_fixture.h"

#include <atomic>
#include <thread>
#include <vector>

namespace zel::testing {
namespace {

class ViewerThreads : public ViewerTest {
protected:
    bool shown() const override { return false; }

    // The rows under `parent` show exactly the entries of `group`, recursively.
    bool shows(const QModelIndex& parent, const ILogGroupPtr& group) const {
        const int rows = model().rowCount(parent);
        if (rows != group->event_count())
            return false;
        for (int row = 0; row < rows; ++row) {
            const QModelIndex child = model().index(row, 0, parent);
            const ILogEventPtr entry = viewer->EventOf(child);
            if (!entry || entry->parent() != group || group->getevent(entry->index()) != entry)
                return false;
            if (const auto sub = std::dynamic_pointer_cast<ILogGroup>(entry))
                if (!shows(child, sub))
                    return false;
        }
        return true;
    }
};

// Blocks until the workers counted 200 more events.
void wait_for_more(std::atomic<int>& added) {
    const int target = added.load() + 200;
    for (int seen = added.load(); seen < target; seen = added.load())
        added.wait(seen);
}

// Entries of a sub-group created a moment ago on another thread may be told before the
// sub-group itself; rows are placed by parent and index all the same.
TEST_F(ViewerThreads, EightThreadsLoggingIntoNestedGroupsGiveTheLogsOwnTree) {
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([this, t] {
            ILogGroupPtr group = root->new_group(QStringLiteral("thread %1").arg(t));
            for (int i = 0; i < 120; ++i) {
                if (i % 30 == 0)
                    group = group->new_group(QStringLiteral("level %1").arg(i / 30));
                group->add(i % 7 == 0 ? LK_WARNING : LK_INFO, QStringLiteral("entry %1").arg(i));
            }
        });
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_TRUE(test::wait_until([&] { return shows({}, root); }));
}

TEST_F(ViewerThreads, AViewerDestroyedWhileThreadsLogIsNeverCalledAfterwards) {
    std::atomic<bool> stop{false};
    std::atomic<int> added{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            const ILogGroupPtr group = root->new_group(QStringLiteral("worker %1").arg(t));
            while (!stop.load()) {
                group->add(LK_INFO, QStringLiteral("tick %1").arg(added.fetch_add(1)));
                added.notify_all();
                root->add(LK_DEBUG, QStringLiteral("beat"));
            }
        });
    for (int round = 0; round < 3; ++round) {
        wait_for_more(added);
        tester.reset();
        viewer = std::make_unique<TZelLogVisualizer>();
        viewer->Loaded(root);
        ASSERT_TRUE(test::wait_until([&] { return model().rowCount() > 0; }));
        viewer.reset(); // detaches and waits for calls in progress
        EXPECT_FALSE(static_cast<bool>(root->OnAdded()));
    }
    // The threads go on logging with nobody attached.
    wait_for_more(added);
    stop = true;
    for (std::thread& thread : threads)
        thread.join();
}

} // namespace
} // namespace zel::testing
