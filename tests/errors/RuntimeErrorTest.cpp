#include "errors/RuntimeError.h"

#include <cerrno>
#include <gtest/gtest.h>
#include <new>
#include <set>
#include <stdexcept>

using namespace calvane;

namespace {

struct ErrnoCase
{
    int err;
    std::int32_t number;
    friend void PrintTo(const ErrnoCase& c, std::ostream* os)
    {
        *os << "errno " << c.err << " -> " << c.number;
    }
};

class ErrnoMapping : public ::testing::TestWithParam<ErrnoCase>
{};

TEST_P(ErrnoMapping, MapsOntoTheNumbersTheProgramTests)
{
    EXPECT_EQ(ErrorNumberFromErrno(GetParam().err), GetParam().number);
    EXPECT_EQ(RuntimeError::fromErrno(GetParam().err).number(), GetParam().number);
}

INSTANTIATE_TEST_SUITE_P(Table, ErrnoMapping,
                         ::testing::Values(ErrnoCase{ENOENT, 53}, ErrnoCase{EEXIST, 58},
                                           ErrnoCase{ENOTEMPTY, 58}, ErrnoCase{EACCES, 75},
                                           ErrnoCase{EPERM, 75}, ErrnoCase{EROFS, 75}, ErrnoCase{ENOSPC, 61},
                                           ErrnoCase{ENOTDIR, 76}, ErrnoCase{EIO, 57}));

TEST(RuntimeError, EveryNumberCarriesItsOwnText)
{
    const std::int32_t numbers[] = {5, 6, 7, 9, 13, 52, 53, 57, 58, 61, 67, 70, 75, 76, 340, 461};
    std::set<QString> texts;
    for (std::int32_t n : numbers) {
        const RuntimeError e(n);
        EXPECT_EQ(e.number(), n);
        EXPECT_FALSE(e.text().isEmpty()) << n;
        texts.insert(e.text());
    }
    EXPECT_EQ(texts.size(), std::size(numbers)) << "two numbers share a text";
    EXPECT_TRUE(RuntimeError(12345).text().contains(QStringLiteral("12345")));
}

TEST(RuntimeError, CurrentFailureTurnsWhatWasCaughtIntoARunTimeError)
{
    auto convert = [](auto thrower) {
        try {
            thrower();
        } catch (const std::exception&) {
            return CurrentFailure();
        }
        return RuntimeError(0);
    };
    EXPECT_EQ(convert([] { throw RuntimeError(58, QStringLiteral("own text")); }).text(),
              QStringLiteral("own text"));
    const RuntimeError memory = convert([] { throw std::bad_alloc(); });
    EXPECT_EQ(memory.number(), 7);
    EXPECT_EQ(memory.text(), ErrorText(7));
    // A library's own message is no run-time error text: the guard passes the standard one.
    const RuntimeError other = convert([] { throw std::runtime_error("boom"); });
    EXPECT_EQ(other.number(), 5);
    EXPECT_EQ(other.text(), ErrorText(5));
}

} // namespace
