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
                                           TitleCase{u"tab\there", 0}, TitleCase{u"曲名/2", 3},
                                           TitleCase{u"a\\b", 2}, TitleCase{u"<x>", 1}, TitleCase{u"x>", 2},
                                           TitleCase{u"why?", 4}, TitleCase{u"a*", 2}, TitleCase{u"C:", 2},
                                           TitleCase{u"L\n", 2}));

// ReplaceRefusedChars puts a form a name may hold in place of exactly those.
TEST(FindInvalidTitleChar, RefusesExactlyThirteenCharactersOfAsciiAndControlsWhichHaveLookAlikes)
{
    const QString refused = QStringLiteral("\"*,/:;<>?\\|\r\n");
    int count = 0;
    for (char16_t c = 0; c < 0x80; ++c) {
        const QString one(QChar{c});
        const bool isRefused = FindInvalidTitleChar(one) == 1;
        EXPECT_EQ(isRefused, refused.contains(QChar{c})) << int(c);
        count += isRefused ? 1 : 0;
        const QString replaced = ReplaceRefusedChars(one);
        EXPECT_EQ(FindInvalidTitleChar(replaced), 0) << int(c);
        EXPECT_EQ(replaced == one, !isRefused) << int(c);
    }
    EXPECT_EQ(count, 13);
    EXPECT_EQ(ReplaceRefusedChars(refused), QStringLiteral("＂＊，／：；＜＞？＼｜ "));
    EXPECT_EQ(ReplaceRefusedChars(u"1\r2\n3\n\r4\r\n"), QStringLiteral("1 2 3  4 "));
}

TEST(FindInvalidTitleChar, APositionBeyond16BitsOverflows)
{
    const QString title = QString(40000, u'a') + u'?';
    EXPECT_THROW(FindInvalidTitleChar(title), RuntimeError);
    EXPECT_EQ(FindInvalidTitleChar(QString(40000, u'a')), 0);
}

} // namespace
