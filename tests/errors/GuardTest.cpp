#include "errors/Guard.h"

#include "Fakes.h"

#include <gtest/gtest.h>

using namespace calvane;
using namespace calvane::test;

namespace {

void unguardedHelper()
{
    throw RuntimeError(ErrNo::FileAlreadyExists);
}

TEST(Guard, AFailureInAnUnguardedCalleeIsReportedWithTheGuardsNameAndNothingAfterItRuns)
{
    FakeErrorReporter reporter;
    bool after = false;
    EXPECT_THROW(Guarded(reporter, "frmMain.cmdConv_Click",
                         [&] {
                             unguardedHelper();
                             after = true;
                         }),
                 ProgramEnded);
    ASSERT_EQ(reporter.reports.size(), 1u);
    EXPECT_EQ(reporter.reports[0].number, 58);
    EXPECT_EQ(reporter.reports[0].text, ErrorText(58));
    EXPECT_EQ(reporter.reports[0].procedure, QStringLiteral("frmMain.cmdConv_Click"));
    EXPECT_FALSE(after);
}

TEST(Guard, ReturnsTheBodysValueWhenNothingFails)
{
    FakeErrorReporter reporter;
    EXPECT_EQ(Guarded(reporter, "x", [] { return 42; }), 42);
    EXPECT_TRUE(reporter.reports.empty());
}

TEST(Guard, OutOfMemoryIsReportedAsSeven)
{
    FakeErrorReporter reporter;
    EXPECT_THROW(Guarded(reporter, "basMIDIInfo.GetMIDIInfo", [] { throw std::bad_alloc(); }), ProgramEnded);
    ASSERT_EQ(reporter.reports.size(), 1u);
    EXPECT_EQ(reporter.reports[0].number, 7);
}

} // namespace
