#include "log/support/module_version.h"

#include "platform/elf_section.h"
#include "platform/module_file.h"

#include <optional>
#include <string_view>

namespace zel {

namespace {

// Layout of the record (see cmake/version_record.cpp.in): the magic text, then pairs of
// NUL-terminated UTF-8 texts, a query path and its value, ended by an empty path.
constexpr std::string_view record_section = ".zel_version";
constexpr std::string_view record_magic = "ZELVERINFO1";
constexpr std::size_t record_max_size = 64 * 1024;

class version_record {
public:
    explicit version_record(std::string bytes)
        : bytes_(std::move(bytes)) {}

    // The value stored under `path` (compared without regard to case and to a leading "\"),
    // with the length a version resource reports: the characters plus the terminating NUL.
    struct value {
        QString text;
        qsizetype length;
    };
    std::optional<value> query(QStringView path) const {
        const QStringView wanted = strip_root(path);
        std::string_view rest = bytes_;
        if (next_text(rest) != std::optional<std::string_view>(record_magic))
            return std::nullopt;
        for (;;) {
            const auto key = next_text(rest);
            if (!key || key->empty())
                return std::nullopt;
            const auto text = next_text(rest);
            if (!text)
                return std::nullopt;
            const QString key_text = QString::fromUtf8(key->data(), std::ssize(*key));
            if (strip_root(key_text).compare(wanted, Qt::CaseInsensitive) == 0) {
                QString decoded = QString::fromUtf8(text->data(), std::ssize(*text));
                const qsizetype length = decoded.size() + 1;
                return value{std::move(decoded), length};
            }
        }
    }

private:
    static QStringView strip_root(QStringView path) {
        return path.startsWith(u'\\') ? path.sliced(1) : path;
    }

    // The text up to the next NUL, which it consumes; nothing when no NUL is left.
    static std::optional<std::string_view> next_text(std::string_view& rest) {
        const auto end = rest.find('\0');
        if (end == std::string_view::npos)
            return std::nullopt;
        const std::string_view text = rest.substr(0, end);
        rest.remove_prefix(end + 1);
        return text;
    }

    std::string bytes_;
};

} // namespace

QString get_module_file_name(module_handle module) {
    return QString::fromStdString(platform::module_path(module));
}

bool module_is_library(module_handle module) {
    return module != nullptr && platform::in_shared_library(module);
}

bool get_file_version(const QString& file_name, QString& version) {
    const QString path = file_name.isEmpty() ? get_module_file_name() : file_name;
    auto bytes = platform::read_elf_section(path.toStdString(), record_section, record_max_size);
    if (!bytes || bytes->empty())
        return false;
    const version_record record(std::move(*bytes));

    // The first translation: language and code page, four hexadecimal digits each.
    const auto translations = record.query(u"\\VarFileInfo\\Translation");
    if (!translations)
        return false;
    const QStringView first = QStringView(translations->text).left(8);
    if (first.size() != 8)
        return false;
    bool language_ok = false;
    bool code_page_ok = false;
    const uint language = first.first(4).toUInt(&language_ok, 16);
    const uint code_page = first.last(4).toUInt(&code_page_ok, 16);
    if (!language_ok || !code_page_ok)
        return false;

    const auto file_version = record.query(
        QString::asprintf("\\StringFileInfo\\%.4x%.4x\\FileVersion", language, code_page));
    version = file_version && file_version->length > 1 ? file_version->text : QString();
    return file_version.has_value();
}

bool get_module_version(module_handle module, QString& version) {
    return get_file_version(get_module_file_name(module), version);
}

QString get_file_version_dotted(const QString& file_name, const QString& default_version) {
    QString version;
    if (!get_file_version(file_name, version))
        return default_version;
    return version.replace(u',', u'.').remove(u' ');
}

} // namespace zel
