#include "log/core/text_templates.h"

#include <algorithm>

namespace zel {

namespace {

// Ordinal comparisons of at most n characters that stop at a zero character.
int compare_case_sensitive(const QChar* a, const QChar* b, std::int32_t n) {
    for (std::int32_t i = 0; i < n; ++i) {
        const char16_t x = a[i].unicode();
        const char16_t y = b[i].unicode();
        if (x != y)
            return x < y ? -1 : 1;
        if (x == 0)
            return 0;
    }
    return 0;
}

int compare_case_insensitive(const QChar* a, const QChar* b, std::int32_t n) {
    for (std::int32_t i = 0; i < n; ++i) {
        const char16_t x = a[i].toCaseFolded().unicode();
        const char16_t y = b[i].toCaseFolded().unicode();
        if (x != y)
            return x < y ? -1 : 1;
        if (x == 0)
            return 0;
    }
    return 0;
}

// Grows the output in steps of 128 characters beyond the need, not per character.
void append(QString& out, const QChar* chars, qsizetype count) {
    if (out.size() + count > out.capacity())
        out.reserve(out.size() + count + 128);
    out.append(chars, count);
}

QString replace_all(const QString& text, TKvDictionnary& dictionary, const TValueGetter* getter) {
    QString out;
    out.reserve(text.size() + 128);
    const QChar* position = text.constData(); // zero-terminated
    const QChar* const end = position + text.size();
    while (position < end) {
        std::int32_t index = 0;
        if (dictionary.find_repl(position, index)) {
            Tkeyval& entry = dictionary.item(index);
            if (getter != nullptr)
                entry.establish_value(*getter);
            append(out, entry.value.constData(), entry.value.size());
            position += entry.key_len;
        } else {
            append(out, position, 1);
            ++position;
        }
    }
    dictionary.clear();
    return out;
}

} // namespace

std::int32_t Tkeyval::establish_value(const TValueGetter& get) {
    if (!value_established) {
        value.clear();
        get(index, key, value);
    }
    return static_cast<std::int32_t>(value.size());
}

TKvDictionnary::TKvDictionnary()
    : fcmp_proc(compare_case_sensitive) {}

void TKvDictionnary::set_case_sensitive(bool value) {
    Fcase_sensitive = value;
    fcmp_proc = value ? compare_case_sensitive : compare_case_insensitive;
}

bool TKvDictionnary::find_key(const QChar* in_key, std::int32_t cmp_len,
                              std::int32_t& index) const {
    std::int32_t low = 0;
    std::int32_t high = count() - 1;
    while (low <= high) {
        const std::int32_t middle = (low + high) / 2;
        const Tkeyval& entry = Fitems[static_cast<std::size_t>(middle)];
        int result = fcmp_proc(entry.key, in_key, std::min(entry.key_len, cmp_len));
        if (result == 0)
            result = entry.key_len < cmp_len ? -1 : (entry.key_len > cmp_len ? 1 : 0);
        if (result < 0) {
            low = middle + 1;
        } else if (result > 0) {
            high = middle - 1;
        } else {
            index = middle;
            return true;
        }
    }
    index = low;
    return false;
}

std::int32_t TKvDictionnary::insert(const QChar* in_key, std::int32_t in_key_len,
                                    const QString* in_value) {
    std::int32_t position = 0;
    if (find_key(in_key, in_key_len, position))
        return position;
    if (in_key_len > 0 && in_key[0].unicode() < 256)
        Fmap.set(in_key[0].unicode());
    Tkeyval entry;
    entry.index = count();
    entry.key = in_key;
    entry.key_len = in_key_len;
    if (in_value != nullptr) {
        entry.value = *in_value;
        entry.value_established = true;
    }
    Fitems.insert(Fitems.begin() + position, std::move(entry));
    return position;
}

std::int32_t TKvDictionnary::add_key(const QChar* in_key, std::int32_t in_key_len) {
    return insert(in_key, in_key_len, nullptr);
}

std::int32_t TKvDictionnary::add_keyval(const QChar* in_key, std::int32_t in_key_len,
                                        const QString& in_value) {
    return insert(in_key, in_key_len, &in_value);
}

bool TKvDictionnary::may_start_key(QChar c) const noexcept {
    const char16_t code = c.unicode();
    if (code >= 256 || Fmap.test(code))
        return true;
    if (Fcase_sensitive)
        return false;
    if (code >= u'A' && code <= u'Z')
        return Fmap.test(code - u'A' + u'a');
    if (code >= u'a' && code <= u'z')
        return Fmap.test(code - u'a' + u'A');
    return true;
}

bool TKvDictionnary::find_repl(const QChar* in_key, std::int32_t& index) const {
    if (!may_start_key(*in_key))
        return false;
    std::int32_t low = 0;
    std::int32_t high = count() - 1;
    bool found = false;
    while (low <= high) {
        const std::int32_t middle = (low + high) / 2;
        const Tkeyval& entry = Fitems[static_cast<std::size_t>(middle)];
        const int result = fcmp_proc(entry.key, in_key, entry.key_len);
        if (result < 0) {
            low = middle + 1;
        } else {
            high = middle - 1;
            if (result == 0) {
                found = true;
                low = middle;
            }
        }
    }
    index = low;
    return found;
}

void TKvDictionnary::clear() {
    for (Tkeyval& entry : Fitems)
        entry.free();
    Fitems.clear();
    Fmap.reset();
}

QString replace_pairs(const QString& text, const QStringList& key_values) {
    TKvDictionnary dictionary;
    for (qsizetype i = 0; i + 1 < key_values.size(); i += 2) {
        const QString& key = key_values[i];
        dictionary.add_keyval(key.constData(), static_cast<std::int32_t>(key.size()),
                              key_values[i + 1]);
    }
    return replace_all(text, dictionary, nullptr);
}

QString replace_with_getter(const QString& text, const QStringList& keys,
                            const TValueGetter& getter) {
    TKvDictionnary dictionary;
    for (const QString& key : keys)
        dictionary.add_key(key.constData(), static_cast<std::int32_t>(key.size()));
    return replace_all(text, dictionary, &getter);
}

QString pad_text(const QString& text, std::int32_t width, std::int32_t mode, const QString& pad) {
    const qsizetype length = text.size();
    if (width <= 0 || pad.isEmpty() || length >= width)
        return text;
    const qsizetype fill = width - length;
    const qsizetype plen = pad.size();
    // Forward from the first pad character, stopping (and repeating) at `last`.
    const auto forward = [&](qsizetype count, qsizetype last) {
        QString run;
        for (qsizetype i = 0; i < count; ++i)
            run += pad[std::min(i, last)];
        return run;
    };
    // Backward from the last pad character down to the first, which repeats.
    const auto backward = [&](qsizetype count) {
        QString run;
        for (qsizetype i = 0; i < count; ++i)
            run += pad[std::max(plen - 1 - i, qsizetype{0})];
        return run;
    };
    switch (mode) {
    case 1: {
        const qsizetype left = fill / 2;
        return forward(left, (plen + 1) / 2 - 1) + text + backward(fill - left);
    }
    case 2:
        return backward(fill) + text;
    default:
        return text + forward(fill, plen - 1);
    }
}

} // namespace zel
