#include "platform/command_line.h"

#include "platform/text_file.h"

namespace zel::platform {

std::vector<std::string> command_line_arguments() {
    // The kernel keeps the argument vector as NUL-terminated strings one after the other.
    const std::string raw = read_text_file("/proc/self/cmdline");
    std::vector<std::string> arguments;
    std::size_t start = 0;
    while (start < raw.size()) {
        std::size_t end = raw.find('\0', start);
        if (end == std::string::npos)
            end = raw.size();
        arguments.push_back(raw.substr(start, end - start));
        start = end + 1;
    }
    return arguments;
}

} // namespace zel::platform
