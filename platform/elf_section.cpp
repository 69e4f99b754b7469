#include "platform/elf_section.h"

#include "platform/unique_descriptor.h"

#include <bit>
#include <cstdint>
#include <cstring>
#include <elf.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace zel::platform {

namespace {

class file_reader {
public:
    explicit file_reader(const std::string& path)
        : fd_(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {
        struct stat status {};
        if (fd_.valid() && ::fstat(fd_.get(), &status) == 0 && S_ISREG(status.st_mode))
            size_ = static_cast<std::uint64_t>(status.st_size);
    }

    // Reads exactly `length` bytes at `offset`; false when they are not all in the file.
    bool read(std::uint64_t offset, void* buffer, std::uint64_t length) const {
        if (offset > size_ || length > size_ - offset)
            return false;
        auto* out = static_cast<char*>(buffer);
        while (length > 0) {
            const ssize_t got = ::pread(fd_.get(), out, length, static_cast<off_t>(offset));
            if (got <= 0)
                return false;
            out += got;
            offset += static_cast<std::uint64_t>(got);
            length -= static_cast<std::uint64_t>(got);
        }
        return true;
    }

private:
    unique_descriptor fd_;
    std::uint64_t size_ = 0;
};

template <typename Ehdr, typename Shdr>
std::optional<std::string> find_section(const file_reader& file, std::string_view name,
                                        std::size_t max_size) {
    Ehdr header{};
    if (!file.read(0, &header, sizeof header) || header.e_shentsize != sizeof(Shdr) ||
        header.e_shnum == 0 || header.e_shstrndx == SHN_UNDEF ||
        header.e_shstrndx >= header.e_shnum)
        return std::nullopt; // no section table, or one this reader does not take apart

    std::vector<Shdr> sections(header.e_shnum);
    if (!file.read(header.e_shoff, sections.data(), sizeof(Shdr) * sections.size()))
        return std::nullopt;

    const Shdr& names = sections[header.e_shstrndx];
    if (names.sh_type == SHT_NOBITS)
        return std::nullopt;
    for (const Shdr& section : sections) {
        if (section.sh_type == SHT_NOBITS || section.sh_name >= names.sh_size ||
            names.sh_size - section.sh_name < name.size() + 1)
            continue;
        std::string candidate(name.size() + 1, '\0');
        if (!file.read(names.sh_offset + section.sh_name, candidate.data(), candidate.size()) ||
            std::string_view(candidate) != std::string_view(name.data(), name.size() + 1))
            continue;
        if (section.sh_size > max_size)
            return std::nullopt;
        std::string contents(section.sh_size, '\0');
        if (!file.read(section.sh_offset, contents.data(), contents.size()))
            return std::nullopt;
        return contents;
    }
    return std::nullopt;
}

} // namespace

std::optional<std::string> read_elf_section(const std::string& path, std::string_view name,
                                            std::size_t max_size) {
    const file_reader file(path);
    unsigned char ident[EI_NIDENT] = {};
    if (!file.read(0, ident, sizeof ident) || std::memcmp(ident, ELFMAG, SELFMAG) != 0)
        return std::nullopt;
    const unsigned char native =
        std::endian::native == std::endian::little ? ELFDATA2LSB : ELFDATA2MSB;
    if (ident[EI_DATA] != native)
        return std::nullopt;
    if (ident[EI_CLASS] == ELFCLASS64)
        return find_section<Elf64_Ehdr, Elf64_Shdr>(file, name, max_size);
    if (ident[EI_CLASS] == ELFCLASS32)
        return find_section<Elf32_Ehdr, Elf32_Shdr>(file, name, max_size);
    return std::nullopt;
}

} // namespace zel::platform
