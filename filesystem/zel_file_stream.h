#pragma once

#include "filesystem/handle_stream.h"
#include "filesystem/stream_interfaces.h"
#include "platform/file_handle.h"

#include <memory>
#include <stdexcept>
#include <string>

namespace zel {

// An invalid file name ("Invalid characters in file name") or a directory that cannot be
// created ("Can't create directory \"<directory>\"").
class EFileStreamError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A byte stream over a file it opens itself and closes when destroyed, remembering the file's
// name and directory. A file that cannot be opened gives a stream that is not Opened, whose
// reads and writes fail. Other processes may read the file meanwhile: POSIX files are shared
// for reading, so the share modes of the Windows open call have no counterpart here.
class TZelFileStream final : public THandleStream, public IFileName, public IStreamClone {
public:
    // Throws EFileStreamError for an empty name, a name longer than the system accepts or one
    // holding a NUL character, and when DoForceDirectories cannot create the missing
    // directories of the name; nothing is opened then.
    TZelFileStream(const std::string& FileName, bool DoForceDirectories,
                   platform::TFileAccess access, platform::TFileDisposition disposition);
    TZelFileStream(const TZelFileStream&) = delete;
    TZelFileStream& operator=(const TZelFileStream&) = delete;
    ~TZelFileStream() override;

    // Reads an existing file.
    static std::unique_ptr<TZelFileStream> Create_to_read(const std::string& FileName);
    // Reads and writes the file, creating it and its directories when missing; an existing
    // file keeps its content.
    static std::unique_ptr<TZelFileStream> Create_to_write(const std::string& FileName);

    // A read-only view of the same file, created empty when it has gone missing. It opens
    // also beside a writer of the file and sees what the writer has written.
    std::unique_ptr<TZelFileStream> clone() const override;

    // A new snapshot of the file's information, when the stream is open.
    bool informations(std::shared_ptr<IFileInfo>& info) const;

    bool Opened() const noexcept { return FHandle != platform::invalid_file_handle; }
    std::string FileName() const override { return FFileName; }
    std::string Path() const override { return FPath; }

private:
    std::string FPath;
    std::string FFileName;
};

} // namespace zel
