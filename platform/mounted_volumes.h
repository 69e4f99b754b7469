#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace zel::platform {

struct mounted_volume {
    std::string device;           // what is mounted: a device, a server's share, a pseudo name
    std::string root_path;        // where it is mounted
    std::string file_system_type; // "ext4", "nfs4", ...
    bool read_only = false;       // mounted read-only
};

// The mounted volumes as the kernel lists them, in its order. Reading the table touches no
// volume, so an unreachable network mount cannot make it wait.
std::vector<mounted_volume> mounted_volumes(const char* table = "/proc/self/mounts");

struct volume_space {
    std::uint64_t total = 0;
    std::uint64_t available = 0; // to a user without privileges
};

// The space of the volume that holds `path` (statvfs); none when the system refuses. Waits as
// long as the file system does: for ever on a hard-mounted server that has gone away.
std::optional<volume_space> read_volume_space(const std::string& path);

using volume_space_reader = std::function<std::optional<volume_space>(const std::string& path)>;

enum class volume_answer {
    answered,  // `space` holds the figures
    refused,   // the system could not tell
    no_answer, // nothing came within the limit
};

struct volume_query {
    volume_answer answer = volume_answer::no_answer;
    volume_space space;
};

// Asks `read` about every path at once, each on a thread of its own, and waits at most `limit`
// for all the answers together. A question still open then is `no_answer`; its thread finishes
// on its own whenever the file system lets it (it holds nothing of the caller's).
std::vector<volume_query> query_volume_spaces(const std::vector<std::string>& paths,
                                              std::chrono::milliseconds limit,
                                              const volume_space_reader& read = read_volume_space);

} // namespace zel::platform
