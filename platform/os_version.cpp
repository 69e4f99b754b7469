#include "platform/os_version.h"

#include "platform/text_file.h"

#include <charconv>
#include <sstream>
#include <string_view>
#include <sys/utsname.h>

namespace zel::platform {

namespace {

// Shell-style value: double or single quotes around it, backslash escapes inside double quotes.
std::string unquote(const std::string& raw) {
    if (raw.size() < 2 || (raw.front() != '"' && raw.front() != '\''))
        return raw;
    const char quote = raw.front();
    std::string value;
    for (std::size_t i = 1; i < raw.size() && raw[i] != quote; ++i) {
        if (quote == '"' && raw[i] == '\\' && i + 1 < raw.size())
            ++i;
        value += raw[i];
    }
    return value;
}

// "6.1.0-18-amd64" -> 6, 1, 0; numbers that are missing stay 0.
void parse_release_numbers(std::string_view release, os_version& version) {
    int* const numbers[] = {&version.kernel_major, &version.kernel_minor, &version.kernel_patch};
    const char* position = release.data();
    const char* const end = release.data() + release.size();
    for (int* number : numbers) {
        const auto [next, error] = std::from_chars(position, end, *number);
        if (error != std::errc{} || next == end || *next != '.') {
            if (error != std::errc{})
                *number = 0;
            return;
        }
        position = next + 1;
    }
}

} // namespace

std::string os_release_value(const std::string& text, const std::string& key) {
    std::istringstream lines(text);
    const std::string prefix = key + '=';
    for (std::string line; std::getline(lines, line);) {
        if (line.compare(0, prefix.size(), prefix) == 0)
            return unquote(line.substr(prefix.size()));
    }
    return {};
}

int native_architecture_bits(const std::string& machine) {
    if (machine == "x86_64")
        return 64;
    if (machine == "i386" || machine == "i486" || machine == "i586" || machine == "i686")
        return 32;
    return 0;
}

os_version read_os_version() {
    os_version version;
    std::string release = read_text_file("/etc/os-release");
    if (release.empty())
        release = read_text_file("/usr/lib/os-release");
    version.pretty_name = os_release_value(release, "PRETTY_NAME");
    version.distribution_id = os_release_value(release, "ID");
    version.distribution_version = os_release_value(release, "VERSION_ID");

    // Debian keeps the system locale in /etc/default/locale, systemd systems in /etc/locale.conf.
    for (const char* file : {"/etc/default/locale", "/etc/locale.conf"}) {
        version.system_locale = os_release_value(read_text_file(file), "LANG");
        if (!version.system_locale.empty())
            break;
    }

    utsname names{};
    if (::uname(&names) == 0) {
        version.kernel_name = names.sysname;
        version.kernel_release = names.release;
        version.kernel_build = names.version;
        version.machine = names.machine;
        version.host_name = names.nodename;
        parse_release_numbers(names.release, version);
    }
    if (version.pretty_name.empty())
        version.pretty_name = version.kernel_name;
    return version;
}

} // namespace zel::platform
