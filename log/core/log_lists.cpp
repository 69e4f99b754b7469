#include "log/core/log_lists.h"

#include "platform/process_info.h"

#include <mutex>

namespace zel {

bool TLogContextList::find_by_data(void* adata, ILogContextPtr& ctx) {
    const TThreadID current = platform::current_thread_id();
    std::scoped_lock guard(Fitems);
    for (std::int32_t i = 0; i < Fitems.Count(); ++i) {
        ILogContextPtr candidate = Fitems.GetItems(i);
        if (candidate && candidate->data() == adata &&
            (candidate->thread_id() == 0 || candidate->thread_id() == current)) {
            ctx = std::move(candidate);
            return true;
        }
    }
    return false;
}

} // namespace zel
