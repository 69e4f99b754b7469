#include "log/support/module_version.h"
#include "platform/process_info.h"
#include "tests/platform/elf_image.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtGlobal>

#include <gtest/gtest.h>

namespace zel {
namespace {

using namespace std::string_literals;

TEST(ModuleVersion, ThisProgramCarriesTheProjectVersion) {
    QString version;
    EXPECT_TRUE(get_file_version(QString(), version));
    EXPECT_EQ(version, "3.0.0.0");
    version.clear();
    EXPECT_TRUE(get_module_version(nullptr, version));
    EXPECT_EQ(version, "3.0.0.0");
    EXPECT_EQ(get_file_version_dotted(QString(), "none"), "3.0.0.0");
}

TEST(ModuleVersion, ModulesAreNamedByAnAddressInside) {
    static const int in_this_program = 0;
    const QString program = get_module_file_name(&in_this_program);
    EXPECT_EQ(program, QString::fromStdString(platform::executable_path()));
    EXPECT_EQ(get_module_file_name(), program);
    EXPECT_FALSE(module_is_library(&in_this_program));
    EXPECT_FALSE(module_is_library(nullptr));

    const auto* in_qt = reinterpret_cast<const void*>(&qVersion);
    const QString library = get_module_file_name(in_qt);
    EXPECT_TRUE(module_is_library(in_qt));
    EXPECT_TRUE(QFileInfo(library).fileName().startsWith("libQt6Core.so")) << library.toStdString();
    EXPECT_TRUE(QFileInfo::exists(library));

    // A library built elsewhere has no version record: not found, `version` untouched.
    QString version = "kept";
    EXPECT_FALSE(get_module_version(in_qt, version));
    EXPECT_EQ(version, "kept");
    EXPECT_EQ(get_file_version_dotted(library, "default"), "default");
}

struct record_case {
    const char* what;
    std::string record;
    bool found;
    const char* version; // what `version` holds afterwards; it starts as "kept"
};

void PrintTo(const record_case& param, std::ostream* out) {
    *out << param.what;
}

std::string record(std::initializer_list<std::string_view> texts) {
    std::string bytes("ZELVERINFO1", 12);
    for (const auto text : texts) {
        bytes += text;
        bytes += '\0';
    }
    return bytes + '\0';
}

const record_case record_cases[]{
    {"first translation of two",
     record({"VarFileInfo\\Translation", "040904b0 040704e4",
             "StringFileInfo\\040704e4\\FileVersion", "7.7",
             "StringFileInfo\\040904b0\\FileVersion", "1.2.3.4"}),
     true, "1.2.3.4"},
    {"another first translation",
     record({"VarFileInfo\\Translation", "040704e4 040904b0",
             "StringFileInfo\\040904b0\\FileVersion", "1.2.3.4",
             "StringFileInfo\\040704e4\\FileVersion", "7.7"}),
     true, "7.7"},
    {"paths compared without regard to case",
     record({"\\varfileinfo\\translation", "040904B0", "stringfileinfo\\040904b0\\fileversion",
             "2.0"}),
     true, "2.0"},
    {"empty version string",
     record({"VarFileInfo\\Translation", "040904b0", "StringFileInfo\\040904b0\\FileVersion", ""}),
     true, ""},
    {"translation without its string",
     record(
         {"VarFileInfo\\Translation", "040904b0", "StringFileInfo\\040904b0\\ProductVersion", "1"}),
     false, ""},
    {"no translation", record({"StringFileInfo\\040904b0\\FileVersion", "1.0"}), false, "kept"},
    {"short translation",
     record({"VarFileInfo\\Translation", "0409", "StringFileInfo\\0409\\FileVersion", "1.0"}),
     false, "kept"},
    {"translation not hexadecimal",
     record({"VarFileInfo\\Translation", "0409zzzz", "StringFileInfo\\0409zzzz\\FileVersion", "1"}),
     false, "kept"},
    {"record cut inside a value",
     "ZELVERINFO1\0VarFileInfo\\Translation\0"
     "0409"s,
     false, "kept"},
    {"wrong magic", "ZELVERINFO2" + record({"VarFileInfo\\Translation", "040904b0"}).substr(11),
     false, "kept"},
    {"empty record", "", false, "kept"},
};

class VersionRecord : public ::testing::TestWithParam<record_case> {};

TEST_P(VersionRecord, IsReadFromTheFileOnDisk) {
    const auto& param = GetParam();
    QTemporaryDir dir;
    const QString path = dir.filePath("module.so");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    const auto image = testing::make_elf64({{".text", "code"}, {".zel_version", param.record}});
    file.write(image.data(), static_cast<qint64>(image.size()));
    file.close();

    QString version = "kept";
    EXPECT_EQ(get_file_version(path, version), param.found);
    EXPECT_EQ(version, param.version);
}

INSTANTIATE_TEST_SUITE_P(Records, VersionRecord, ::testing::ValuesIn(record_cases));

TEST(ModuleVersion, DottedFormDropsSpacesAndCommas) {
    QTemporaryDir dir;
    const QString path = dir.filePath("module.so");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    const auto image = testing::make_elf64(
        {{".zel_version", record({"VarFileInfo\\Translation", "040904b0",
                                  "StringFileInfo\\040904b0\\FileVersion", "1, 0, 0, 4"})}});
    file.write(image.data(), static_cast<qint64>(image.size()));
    file.close();

    EXPECT_EQ(get_file_version_dotted(path, "default"), "1.0.0.4");
    EXPECT_EQ(get_file_version_dotted(dir.filePath("missing"), "default"), "default");
}

} // namespace
} // namespace zel
