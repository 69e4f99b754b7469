#include "log/support/log_text_codec.h"
#include "platform/locale_charset.h"

#include <gtest/gtest.h>

namespace zel {
namespace {

using namespace std::string_literals;

struct decode_case {
    const char* what;
    std::string bytes;
    QString text;
};

void PrintTo(const decode_case& param, std::ostream* out) {
    *out << param.what;
}

class DecodeLogText : public ::testing::TestWithParam<decode_case> {};

TEST_P(DecodeLogText, DetectsTheByteOrderMark) {
    const auto& param = GetParam();
    EXPECT_EQ(decode_log_text(QByteArrayView(param.bytes.data(), std::ssize(param.bytes))),
              param.text);
}

INSTANTIATE_TEST_SUITE_P(
    Marks, DecodeLogText,
    ::testing::Values(decode_case{"UTF-8 mark", "\xEF\xBB\xBF:std_log=\xC3\xA9\r\n",
                                  QStringLiteral(u":std_log=é\r\n")},
                      decode_case{"UTF-16 little-endian mark", "\xFF\xFE:\0a\0\r\0\n\0"s,
                                  QStringLiteral(u":a\r\n")},
                      decode_case{"UTF-16 big-endian mark", "\xFE\xFF\0:\0\xE9"s,
                                  QStringLiteral(u":é")},
                      decode_case{"empty", "", QString()}));

bool locale_is_utf8() {
    const auto charset = platform::locale_charset();
    return charset == "UTF-8" || charset == "ANSI_X3.4-1968";
}

TEST(LogTextCodec, WritesTheLocaleCharsetWithoutMarkAndReadsItBack) {
    if (!locale_is_utf8())
        GTEST_SKIP() << "the locale's character set is " << platform::locale_charset();
    const QString text = u"Grüße ✓ 日本\r\n"_qs;
    const QByteArray bytes = encode_log_text(text);
    EXPECT_EQ(bytes, text.toUtf8());
    EXPECT_FALSE(bytes.startsWith("\xEF\xBB\xBF"));
    EXPECT_EQ(decode_log_text(bytes), text);
}

TEST(LogTextCodec, InvalidBytesBecomeReplacementCharacters) {
    if (!locale_is_utf8())
        GTEST_SKIP() << "the locale's character set is " << platform::locale_charset();
    EXPECT_EQ(decode_log_text("a\x80z"), u"a\uFFFDz"_qs);
    // A lone surrogate cannot be stored: it is replaced, never dropped with its neighbours.
    const QString lone = QStringLiteral("x") + QChar(0xD800) + QStringLiteral("y");
    const QString back = decode_log_text(encode_log_text(lone));
    EXPECT_EQ(back.size(), 3);
    EXPECT_EQ(back.front(), u'x');
    EXPECT_EQ(back.back(), u'y');
}

} // namespace
} // namespace zel
