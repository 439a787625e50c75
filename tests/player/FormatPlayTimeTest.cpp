#include "player/FormatPlayTime.h"

#include <gtest/gtest.h>

using namespace calvane;

namespace {

struct Case
{
    std::int32_t ms;
    const char* text;
};

// Named by its values: printed as raw bytes, the padding would make the test names differ from build to
// build.
void PrintTo(const Case& c, std::ostream* os)
{
    *os << c.ms << " ms";
}

class FormatPlayTimeTable : public ::testing::TestWithParam<Case>
{};

TEST_P(FormatPlayTimeTable, Text)
{
    EXPECT_EQ(FormatPlayTime(GetParam().ms), QString::fromLatin1(GetParam().text));
}

INSTANTIATE_TEST_SUITE_P(Times, FormatPlayTimeTable,
                         ::testing::Values(Case{0, "00:00.000"}, Case{83456, "01:23.456"},
                                           Case{6000000, "100:00.000"}, Case{1, "00:00.001"},
                                           Case{59999, "00:59.999"}, Case{60000, "01:00.000"},
                                           Case{599999, "09:59.999"}, Case{3599999, "59:59.999"},
                                           Case{2147483647, "35791:23.647"}, Case{-500, "-01:59.500"}));

} // namespace
