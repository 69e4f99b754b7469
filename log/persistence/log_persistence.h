#pragma once

namespace zel {

// Connects file storages and the loader to the logging core: a group's new_storage then gives a
// TLogStorage, and LoadFromFile reads logs back. Called once at start-up, before any thread
// logs (tests call it too; calling it again changes nothing).
void install_log_persistence();

} // namespace zel
