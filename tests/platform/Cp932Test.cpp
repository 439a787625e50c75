#include "platform/Cp932.h"

#include "QtPrint.h"

#include <gtest/gtest.h>

using namespace calvane;

namespace {

TEST(Cp932, DecodesSingleAndDoubleByteCharacters)
{
    // "A", space, hiragana a (82 A0), half-width katakana a (B1), wave dash as Windows maps it (81 60).
    EXPECT_EQ(DecodeCp932(QByteArray::fromHex("41 20 82A0 B1 8160")),
              QString::fromUtf16(u"A あ\uFF71\uFF5E"));
    // 5C is the backslash in code page 932, and NUL stays a character.
    EXPECT_EQ(DecodeCp932(QByteArray("a\\b\0c", 5)), QString::fromUtf16(u"a\\b\0c", 5));
}

TEST(Cp932, InvalidBytesEachBecomeOneReplacementCharacterAndTheRestSurvives)
{
    // 82 A0 is valid; 81 cannot lead a blank; a lead byte 82 at the very end has no trail.
    EXPECT_EQ(DecodeCp932(QByteArray::fromHex("82A0 81 20 41 82")), QString::fromUtf16(u"あ\uFFFD A\uFFFD"));
    // A lead byte followed by a byte that cannot trail it.
    const QString s = DecodeCp932(QByteArray::fromHex("81 0A 41"));
    EXPECT_TRUE(s.endsWith(QStringLiteral("\nA"))) << s.toStdString();
    EXPECT_TRUE(s.startsWith(QChar(0xFFFD)));
}

TEST(Cp932, EncodesAndRoundTrips)
{
    const QString text = QString::fromUtf16(u"C:\\曲\\ソング 1");
    const QByteArray bytes = EncodeCp932(text);
    EXPECT_EQ(bytes, QByteArray::fromHex("433A5C 8BC8 5C 835C 8393 834F 2031"));
    EXPECT_EQ(DecodeCp932(bytes), text);
}

// The five single bytes that code page 932 maps although they are no Shift_JIS
// characters, alone and among others, both ways.
TEST(Cp932, TheFiveExtraSingleBytesSurviveBothWays)
{
    struct Case
    {
        const char* hex;
        const char16_t* text;
    };
    const Case cases[] = {
        {"80", u"\u0080"},
        {"A0", u"\uF8F0"},
        {"FD", u"\uF8F1"},
        {"FE", u"\uF8F2"},
        {"FF", u"\uF8F3"},
        {"41 80 A0 FD FE FF 42", u"A\u0080\uF8F0\uF8F1\uF8F2\uF8F3B"},
        {"8BC8 FF 96BC A0", u"曲\uF8F3名\uF8F0"},
    };
    for (const Case& c : cases) {
        const QByteArray bytes = QByteArray::fromHex(c.hex);
        const QString text = QString::fromUtf16(c.text);
        EXPECT_EQ(DecodeCp932(bytes), text) << c.hex;
        EXPECT_EQ(EncodeCp932(text), bytes) << c.hex;
    }
}

TEST(Cp932, CharactersOutsideTheCodePageBecomeOneQuestionMarkEach)
{
    // Hangul and an emoji (a surrogate pair) have no code page 932 form.
    EXPECT_EQ(EncodeCp932(QString::fromUtf16(u"a\uD55C\U0001F3B5b")), QByteArray("a??b"));
    // A lone high surrogate is one "?" and leaves the character after it alone.
    const char16_t lone[] = {u'a', 0xD83C, u'b', 0xD83C, 0x66F2, 0xDF75, u'c'};
    EXPECT_EQ(EncodeCp932(QStringView(lone, 7)), QByteArray("a?b?\x8B\xC8?c"));
}

} // namespace
