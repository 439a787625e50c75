#include "rename/basFileNameControl.h"

#include "errors/RuntimeError.h"

#include <gtest/gtest.h>

using namespace calvane;

namespace {

struct TitleCase
{
    const char16_t* title;
    int expected;
    friend void PrintTo(const TitleCase& c, std::ostream* os)
    {
        *os << "[";
        for (const char16_t* t = c.title; *t; ++t) {
            if (*t < 0x20) {
                *os << "^" << char('@' + *t); // control characters shown as ^M, ^J
            } else {
                *os << QString(QChar(*t)).toStdString();
            }
        }
        *os << "]";
    }
};

class FindInvalidTitleCharTable : public ::testing::TestWithParam<TitleCase>
{};

TEST_P(FindInvalidTitleCharTable, Position)
{
    EXPECT_EQ(FindInvalidTitleChar(QString::fromUtf16(GetParam().title)), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Titles, FindInvalidTitleCharTable,
                         ::testing::Values(TitleCase{u"Song, No. 1", 5}, TitleCase{u"A;B", 2},
                                           TitleCase{u"abc|def", 4}, TitleCase{u"Title\r\n", 6},
                                           TitleCase{u"", 0}, TitleCase{u"   ", 0}, TitleCase{u"end.", 0},
                                           TitleCase{u"全角？＊：", 0}, TitleCase{u"\"quoted\"", 1},
                                           TitleCase{u"tab\there", 4}, TitleCase{u"曲名/2", 3},
                                           TitleCase{u"a\\b", 2}, TitleCase{u"<x>", 1}, TitleCase{u"x>", 2},
                                           TitleCase{u"why?", 4}, TitleCase{u"a*", 2}, TitleCase{u"C:", 2},
                                           TitleCase{u"L\n", 2}, TitleCase{u"\x1b[31mred", 1},
                                           TitleCase{u"del\x7f", 4}, TitleCase{u"\x80\u3000ok", 0}));

// Refused: the eleven characters that have look-alikes, CR and LF, and every
// other control character (U+0001 to U+001F, U+007F); ReplaceRefusedChars puts
// a form a name may hold in place of exactly those: a look-alike, a space for a
// line break or a tab, nothing for the other control characters.
TEST(FindInvalidTitleChar, RefusesThePunctuationAndEveryControlCharacterAndReplacesEach)
{
    const QString lookAlikes = QStringLiteral("\"*,/:;<>?\\|");
    const QString fullWidth = QStringLiteral("＂＊，／：；＜＞？＼｜");
    int count = 0;
    for (char16_t c = 1; c < 0x80; ++c) {
        const QString one = QStringLiteral("a") + QChar{c} + QStringLiteral("b");
        const bool control = c < 0x20 || c == 0x7F;
        const bool isRefused = FindInvalidTitleChar(one) == 2;
        EXPECT_EQ(isRefused, control || lookAlikes.contains(QChar{c})) << int(c);
        count += isRefused ? 1 : 0;
        const QString replaced = ReplaceRefusedChars(one);
        EXPECT_EQ(FindInvalidTitleChar(replaced), 0) << int(c);
        const qsizetype look = lookAlikes.indexOf(QChar{c});
        const QString expected = look >= 0                                ? u'a' + fullWidth[look] + u'b'
                                 : c == u'\t' || c == u'\r' || c == u'\n' ? QStringLiteral("a b")
                                 : control                                ? QStringLiteral("ab")
                                                                          : one;
        EXPECT_EQ(replaced, expected) << int(c);
    }
    EXPECT_EQ(count, 11 + 32);
    EXPECT_EQ(ReplaceRefusedChars(lookAlikes + QStringLiteral("\r\n")), fullWidth + u' ');
    EXPECT_EQ(ReplaceRefusedChars(u"1\r2\n3\n\r4\r\n"), QStringLiteral("1 2 3  4 "));
    EXPECT_EQ(ReplaceRefusedChars(u"\x1b[1mBold\x1b[0m\tX"), QStringLiteral("[1mBold[0m X"));
}

TEST(FindInvalidTitleChar, APositionBeyond16BitsOverflows)
{
    const QString title = QString(40000, u'a') + u'?';
    EXPECT_THROW(FindInvalidTitleChar(title), RuntimeError);
    EXPECT_EQ(FindInvalidTitleChar(QString(40000, u'a')), 0);
}

} // namespace
