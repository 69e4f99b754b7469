#include "log/persistence/log_persistence.h"

#include "log/core/log_extensions.h"
#include "log/persistence/log_loader.h"
#include "log/persistence/log_storage.h"

namespace zel {

void install_log_persistence() {
    TLogPersistenceHooks hooks;
    hooks.new_storage = [] { return std::make_shared<TLogStorage>(); };
    hooks.load_from_file = load_log_from_file;
    hooks.load_from_stream = load_log_from_stream;
    set_log_persistence_hooks(std::move(hooks));
}

} // namespace zel
