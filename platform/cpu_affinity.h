#pragma once

#include <cstdint>

namespace zel::platform {

// Bit i set: processor i. Only the first 32 processors are described.
struct TProcessorMasks {
    std::uint32_t process = 0; // processors this process may run on
    std::uint32_t system = 0;  // processors online in the system
};

// False when the process's affinity cannot be read.
bool read_processor_masks(TProcessorMasks& masks);

// Restricts the calling thread to one processor; false when that processor is not available
// to the process (the thread then keeps its current affinity).
bool pin_current_thread(unsigned processor);

// The processors (of the first 32) the calling thread may run on; 0 when unreadable.
std::uint32_t current_thread_mask();

} // namespace zel::platform
