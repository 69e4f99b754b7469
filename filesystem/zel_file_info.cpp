#include "filesystem/zel_file_info.h"

#include "platform/file_status.h"

#include <algorithm>

namespace zel {

namespace {

std::int64_t file_time(const platform::TStatTime& time) {
    return file_time_from_unix({time.seconds, time.nanoseconds});
}

} // namespace

TZelFileInfo::TZelFileInfo(platform::TFileHandle handle, const std::string& file_name)
    : FFilename(file_name.empty() ? platform::file_path_of(handle) : file_name) {
    platform::TFileStatus status;
    if (!platform::read_file_status(handle, status))
        return;
    Fvalid = true;
    FLastAccessTime = file_time(status.access);
    FLastWriteTime = file_time(status.modification);
    FChangeTime = file_time(status.change);
    FCreationTime =
        status.has_birth ? file_time(status.birth) : std::min(FLastWriteTime, FChangeTime);
    FAllocationSize = static_cast<std::int64_t>(status.allocated);
    FEndOfFile = static_cast<std::int64_t>(status.size);
    FNumberOfLinks = status.links;
    FDeletePending = status.links == 0;
    FDirectory = status.directory;
    FVolumeSerialNumber = status.device;
    FFileId.LowPart = status.inode;
}

TDateTime TZelFileInfo::CreationDateTime() const {
    return date_time_from_file_time(FCreationTime);
}

TDateTime TZelFileInfo::LastAccessDateTime() const {
    return date_time_from_file_time(FLastAccessTime);
}

TDateTime TZelFileInfo::LastWriteDateTime() const {
    return date_time_from_file_time(FLastWriteTime);
}

TDateTime TZelFileInfo::ChangeDateTime() const {
    return date_time_from_file_time(FChangeTime);
}

} // namespace zel
