#pragma once

#include <string>

namespace zel::platform {

// What the running system says about itself: the distribution (os-release) and the kernel
// (uname). Fields are empty when the system does not tell.
struct os_version {
    std::string pretty_name;     // os-release PRETTY_NAME, e.g. "Debian GNU/Linux 12 (bookworm)"
    std::string distribution_id; // os-release ID, e.g. "debian"
    std::string distribution_version; // os-release VERSION_ID, e.g. "12"
    std::string kernel_name;          // "Linux"
    std::string kernel_release;       // e.g. "6.1.0-18-amd64"
    std::string kernel_build;         // the kernel's own build line (uname version)
    std::string machine;              // the kernel's architecture, e.g. "x86_64"
    std::string host_name;
    std::string system_locale; // the system-wide default locale (LANG of /etc/default/locale)
    int kernel_major = 0;
    int kernel_minor = 0;
    int kernel_patch = 0;
};

os_version read_os_version();

// Word size of the kernel's architecture: 64 for x86-64, 32 for x86, 0 for anything else.
int native_architecture_bits(const std::string& machine);

// The value of `key` in a text of shell-style KEY=value lines (os-release, the locale files),
// unquoted; empty when absent.
std::string os_release_value(const std::string& text, const std::string& key);

} // namespace zel::platform
