#include "log/core/log_unit.h"

#include "log/core/log_extensions.h"
#include "log/core/log_procedures.h"
#include "log/core/log_process.h"
#include "log/core/log_root.h"

namespace zel {

namespace {

// Every group keeps its storages and each storage its group: break those links in the whole
// tree, not only at the root.
void release_storages(ILogGroup& group) {
    group.clear_storages();
    const ILogGroupListPtr sub_groups = group.groups();
    for (const ILogGroupEnumeratorPtr walk = sub_groups->GetEnumerator(); walk->MoveNext();)
        if (const ILogGroupPtr sub_group = walk->Current())
            release_storages(*sub_group);
}

} // namespace

void release_log_tree(ILogRoot& root) {
    root.stop();
    release_storages(root);
    root.clear_entries();
    root.clear_contexts();
    if (auto* own = dynamic_cast<TLogRoot*>(&root))
        own->crash_list().release_storages();
}

TLogUnit::TLogUnit() {
    log_process_id();
    log_module_path();
    TLogRoot::default_format_settings();
}

TLogUnit::~TLogUnit() {
    shutdown();
}

void TLogUnit::shutdown() {
    if (Fdone)
        return;
    Fdone = true;
    if (const auto& unregister = log_diagnostics_hooks().unregister_exception_roots)
        unregister();
    const ILogRootPtr root = default_log_root;
    if (!root)
        return;
    release_log_tree(*root);
    default_log_root.reset();
}

} // namespace zel
