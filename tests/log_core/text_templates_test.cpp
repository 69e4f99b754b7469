#include "log/core/text_templates.h"
#include "tests/log_core/qt_print.h"

#include <gtest/gtest.h>

namespace zel {
namespace {

TEST(PadText, ModesWidthsAndPads) {
    struct Case {
        const char* text;
        int width;
        int mode;
        const char* pad;
        const char* expected;
    };
    const Case cases[] = {
        {"abc", 6, 0, " ", "abc   "},
        {"abcdefgh", 6, 0, " ", "abcdefgh"}, // never truncated
        {"ab", 6, 1, "*", "**ab**"},
        {"abc", 6, 1, "*", "*abc**"}, // the left fill is the shorter one
        {"abc", 6, 2, ".", "...abc"},
        {"abc", 0, 0, " ", "abc"},
        {"abc", 6, 0, "", "abc"},
        {"x", 6, 0, "ab", "xabbbb"},    // the last pad character repeats
        {"x", 6, 2, "ab", "baaaax"},    // backwards, the first one repeats
        {"x", 8, 1, "<=>", "<==x>=<<"}, // up to the middle character, then back from the end
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected);
        EXPECT_EQ(pad_text(c.text, c.width, c.mode, c.pad), QString(c.expected));
    }
}

TEST(ReplacePairs, ReplacesInOnePassWithoutRescanning) {
    EXPECT_EQ(replace_pairs("{a} and {b}", {"{a}", "1", "{b}", "{a}"}), QString("1 and {a}"));
    // An empty value removes every occurrence; text between keys is kept.
    EXPECT_EQ(replace_pairs("x{gone}y{gone}", {"{gone}", ""}), QString("xy"));
    // Of two equal keys the first pair wins; an odd trailing key is ignored.
    EXPECT_EQ(replace_pairs("{k}{odd}", {"{k}", "first", "{k}", "second", "{odd}"}),
              QString("first{odd}"));
    // A key cut short by the end of the text does not match.
    EXPECT_EQ(replace_pairs("abc {ke", {"{key}", "v"}), QString("abc {ke"));
    // Comparison is case-sensitive; characters beyond Latin-1 are scanned too.
    EXPECT_EQ(replace_pairs("{A}{a}\u00e9\u4e2d{\u4e2d}", {"{a}", "1", "{\u4e2d}", "2"}),
              QString("{A}1\u00e9\u4e2d2"));
}

TEST(ReplaceWithGetter, AsksOnlyForKeysThatOccurAtEachOccurrence) {
    std::vector<int> asked;
    const QString result =
        replace_with_getter("{one}-{three}-{one}", {"{one}", "{two}", "{three}"},
                            [&](std::int32_t index, const QChar*, QString& value) {
                                asked.push_back(index);
                                value = QString::number(index * 10);
                            });
    EXPECT_EQ(result, QString("0-20-0"));
    EXPECT_EQ(asked, (std::vector<int>{0, 2, 0}));
}

TEST(ReplaceWithGetter, TagInsideExtraBracesKeepsTheOuterBraces) {
    const QString result = replace_with_getter(
        "{{id}}", {"{id}"}, [](std::int32_t, const QChar*, QString& value) { value = "7"; });
    EXPECT_EQ(result, QString("{7}"));
}

TEST(KvDictionnary, CaseInsensitiveModeFindsKeysOfEitherCase) {
    const QString keys = "{Time}";
    const QString text = "{tIME}";
    TKvDictionnary dictionary;
    dictionary.set_case_sensitive(false);
    dictionary.add_keyval(keys.constData(), static_cast<std::int32_t>(keys.size()), "t");
    std::int32_t index = -1;
    EXPECT_TRUE(dictionary.find_repl(text.constData(), index));
    EXPECT_EQ(index, 0);
    dictionary.set_case_sensitive(true);
    EXPECT_FALSE(dictionary.find_repl(text.constData(), index));
}

} // namespace
} // namespace zel
