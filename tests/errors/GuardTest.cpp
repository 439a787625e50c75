#include "Fakes.h"
#include "TempDir.h"
#include "errors/basModule1.h"

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

TEST(Guard, UnguardedFailureShowsTheStandardRunTimeErrorMessageAndEnds)
{
    FakeMessageBoxes boxes;
    FakeProcessEnd end;
    EXPECT_THROW(EndWithUnguardedFailure(RuntimeError(13), boxes, end), ProgramEnded);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].caption, QStringLiteral("実行時エラー"));
    EXPECT_TRUE(boxes.shown[0].text.contains(QStringLiteral("13")));
    EXPECT_TRUE(boxes.shown[0].text.contains(ErrorText(13)));
    EXPECT_EQ(boxes.shown[0].icon, MsgIcon::Critical);
    EXPECT_TRUE(end.ended);
}

TEST(GuardDeathTest, TheRealHandlerEndsTheProcessAtOnce)
{
    // The process ends inside ReportError: the line after it is never reached.
    TempDir dir;
    EXPECT_EXIT(
        {
            FakeMessageBoxes boxes;
            ImmediateProcessEnd end;
            CentralErrorHandler handler(boxes, end, dir.path(QStringLiteral("calvane.ini")));
            Guarded(handler, "frmMain.Form_Load", [] { throw RuntimeError(ErrNo::Overflow); });
            std::fprintf(stderr, "still running\n");
            std::exit(0);
        },
        ::testing::ExitedWithCode(1), "error 6 .*frmMain\\.Form_Load");
}

} // namespace
