#include "platform/file_copy.h"

#include "platform/unique_descriptor.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zel::platform {

namespace {

int copy_bytes(int source, int target) {
    for (;;) {
        const ssize_t copied = ::copy_file_range(source, nullptr, target, nullptr, 1 << 30, 0);
        if (copied == 0)
            return 0;
        if (copied > 0)
            continue;
        if (errno == EINTR)
            continue;
        if (errno != EXDEV && errno != ENOSYS && errno != EOPNOTSUPP && errno != EINVAL)
            return errno;
        // No in-kernel copy between these files: fall back to a plain read/write loop.
        char buffer[1 << 16];
        for (;;) {
            const ssize_t got = ::read(source, buffer, sizeof buffer);
            if (got == 0)
                return 0;
            if (got < 0) {
                if (errno == EINTR)
                    continue;
                return errno;
            }
            for (ssize_t done = 0; done < got;) {
                const ssize_t put = ::write(target, buffer + done, static_cast<size_t>(got - done));
                if (put < 0) {
                    if (errno == EINTR)
                        continue;
                    return errno;
                }
                done += put;
            }
        }
    }
}

} // namespace

int copy_file(const std::string& from, const std::string& to) {
    const unique_descriptor source(::open(from.c_str(), O_RDONLY | O_CLOEXEC));
    if (!source.valid())
        return errno;
    struct stat status {};
    if (::fstat(source.get(), &status) != 0)
        return errno;
    if (!S_ISREG(status.st_mode))
        return EISDIR;
    int error = 0;
    {
        unique_descriptor target(
            ::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, status.st_mode & 0666));
        if (!target.valid())
            return errno;
        error = copy_bytes(source.get(), target.get());
        if (error == 0 && ::close(target.release()) != 0)
            error = errno;
    }
    if (error != 0)
        ::unlink(to.c_str());
    return error;
}

} // namespace zel::platform
