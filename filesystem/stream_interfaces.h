#pragma once

#include "Common/date_time.h"

#include <cstdint>
#include <memory>
#include <string>

namespace zel {

class TZelFileStream;

// The name a stream was opened on.
class IFileName {
public:
    virtual ~IFileName() = default;
    virtual std::string FileName() const = 0;
    // The directory of FileName, ending with a path delimiter; empty for a bare name.
    virtual std::string Path() const = 0;
};

// A stream that can open a second, read-only view of its file.
class IStreamClone {
public:
    virtual ~IStreamClone() = default;
    virtual std::unique_ptr<TZelFileStream> clone() const = 0;
};

// 128-bit file identifier: here the inode number in LowPart.
struct EXT_FILE_ID_128 {
    std::uint64_t LowPart = 0;
    std::uint64_t HighPart = 0;

    friend bool operator==(const EXT_FILE_ID_128&, const EXT_FILE_ID_128&) = default;
};

// A snapshot of a file's times, sizes and identity. Raw times count 100-nanosecond intervals
// since 1601-01-01 UTC; the date-time values are the same instants in UTC.
class IFileInfo {
public:
    virtual ~IFileInfo() = default;

    // False when the file could not be queried; every time, size and identity is then 0.
    virtual bool Valid() const = 0;
    virtual std::int64_t CreationTime() const = 0;
    virtual std::int64_t LastAccessTime() const = 0;
    virtual std::int64_t LastWriteTime() const = 0;
    virtual std::int64_t ChangeTime() const = 0;
    virtual TDateTime CreationDateTime() const = 0;
    virtual TDateTime LastAccessDateTime() const = 0;
    virtual TDateTime LastWriteDateTime() const = 0;
    virtual TDateTime ChangeDateTime() const = 0;
    virtual std::int64_t AllocationSize() const = 0;
    virtual std::int64_t EndOfFile() const = 0;
    virtual std::uint32_t NumberOfLinks() const = 0;
    virtual bool DeletePending() const = 0;
    virtual bool Directory() const = 0;
    virtual std::string FileName() const = 0;
    virtual std::uint64_t VolumeSerialNumber() const = 0;
    virtual EXT_FILE_ID_128 FileID() const = 0;
};

} // namespace zel
