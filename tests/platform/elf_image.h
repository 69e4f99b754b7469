#pragma once

// Builds small ELF files in memory for tests that read sections back.

#include <bit>
#include <cstring>
#include <elf.h>
#include <string>
#include <vector>

namespace zel::testing {

struct elf_section {
    std::string name;
    std::string contents;
};

// Header, section contents, section-name table, then the section table (with the empty section
// 0 first), so that a file cut anywhere loses its section table.
template <typename Ehdr, typename Shdr>
std::string make_elf_image(const std::vector<elf_section>& sections, unsigned char elf_class) {
    std::string image(sizeof(Ehdr), '\0');
    std::string names(1, '\0');
    std::vector<Shdr> table(1);
    for (const auto& section : sections) {
        Shdr header{};
        header.sh_name = static_cast<decltype(header.sh_name)>(names.size());
        header.sh_type = SHT_PROGBITS;
        header.sh_offset = image.size();
        header.sh_size = section.contents.size();
        names += section.name + '\0';
        image += section.contents;
        table.push_back(header);
    }
    Shdr name_table{};
    name_table.sh_name = static_cast<decltype(name_table.sh_name)>(names.size());
    names += std::string(".shstrtab") + '\0';
    name_table.sh_type = SHT_STRTAB;
    name_table.sh_offset = image.size();
    name_table.sh_size = names.size();
    image += names;
    table.push_back(name_table);

    Ehdr header{};
    std::memcpy(header.e_ident, ELFMAG, SELFMAG);
    header.e_ident[EI_CLASS] = elf_class;
    header.e_ident[EI_DATA] =
        std::endian::native == std::endian::little ? ELFDATA2LSB : ELFDATA2MSB;
    header.e_ident[EI_VERSION] = EV_CURRENT;
    header.e_type = ET_DYN;
    header.e_version = EV_CURRENT;
    header.e_ehsize = sizeof(Ehdr);
    header.e_shentsize = sizeof(Shdr);
    header.e_shoff = image.size();
    header.e_shnum = static_cast<decltype(header.e_shnum)>(table.size());
    header.e_shstrndx = static_cast<decltype(header.e_shstrndx)>(table.size() - 1);
    std::memcpy(image.data(), &header, sizeof header);
    image.append(reinterpret_cast<const char*>(table.data()), table.size() * sizeof(Shdr));
    return image;
}

inline std::string make_elf64(const std::vector<elf_section>& sections) {
    return make_elf_image<Elf64_Ehdr, Elf64_Shdr>(sections, ELFCLASS64);
}

inline std::string make_elf32(const std::vector<elf_section>& sections) {
    return make_elf_image<Elf32_Ehdr, Elf32_Shdr>(sections, ELFCLASS32);
}

} // namespace zel::testing
