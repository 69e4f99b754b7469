#include "tools/zelrep/disk_lines.h"

#include "log/core/safe_format.h"

#include <QString>

#include <algorithm>
#include <string_view>

namespace zel {

namespace {

bool is_below(std::string_view folder, std::string_view path) {
    return path.starts_with(folder) && (path.size() == folder.size() || path[folder.size()] == '/');
}

// The kernel's own views (devices, processes, the kernel's objects, run-time state) and the
// initial root: no disk a support engineer asks about.
bool worth_asking(const platform::mounted_volume& volume) {
    constexpr std::string_view pseudo_folders[] = {"/dev", "/proc", "/sys", "/var/run",
                                                   "/var/lock"};
    if (std::any_of(std::begin(pseudo_folders), std::end(pseudo_folders),
                    [&](std::string_view folder) { return is_below(folder, volume.root_path); }))
        return false;
    return volume.device != "rootfs" && volume.file_system_type != "rootfs" &&
           volume.file_system_type != "autofs";
}

} // namespace

void add_disk_lines(const ILogGroupPtr& group, const std::vector<platform::mounted_volume>& volumes,
                    const platform::volume_space_reader& read, std::chrono::milliseconds limit) {
    std::vector<platform::mounted_volume> asked;
    std::copy_if(volumes.begin(), volumes.end(), std::back_inserter(asked), worth_asking);
    std::vector<std::string> paths;
    paths.reserve(asked.size());
    for (const platform::mounted_volume& volume : asked)
        paths.push_back(volume.root_path);
    const std::vector<platform::volume_query> answers =
        platform::query_volume_spaces(paths, limit, read);

    for (std::size_t i = 0; i < asked.size(); ++i) {
        const platform::mounted_volume& volume = asked[i];
        const QString device = QString::fromLocal8Bit(volume.device);
        const QString path = QString::fromLocal8Bit(volume.root_path);
        const QString type = QString::fromLocal8Bit(volume.file_system_type);
        const QString read_only = volume.read_only ? QStringLiteral(", read-only") : QString();
        const platform::volume_query& answer = answers[i];
        if (answer.answer == platform::volume_answer::no_answer) {
            group->add(LK_WARNING, QStringLiteral("%s on %s (%s%s): no answer within %s"),
                       {device, path, type, read_only,
                        duration_text(static_cast<double>(limit.count()) / 86400000.0)});
        } else if (answer.answer == platform::volume_answer::answered && answer.space.total > 0) {
            group->add(LK_INFO, QStringLiteral("%s on %s (%s%s): %s free of %s"),
                       {device, path, type, read_only, size_text(answer.space.available),
                        size_text(answer.space.total)});
        }
    }
}

} // namespace zel
