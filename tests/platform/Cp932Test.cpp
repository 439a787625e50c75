#include "platform/Cp932.h"

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
    // 82 A0 is valid; FF is never valid; a lead byte 82 at the very end has no trail.
    EXPECT_EQ(DecodeCp932(QByteArray::fromHex("82A0 FF 41 82")), QString::fromUtf16(u"あ\uFFFDA\uFFFD"));
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

TEST(Cp932, CharactersOutsideTheCodePageBecomeOneQuestionMarkEach)
{
    // Hangul and an emoji (a surrogate pair) have no code page 932 form.
    EXPECT_EQ(EncodeCp932(QString::fromUtf16(u"a\uD55C\U0001F3B5b")), QByteArray("a??b"));
}

} // namespace
