#include "platform/file_copy.h"

#include "platform/file_handle.h"
#include "platform/unique_descriptor.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <functional>
#include <linux/fs.h>
#include <span>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <system_error>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

namespace zel::platform {

namespace {

// Large enough that the copy costs few calls and wake-ups, small enough that the upload can
// start on the first chunk at once.
constexpr std::int64_t chunk_size = 8 << 20;
constexpr std::size_t fallback_buffer_size = 1 << 20;

bool is_unsupported(int error) {
    return error == EXDEV || error == ENOSYS || error == EOPNOTSUPP || error == EINVAL;
}

// One chunk through user space, for file systems the kernel cannot copy between.
std::int64_t copy_through_buffer(int source, int target, std::int64_t offset, std::int64_t count,
                                 std::vector<std::byte>& buffer) {
    buffer.resize(fallback_buffer_size);
    std::int64_t done = 0;
    while (done < count) {
        const auto want = static_cast<std::size_t>(
            std::min<std::int64_t>(count - done, static_cast<std::int64_t>(buffer.size())));
        const std::int64_t got =
            read_file_at(source, std::span(buffer.data(), want), offset + done);
        if (got <= 0)
            return done > 0 ? done : got;
        if (write_file_at(target, std::span(buffer.data(), static_cast<std::size_t>(got)),
                          offset + done) != got)
            return -1;
        done += got;
    }
    return done;
}

// Brings the pages of a range of the file into memory (page-aligned `offset`); false when the
// system cannot do it this way.
bool load_pages(int file, std::int64_t offset, std::int64_t count) {
    void* pages = ::mmap(nullptr, static_cast<std::size_t>(count), PROT_READ, MAP_SHARED, file,
                         static_cast<off_t>(offset));
    if (pages == MAP_FAILED)
        return false;
    const bool loaded = ::madvise(pages, static_cast<std::size_t>(count), MADV_POPULATE_READ) == 0;
    ::munmap(pages, static_cast<std::size_t>(count));
    return loaded;
}

} // namespace

// Owned jointly by the snapshot and its copy thread: whichever lets go last closes the files.
struct FileSnapshot::Shared {
    std::string path;
    unique_descriptor source;
    unique_descriptor target;
    const unique_descriptor ready{::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)};
    std::int64_t size = 0;
    std::atomic<std::int64_t> copied{0};
    std::atomic<bool> finished{false};
    std::atomic<int> error{0};
    std::atomic<bool> source_open{true};
    std::atomic<bool> cancelled{false};
    bool cloned = false;  // by `start` or by the copy's thread, before the other sees it
    bool removed = false; // owner's thread only

    void signal() const {
        if (!ready.valid())
            return;
        const std::uint64_t one = 1;
        [[maybe_unused]] const auto written = ::write(ready.get(), &one, sizeof one);
    }

    void finish(int failure) {
        source.reset(); // the user's file is not held a moment longer than the copy needs it
        source_open = false;
        error = failure;
        finished = true;
        signal();
    }

    bool clone() {
        if (::ioctl(target.get(), FICLONE, source.get()) != 0)
            return false;
        cloned = true;
        source.reset();
        source_open = false;
        return true;
    }

    // A clone shares the source's blocks on disk but none of its pages in memory: they are read
    // in here, chunk by chunk, so that the sender (on the event loop) never waits for the disk.
    // Mapping and populating reads them without copying a byte. Where that is not offered, the
    // rest counts as there at once and the sender reads from the disk itself.
    void load_clone() {
        std::int64_t done = 0;
        while (done < size && !cancelled) {
            const std::int64_t count = std::min(chunk_size, size - done);
            if (!load_pages(target.get(), done, count))
                break;
            done += count;
            copied = done;
            signal();
        }
        if (cancelled) {
            finish(ECANCELED);
            return;
        }
        copied = size;
        finish(0);
    }

    // A clone can take a while too: the file system first writes the source's unsaved pages.
    void make() {
        if (cloned || clone())
            load_clone();
        else
            copy();
    }

    void copy() {
        bool in_kernel = true;
        std::vector<std::byte> buffer;
        std::int64_t done = 0;
        while (done < size) {
            if (cancelled) {
                finish(ECANCELED);
                return;
            }
            const std::int64_t count = std::min(chunk_size, size - done);
            std::int64_t moved = -1;
            if (in_kernel) {
                loff_t in = done;
                loff_t out = done;
                moved = ::copy_file_range(source.get(), &in, target.get(), &out,
                                          static_cast<std::size_t>(count), 0);
                if (moved < 0 && errno == EINTR)
                    continue;
                if (moved < 0 && done == 0 && is_unsupported(errno)) {
                    in_kernel = false;
                    continue;
                }
            } else {
                moved = copy_through_buffer(source.get(), target.get(), done, count, buffer);
            }
            if (moved < 0) {
                finish(errno);
                return;
            }
            if (moved == 0) {
                finish(ENODATA); // the file got shorter since the copy started
                return;
            }
            done += moved;
            copied = done;
            signal();
        }
        finish(0);
    }
};

FileSnapshot::FileSnapshot(std::shared_ptr<Shared> shared)
    : shared_(std::move(shared)) {}

FileSnapshot::Started FileSnapshot::start(const std::string& from, const std::string& to) {
    auto shared = std::make_shared<Shared>();
    if (!shared->ready.valid())
        return {nullptr, errno, Stage::target};
    shared->path = to;
    shared->source.reset(::open(from.c_str(), O_RDONLY | O_CLOEXEC));
    if (!shared->source.valid())
        return {nullptr, errno, Stage::source};
    struct stat status {};
    if (::fstat(shared->source.get(), &status) != 0)
        return {nullptr, errno, Stage::source};
    if (!S_ISREG(status.st_mode))
        return {nullptr, EISDIR, Stage::source};
    shared->size = status.st_size;
    // O_EXCL makes the open fail on any name already there, a planted link included.
    shared->target.reset(
        ::open(to.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, S_IRUSR | S_IWUSR));
    if (!shared->target.valid())
        return {nullptr, errno, Stage::target};
    auto fail = [&](int error, Stage stage) {
        ::unlink(to.c_str());
        return Started{nullptr, error, stage};
    };
    // Short of room for a copy only a clone can do: try it here, where the refusal is still
    // known before the upload starts.
    struct statvfs space {};
    if (::fstatvfs(shared->target.get(), &space) != 0)
        return fail(errno, Stage::space);
    const bool room_for_copy = static_cast<std::uint64_t>(space.f_bavail) * space.f_frsize >=
                               static_cast<std::uint64_t>(shared->size);
    if (!room_for_copy && !shared->clone())
        return fail(ENOSPC, Stage::space);
    try {
        std::thread([shared] { shared->make(); }).detach();
    } catch (const std::system_error&) {
        shared->make(); // no thread to be had: copy here
    }
    return {std::unique_ptr<FileSnapshot>(new FileSnapshot(std::move(shared)))};
}

FileSnapshot::~FileSnapshot() {
    shared_->cancelled = true;
    if (!shared_->removed)
        return;
    // Closing the last descriptor of a removed file frees its blocks, which takes a while for a
    // large one: let a thread of its own do it.
    try {
        std::thread([shared = std::move(shared_)] {}).detach();
    } catch (const std::system_error&) {
    }
}

int FileSnapshot::descriptor() const {
    return shared_->target.get();
}

std::int64_t FileSnapshot::size() const {
    return shared_->size;
}

std::int64_t FileSnapshot::copied() const {
    return shared_->copied;
}

bool FileSnapshot::finished() const {
    return shared_->finished;
}

int FileSnapshot::error() const {
    return shared_->error;
}

int FileSnapshot::ready_descriptor() const {
    return shared_->ready.get();
}

void FileSnapshot::acknowledge() const {
    std::uint64_t count = 0;
    [[maybe_unused]] const auto got = ::read(shared_->ready.get(), &count, sizeof count);
}

bool FileSnapshot::source_open() const {
    return shared_->source_open;
}

void FileSnapshot::remove() {
    if (shared_->removed)
        return;
    shared_->removed = true;
    shared_->cancelled = true;
    ::unlink(shared_->path.c_str()); // cheap while the copy is still open here
}

namespace {

int make_folder(const std::string& path) {
    if (::mkdir(path.c_str(), S_IRWXU) == 0 || errno == EEXIST)
        return 0;
    return errno;
}

std::string unique_folder(std::string pattern, int& error) {
    if (::mkdtemp(pattern.data()) == nullptr) { // mode 0700
        error = errno;
        return {};
    }
    error = 0;
    return pattern;
}

std::string cache_parent() {
    if (const char* cache = std::getenv("XDG_CACHE_HOME"); cache != nullptr && cache[0] == '/')
        return cache;
    if (const char* home = std::getenv("HOME"); home != nullptr && home[0] == '/')
        return std::string(home) + "/.cache";
    return {};
}

// The process id in the name tells a later process whose folder it was.
std::string folder_in(const std::string& parent, const std::string& prefix, int& error) {
    std::string folder =
        unique_folder(parent + '/' + prefix + std::to_string(::getpid()) + "-XXXXXX", error);
    if (folder.empty())
        return folder;
    try {
        std::thread([parent, prefix] { remove_abandoned_folders(parent, prefix); }).detach();
    } catch (const std::system_error&) {
    }
    return folder;
}

std::string make_private_folder(int& error) {
    const std::string cache = cache_parent();
    if (!cache.empty() && make_folder(cache) == 0 && make_folder(cache + "/zel") == 0) {
        std::string folder = folder_in(cache + "/zel", "upload-", error);
        if (!folder.empty())
            return folder;
    }
    const char* temp = std::getenv("TMPDIR");
    return folder_in(temp != nullptr && temp[0] == '/' ? temp : "/tmp", "zel-upload-", error);
}

bool process_ended(const std::string& name, const std::string& prefix) {
    if (name.compare(0, prefix.size(), prefix) != 0)
        return false;
    const char* digits = name.c_str() + prefix.size();
    char* end = nullptr;
    errno = 0;
    const long pid = std::strtol(digits, &end, 10);
    if (end == digits || *end != '-' || errno != 0 || pid <= 0 || pid == ::getpid())
        return false;
    return ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
}

// The names of the entries of the open `folder` that `wanted` accepts, all read before the
// caller changes the folder.
std::vector<std::string> entry_names(int folder, const std::function<bool(const dirent&)>& wanted) {
    std::vector<std::string> names;
    const int listing = ::dup(folder);
    DIR* entries = listing < 0 ? nullptr : ::fdopendir(listing);
    if (entries == nullptr) {
        if (listing >= 0)
            ::close(listing);
        return names;
    }
    while (const dirent* entry = ::readdir(entries))
        if (wanted(*entry))
            names.emplace_back(entry->d_name);
    ::closedir(entries);
    return names;
}

void remove_folder_with_files(int parent, const char* name) {
    const unique_descriptor folder(
        ::openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!folder.valid())
        return;
    for (const std::string& file :
         entry_names(folder.get(), [](const dirent& entry) { return entry.d_type != DT_DIR; }))
        ::unlinkat(folder.get(), file.c_str(), 0);
    ::unlinkat(parent, name, AT_REMOVEDIR);
}

struct PrivateFolder {
    std::string path;
    int error = 0;
    PrivateFolder() { path = make_private_folder(error); }
    ~PrivateFolder() {
        if (!path.empty())
            ::rmdir(path.c_str()); // only when empty: a copy still in use stays
    }
    PrivateFolder(const PrivateFolder&) = delete;
    PrivateFolder& operator=(const PrivateFolder&) = delete;
};

} // namespace

void remove_abandoned_folders(const std::string& parent, const std::string& prefix) {
    const unique_descriptor folder(::open(parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!folder.valid())
        return;
    const auto abandoned = entry_names(folder.get(), [&prefix](const dirent& entry) {
        return (entry.d_type == DT_DIR || entry.d_type == DT_UNKNOWN) &&
               process_ended(entry.d_name, prefix);
    });
    for (const std::string& name : abandoned)
        remove_folder_with_files(folder.get(), name.c_str());
}

std::string process_private_folder(int& error) {
    static const PrivateFolder folder;
    error = folder.error;
    return folder.path;
}

} // namespace zel::platform
