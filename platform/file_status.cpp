#include "platform/file_status.h"

#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <system_error>

namespace zel::platform {

namespace {

TStatTime from_statx(const struct statx_timestamp& time) {
    return {time.tv_sec, time.tv_nsec};
}

TStatTime from_timespec(const struct timespec& time) {
    return {time.tv_sec, static_cast<std::uint32_t>(time.tv_nsec)};
}

// Where statx is missing or refused (old kernels, some sandboxes): fstat, without the birth time.
bool read_with_fstat(TFileHandle handle, TFileStatus& status) {
    struct stat info {};
    if (::fstat(handle, &info) != 0)
        return false;
    status.access = from_timespec(info.st_atim);
    status.modification = from_timespec(info.st_mtim);
    status.change = from_timespec(info.st_ctim);
    status.has_birth = false;
    status.size = static_cast<std::uint64_t>(info.st_size);
    status.allocated = static_cast<std::uint64_t>(info.st_blocks) * 512U;
    status.links = static_cast<std::uint32_t>(info.st_nlink);
    status.device = info.st_dev;
    status.inode = info.st_ino;
    status.directory = S_ISDIR(info.st_mode);
    return true;
}

} // namespace

bool read_file_status(TFileHandle handle, TFileStatus& status) {
    struct statx info {};
    const unsigned wanted = STATX_BASIC_STATS | STATX_BTIME;
    if (::statx(handle, "", AT_EMPTY_PATH, wanted, &info) != 0)
        return read_with_fstat(handle, status);
    status.access = from_statx(info.stx_atime);
    status.modification = from_statx(info.stx_mtime);
    status.change = from_statx(info.stx_ctime);
    status.has_birth = (info.stx_mask & STATX_BTIME) != 0;
    status.birth = status.has_birth ? from_statx(info.stx_btime) : TStatTime{};
    status.size = info.stx_size;
    status.allocated = info.stx_blocks * 512U;
    status.links = info.stx_nlink;
    status.device = makedev(info.stx_dev_major, info.stx_dev_minor);
    status.inode = info.stx_ino;
    status.directory = S_ISDIR(info.stx_mode);
    return true;
}

std::string file_path_of(TFileHandle handle) {
    if (handle < 0)
        return {};
    std::error_code error;
    return std::filesystem::read_symlink("/proc/self/fd/" + std::to_string(handle), error).string();
}

} // namespace zel::platform
