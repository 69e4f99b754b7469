#include "platform/cpu_affinity.h"

#include <pthread.h>
#include <sched.h>
#include <unistd.h>

namespace zel::platform {

namespace {

constexpr unsigned described_processors = 32;

std::uint32_t low_mask(const cpu_set_t& set) {
    std::uint32_t mask = 0;
    for (unsigned cpu = 0; cpu < described_processors; ++cpu)
        if (CPU_ISSET(cpu, &set))
            mask |= 1U << cpu;
    return mask;
}

} // namespace

bool read_processor_masks(TProcessorMasks& masks) {
    cpu_set_t set;
    CPU_ZERO(&set);
    if (::sched_getaffinity(0, sizeof set, &set) != 0)
        return false;
    masks.process = low_mask(set);
    // Online processors are numbered from 0; a hot-unplugged gap would show as present.
    const long online = ::sysconf(_SC_NPROCESSORS_ONLN);
    if (online >= static_cast<long>(described_processors))
        masks.system = ~0U;
    else if (online > 0)
        masks.system = (1U << static_cast<unsigned>(online)) - 1U;
    else
        masks.system = masks.process;
    return masks.process != 0;
}

bool pin_current_thread(unsigned processor) {
    cpu_set_t set;
    CPU_ZERO(&set);
    CPU_SET(processor, &set);
    return ::pthread_setaffinity_np(::pthread_self(), sizeof set, &set) == 0;
}

std::uint32_t current_thread_mask() {
    cpu_set_t set;
    CPU_ZERO(&set);
    if (::pthread_getaffinity_np(::pthread_self(), sizeof set, &set) != 0)
        return 0;
    return low_mask(set);
}

} // namespace zel::platform
