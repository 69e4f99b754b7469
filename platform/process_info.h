#pragma once

#include <cstdint>
#include <string>

namespace zel::platform {

// Kernel id of the calling thread (what a debugger or `ps -L` shows).
std::uint32_t current_thread_id() noexcept;

// The same id asked of the kernel each time, whatever set_acting_thread_id says; safe to call
// in a signal handler.
std::uint32_t kernel_thread_id() noexcept;

// Makes current_thread_id() of the calling thread answer `id` until it is called again with 0:
// the thread that logs a fault does so on behalf of the thread that raised it.
void set_acting_thread_id(std::uint32_t id) noexcept;

std::uint32_t current_process_id() noexcept;

// Full path of the running executable; empty when it cannot be read.
std::string executable_path();

} // namespace zel::platform
