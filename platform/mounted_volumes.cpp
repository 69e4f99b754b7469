#include "platform/mounted_volumes.h"

#include "platform/alternate_signal_stack.h"

#include <condition_variable>
#include <cstdio>
#include <memory>
#include <mntent.h>
#include <mutex>
#include <sys/statvfs.h>
#include <system_error>
#include <thread>

namespace zel::platform {

namespace {

// The questions of one query_volume_spaces call, shared with the threads that answer them:
// whichever lets go last frees it.
struct open_questions {
    explicit open_questions(const volume_space_reader& reader, std::size_t count)
        : read(reader)
        , answers(count)
        , pending(count) {}

    const volume_space_reader read;
    std::mutex lock;
    std::condition_variable answered;
    std::vector<volume_query> answers; // no_answer until answered
    std::size_t pending;

    void answer(std::size_t index, const std::string& path) {
        volume_query query;
        try {
            const std::optional<volume_space> space = read(path);
            query.answer = space ? volume_answer::answered : volume_answer::refused;
            query.space = space.value_or(volume_space{});
        } catch (...) {
            query.answer = volume_answer::refused;
        }
        const std::lock_guard guard(lock);
        answers[index] = query;
        --pending;
        answered.notify_all();
    }
};

} // namespace

std::vector<mounted_volume> mounted_volumes(const char* table) {
    std::vector<mounted_volume> volumes;
    FILE* const file = ::setmntent(table, "r");
    if (file == nullptr)
        return volumes;
    mntent entry{};
    char buffer[4096];
    while (::getmntent_r(file, &entry, buffer, sizeof buffer) != nullptr) {
        mounted_volume volume;
        volume.device = entry.mnt_fsname;
        volume.root_path = entry.mnt_dir;
        volume.file_system_type = entry.mnt_type;
        volume.read_only = ::hasmntopt(&entry, "ro") != nullptr;
        volumes.push_back(std::move(volume));
    }
    ::endmntent(file);
    return volumes;
}

std::optional<volume_space> read_volume_space(const std::string& path) {
    struct statvfs figures {};
    if (::statvfs(path.c_str(), &figures) != 0)
        return std::nullopt;
    return volume_space{std::uint64_t{figures.f_blocks} * figures.f_frsize,
                        std::uint64_t{figures.f_bavail} * figures.f_frsize};
}

std::vector<volume_query> query_volume_spaces(const std::vector<std::string>& paths,
                                              std::chrono::milliseconds limit,
                                              const volume_space_reader& read) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    const auto questions = std::make_shared<open_questions>(read, paths.size());
    for (std::size_t index = 0; index < paths.size(); ++index) {
        try {
            std::thread([questions, index, path = paths[index]] {
                ensure_alternate_signal_stack();
                questions->answer(index, path);
            }).detach();
        } catch (const std::system_error&) {
            // No thread to be had: the question stays unanswered rather than risk the wait.
            const std::lock_guard guard(questions->lock);
            --questions->pending;
        }
    }
    std::unique_lock guard(questions->lock);
    questions->answered.wait_until(guard, deadline, [&] { return questions->pending == 0; });
    return questions->answers; // a copy: late answers may still arrive
}

} // namespace zel::platform
