#include "log/core/log_procedures.h"
#include "log/core/log_root.h"
#include "log/core/log_unit.h"
#include "tests/log_core/qt_print.h"
#include "tests/log_core/recording_storage.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace zel {
namespace {

// A tree with every kind of mutual reference the framework makes: entries and their parents,
// sub-groups, storages and their groups, contexts and the groups they name, events that carry a
// context, a folded repeat, a crash-list line owned by a storage. After the unit's shutdown
// nothing of it is alive; run under the leak checker, nothing is left unfreed either.
TEST(LogUnit, ShutdownReleasesTheWholeTree) {
    std::vector<QString> texts; // what the root was told, kept outside the tree
    std::vector<std::weak_ptr<void>> watched;
    {
        TLogUnit unit;
        {
            const auto root = TLogRoot::Create();
            default_log_root = root;
            root->set_OnAdded([&texts](const void*, const ILogEventPtr& entry) {
                texts.push_back(entry->text());
            });
            ILogGroupPtr inner;
            ASSERT_TRUE(root->find_group("outer.inner", inner));
            const auto root_storage = std::make_shared<TRecordingStorage>();
            const auto inner_storage = std::make_shared<TRecordingStorage>();
            root->register_storage(root_storage);
            inner->register_storage(inner_storage);
            ILogContextPtr context;
            root->find_context(context, &texts, true);
            context->set_group(inner);
            inner->add(LK_INFO, "with context", context);
            inner->add(LK_INFO, "twice");
            inner->add(LK_INFO, "twice");
            log_add(LK_WARNING, "through the procedures");
            ILogGroupPtr seeded;
            root->add_seeded_group(seeded, GK_READER);
            seeded->add(LK_ERROR, "in a seeded group");
            root->crash_list().attach(root->crash_list().add("test:1=/tmp/x.log"), root_storage);

            for (const std::shared_ptr<void>& object :
                 {std::shared_ptr<void>(root), std::shared_ptr<void>(inner),
                  std::shared_ptr<void>(root_storage), std::shared_ptr<void>(inner_storage),
                  std::shared_ptr<void>(context), std::shared_ptr<void>(seeded),
                  std::shared_ptr<void>(inner->first_event())})
                watched.push_back(object);
        }
        unit.shutdown();
        EXPECT_EQ(default_log_root, nullptr);
        unit.shutdown();                   // once only
        log_add(LK_INFO, "after the end"); // no root: dropped
    }
    for (const std::weak_ptr<void>& object : watched)
        EXPECT_TRUE(object.expired());
    // The root started with its header and was stopped with its footer, the last thing told.
    ASSERT_FALSE(texts.empty());
    EXPECT_EQ(std::count_if(texts.begin(), texts.end(),
                            [](const QString& text) { return text.contains("Log session start"); }),
              1);
    EXPECT_TRUE(texts.back().contains("Log session stop after"));
}

TEST(LogUnit, ShutdownWithoutARootDoesNothing) {
    TLogUnit unit;
    unit.shutdown();
    EXPECT_EQ(default_log_root, nullptr);
}

} // namespace
} // namespace zel
