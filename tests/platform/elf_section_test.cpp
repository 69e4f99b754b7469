#include "platform/elf_section.h"
#include "tests/platform/elf_image.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>

namespace zel::platform {
namespace {

using testing::elf_section;

const std::string record("ZELVERINFO1\0key\0value\0", 22);
const std::vector<elf_section> sections{{".text", "code"}, {".zel_version", record}};

class ElfSection : public ::testing::Test {
protected:
    std::string write(const std::string& name, const std::string& bytes) {
        const QString path = dir_.filePath(QString::fromStdString(name));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes.data(), static_cast<qint64>(bytes.size()));
        return path.toStdString();
    }

    QTemporaryDir dir_;
};

TEST_F(ElfSection, FindsASectionByItsWholeNameInBothClasses) {
    for (const auto& image : {testing::make_elf64(sections), testing::make_elf32(sections)}) {
        const auto path = write("image", image);
        EXPECT_EQ(read_elf_section(path, ".zel_version", 1024), record);
        EXPECT_EQ(read_elf_section(path, ".text", 1024), "code");
        EXPECT_EQ(read_elf_section(path, ".zel", 1024), std::nullopt);
        EXPECT_EQ(read_elf_section(path, ".zel_version_", 1024), std::nullopt);
        EXPECT_EQ(read_elf_section(path, ".zel_version", record.size() - 1), std::nullopt);
    }
}

TEST_F(ElfSection, AFileCutAnywhereHasNoSection) {
    const auto image = testing::make_elf64(sections);
    for (std::size_t length = 0; length < image.size(); ++length)
        ASSERT_EQ(read_elf_section(write("cut", image.substr(0, length)), ".zel_version", 1024),
                  std::nullopt)
            << "cut at " << length;
}

TEST_F(ElfSection, DamagedHeadersGiveNothing) {
    using patch = std::function<void(Elf64_Ehdr&, Elf64_Shdr * table)>;
    const std::vector<std::pair<const char*, patch>> cases{
        {"big-endian mark",
         [](Elf64_Ehdr& h, Elf64_Shdr*) {
             h.e_ident[EI_DATA] = h.e_ident[EI_DATA] == ELFDATA2LSB ? ELFDATA2MSB : ELFDATA2LSB;
         }},
        {"unknown class", [](Elf64_Ehdr& h, Elf64_Shdr*) { h.e_ident[EI_CLASS] = 7; }},
        {"32-bit class on a 64-bit layout",
         [](Elf64_Ehdr& h, Elf64_Shdr*) { h.e_ident[EI_CLASS] = ELFCLASS32; }},
        {"table beyond the end", [](Elf64_Ehdr& h, Elf64_Shdr*) { h.e_shoff = ~0ULL - 8; }},
        {"wrong entry size", [](Elf64_Ehdr& h, Elf64_Shdr*) { h.e_shentsize = 40; }},
        {"no sections", [](Elf64_Ehdr& h, Elf64_Shdr*) { h.e_shnum = 0; }},
        {"too many sections", [](Elf64_Ehdr& h, Elf64_Shdr*) { h.e_shnum = 0xffff; }},
        {"name table index out of range", [](Elf64_Ehdr& h, Elf64_Shdr*) { h.e_shstrndx = 9; }},
        {"name beyond the name table",
         [](Elf64_Ehdr&, Elf64_Shdr* t) { t[2].sh_name = 0x7fffffff; }},
        {"contents beyond the end", [](Elf64_Ehdr&, Elf64_Shdr* t) { t[2].sh_offset = 1 << 20; }},
        {"huge contents", [](Elf64_Ehdr&, Elf64_Shdr* t) { t[2].sh_size = ~0ULL; }},
        {"no contents", [](Elf64_Ehdr&, Elf64_Shdr* t) { t[2].sh_type = SHT_NOBITS; }},
        {"name table offset beyond the end",
         [](Elf64_Ehdr&, Elf64_Shdr* t) { t[3].sh_offset = ~0ULL - 4; }},
    };
    for (const auto& [what, apply] : cases) {
        auto image = testing::make_elf64(sections);
        Elf64_Ehdr header{};
        std::memcpy(&header, image.data(), sizeof header);
        auto* table = reinterpret_cast<Elf64_Shdr*>(image.data() + header.e_shoff);
        apply(header, table);
        std::memcpy(image.data(), &header, sizeof header);
        EXPECT_EQ(read_elf_section(write("damaged", image), ".zel_version", 1 << 20), std::nullopt)
            << what;
    }
}

TEST_F(ElfSection, FilesThatAreNoElfGiveNothing) {
    EXPECT_EQ(read_elf_section(write("text", "just some text\n"), ".zel_version", 1024),
              std::nullopt);
    EXPECT_EQ(read_elf_section(write("empty", ""), ".zel_version", 1024), std::nullopt);
    EXPECT_EQ(read_elf_section(dir_.path().toStdString(), ".zel_version", 1024), std::nullopt);
    EXPECT_EQ(read_elf_section(dir_.filePath("missing").toStdString(), ".zel_version", 1024),
              std::nullopt);
}

} // namespace
} // namespace zel::platform
