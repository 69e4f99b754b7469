#pragma once

#include "filesystem/stream_interfaces.h"
#include "platform/file_handle.h"

#include <cstdint>
#include <string>

namespace zel {

// File information read once, at creation, from an open handle (not owned, not closed).
// On this platform:
// - CreationTime is the file's birth time where the file system records it, else the earlier
//   of its last write and last status change;
// - ChangeTime is the last change of the file's status (metadata), LastWriteTime of its content;
// - DeletePending tells that the file has no name left (deleted while open);
// - VolumeSerialNumber is the device number of the file system, FileID the inode number.
class TZelFileInfo final : public IFileInfo {
public:
    // An empty file_name is resolved from the handle at once, while the handle still names
    // the file.
    TZelFileInfo(platform::TFileHandle handle, const std::string& file_name);

    bool Valid() const override { return Fvalid; }
    std::int64_t CreationTime() const override { return FCreationTime; }
    std::int64_t LastAccessTime() const override { return FLastAccessTime; }
    std::int64_t LastWriteTime() const override { return FLastWriteTime; }
    std::int64_t ChangeTime() const override { return FChangeTime; }
    TDateTime CreationDateTime() const override;
    TDateTime LastAccessDateTime() const override;
    TDateTime LastWriteDateTime() const override;
    TDateTime ChangeDateTime() const override;
    std::int64_t AllocationSize() const override { return FAllocationSize; }
    std::int64_t EndOfFile() const override { return FEndOfFile; }
    std::uint32_t NumberOfLinks() const override { return FNumberOfLinks; }
    bool DeletePending() const override { return FDeletePending; }
    bool Directory() const override { return FDirectory; }
    std::string FileName() const override { return FFilename; }
    std::uint64_t VolumeSerialNumber() const override { return FVolumeSerialNumber; }
    EXT_FILE_ID_128 FileID() const override { return FFileId; }

private:
    bool Fvalid = false;
    std::int64_t FCreationTime = 0;
    std::int64_t FLastAccessTime = 0;
    std::int64_t FLastWriteTime = 0;
    std::int64_t FChangeTime = 0;
    std::int64_t FAllocationSize = 0;
    std::int64_t FEndOfFile = 0;
    std::uint32_t FNumberOfLinks = 0;
    bool FDeletePending = false;
    bool FDirectory = false;
    std::uint64_t FVolumeSerialNumber = 0;
    EXT_FILE_ID_128 FFileId;
    std::string FFilename;
};

} // namespace zel
