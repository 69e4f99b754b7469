#pragma once

#include <QString>

#include <cstdint>
#include <functional>

namespace zel {

// What the data connection of a STOR sends: an open file that may still be filling while it is
// sent (a local copy under way). The engine sends only the bytes it holds.
class IUploadSource {
public:
    IUploadSource() = default;
    virtual ~IUploadSource() = default;
    IUploadSource(const IUploadSource&) = delete;
    IUploadSource& operator=(const IUploadSource&) = delete;

    virtual int descriptor() const = 0;
    // Bytes from the start of the file that may be sent now.
    virtual std::int64_t available() const = 0;
    // All the bytes are there: `available` is the whole size.
    virtual bool complete() const = 0;
    // Why the file will never be whole; empty while it may.
    virtual QString failure() const = 0;

    // Set by the engine while it sends; called on the owning thread when the above changed.
    std::function<void()> on_changed;
};

} // namespace zel
