#pragma once

#include <QChar>
#include <QString>
#include <QStringList>

#include <bitset>
#include <cstdint>
#include <functional>
#include <vector>

namespace zel {

// Computes the value of key number `index` (its position in the caller's key list) found at `key`.
using TValueGetter = std::function<void(std::int32_t index, const QChar* key, QString& value)>;

// One dictionary entry. The key points into the caller's text and is not copied.
struct Tkeyval {
    std::int32_t index = 0;
    const QChar* key = nullptr;
    std::int32_t key_len = 0;
    QString value;
    bool value_established = false;

    // Asks `get` for the value unless it was given at insertion (again at every use); returns its
    // length.
    std::int32_t establish_value(const TValueGetter& get);
    void free() { value.clear(); }
};

// Keys sorted for binary search, with a map of the characters that start a key so that a scan
// skips most positions without searching. Lives for one call: its keys point into the caller's
// texts.
class TKvDictionnary {
public:
    TKvDictionnary();

    bool case_sensitive() const noexcept { return Fcase_sensitive; }
    void set_case_sensitive(bool value);

    // True when a key equals the `cmp_len` characters at `in_key`; `index` is its position or the
    // position where it would be inserted.
    bool find_key(const QChar* in_key, std::int32_t cmp_len, std::int32_t& index) const;
    // Adds a key whose value is computed on demand; an existing key is kept. Returns its position.
    std::int32_t add_key(const QChar* in_key, std::int32_t in_key_len);
    // Adds a key with its value; an existing key keeps its first value. Returns its position.
    std::int32_t add_keyval(const QChar* in_key, std::int32_t in_key_len, const QString& in_value);
    // True when a whole key starts at `in_key` (a text position; the text ends with a zero).
    bool find_repl(const QChar* in_key, std::int32_t& index) const;
    void clear();

    std::int32_t count() const noexcept { return static_cast<std::int32_t>(Fitems.size()); }
    Tkeyval& item(std::int32_t index) { return Fitems[static_cast<std::size_t>(index)]; }

private:
    using TCompare = int (*)(const QChar* a, const QChar* b, std::int32_t n);

    bool may_start_key(QChar c) const noexcept;
    std::int32_t insert(const QChar* in_key, std::int32_t in_key_len, const QString* in_value);

    std::vector<Tkeyval> Fitems;
    std::bitset<256> Fmap;
    bool Fcase_sensitive = true;
    TCompare fcmp_proc;
};

// One left-to-right pass replacing every key by its value; replaced text is not scanned again.
// `key_values` holds key, value, key, value... (an odd last key is ignored; of two equal keys the
// first pair wins).
QString replace_pairs(const QString& text, const QStringList& key_values);
// The same with values computed by `getter` at each occurrence of a key (never for keys that do
// not occur).
QString replace_with_getter(const QString& text, const QStringList& keys,
                            const TValueGetter& getter);

// Pads `text` to `width` characters taken from `pad`: mode 0 left-aligned, 1 centred, 2
// right-aligned. A text already as wide (or an empty pad, or width 0) comes back unchanged.
QString pad_text(const QString& text, std::int32_t width, std::int32_t mode, const QString& pad);

} // namespace zel
