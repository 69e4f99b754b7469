#pragma once

#include "log/core/log_interfaces.h"
#include "platform/mounted_volumes.h"

#include <chrono>
#include <vector>

namespace zel {

// How long the report waits for the volumes' figures, all volumes together.
inline constexpr std::chrono::milliseconds volume_answer_limit{2000};

// One line per volume of `volumes` into `group`: its free and total space, or, for a volume
// that does not answer `read` within `limit` (a network server out of reach), a warning that
// says so. Pseudo file systems, volumes without space and volumes the system refuses to
// describe are left out; an automounter's trigger is not touched, since asking it would mount
// (or wait for) the volume behind it.
void add_disk_lines(const ILogGroupPtr& group, const std::vector<platform::mounted_volume>& volumes,
                    const platform::volume_space_reader& read = platform::read_volume_space,
                    std::chrono::milliseconds limit = volume_answer_limit);

} // namespace zel
