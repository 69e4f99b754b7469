#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace zel::platform {

// A copy of a file taken at one moment, for an upload that must not read the user's file while
// it is sent. A thread of its own makes it: a clone where the file system shares extents
// (FICLONE: Btrfs, XFS; no bytes copied, but the source's unsaved pages are written first),
// else a kernel copy (copy_file_range) in large chunks, and `copied` tells how far it has come.
// The source is closed as soon as the copy ends.
class FileSnapshot {
public:
    // What failed before any byte was copied.
    enum class Stage { none, source, target, space };
    // What `start` could tell before any byte is copied; `error` is 0 when the copy runs.
    struct Started {
        std::unique_ptr<FileSnapshot> snapshot;
        int error = 0;
        Stage stage = Stage::none;
    };

    // Opens `from` (a regular file), creates `to` as a new file of the owner only, refusing to
    // follow a link at that path, and checks that the target's file system has room for the
    // copy; short of room, it tries the clone before it returns.
    static Started start(const std::string& from, const std::string& to);

    ~FileSnapshot();
    FileSnapshot(const FileSnapshot&) = delete;
    FileSnapshot& operator=(const FileSnapshot&) = delete;

    // The copy, open for reading; valid until the snapshot is destroyed.
    int descriptor() const;
    // Size of the source when the copy started: the size the copy reaches.
    std::int64_t size() const;
    // Bytes of the copy that hold their final content.
    std::int64_t copied() const;
    // The copy has ended, well (`error` 0) or not.
    bool finished() const;
    // errno of a failed copy; ENODATA when the source got shorter while it was copied.
    int error() const;
    // Readable each time `copied` or `finished` changes; `acknowledge` reads it empty.
    int ready_descriptor() const;
    void acknowledge() const;
    // The source is still open (the copy thread still reads it).
    bool source_open() const;

    // Removes the copy from its folder. Its blocks are freed when the last descriptor goes,
    // which the copy's thread or a short-lived thread of its own does, never the caller.
    void remove();

private:
    struct Shared;
    explicit FileSnapshot(std::shared_ptr<Shared> shared);

    std::shared_ptr<Shared> shared_;
};

// Makes a folder of this process alone (mode 0700, a name nobody else can take) for its
// temporary files, once; later calls give the same path. Under $XDG_CACHE_HOME (or ~/.cache) so
// that a large copy does not fill a memory-backed /tmp; the system's temporary folder when that
// cannot be made. Empty when neither can; `error` then holds the errno value. The folder is
// removed at program end when it is empty; the folders that ended processes left (a crash) are
// removed on a thread of their own when the first one is made.
std::string process_private_folder(int& error);

// Removes the folders of `parent` named `prefix` + process id + "-..." whose process has ended,
// with the files in them. Links are never followed.
void remove_abandoned_folders(const std::string& parent, const std::string& prefix);

} // namespace zel::platform
