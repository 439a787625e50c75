#include "platform/PlaybackTimer.h"

#include <QCoreApplication>
#include <QDeadlineTimer>

#include <gtest/gtest.h>

using namespace calvane;

namespace {

/// Runs the event loop until `done` holds (a generous deadline, not a measurement).
template <class Done> bool runUntil(Done done)
{
    QDeadlineTimer deadline(30000);
    while (!done() && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    }
    return done();
}

TEST(QtPlaybackTimer, TicksWhileItHasAPeriodAndTheWindowIsSeen)
{
    int argc = 1;
    char name[] = "platform_test";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);

    QtPlaybackTimer timer;
    int ticks = 0;
    timer.setHandler([&] { ++ticks; });
    EXPECT_EQ(timer.interval(), 0);
    QCoreApplication::processEvents();
    EXPECT_EQ(ticks, 0);

    timer.setInterval(1);
    EXPECT_EQ(timer.interval(), 1);
    EXPECT_TRUE(runUntil([&] { return ticks >= 3; }));

    // While the window cannot be seen no tick comes, and the state stays.
    const auto noTicksForThreePeriods = [&] {
        const int before = ticks;
        QDeadlineTimer wait(3 * kPlaybackTickMilliseconds);
        while (!wait.hasExpired()) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
        }
        return ticks == before;
    };
    timer.setSeen(false);
    EXPECT_EQ(timer.interval(), 1);
    EXPECT_TRUE(noTicksForThreePeriods());
    timer.setSeen(true);
    const int seenAgain = ticks;
    EXPECT_TRUE(runUntil([&] { return ticks >= seenAgain + 2; }));

    // 0 is off: a timer of period 0 must not turn into one that fires whenever the loop is idle.
    timer.setInterval(0);
    EXPECT_EQ(timer.interval(), 0);
    EXPECT_TRUE(noTicksForThreePeriods());
    timer.setSeen(false);
    timer.setSeen(true); // seen again while off: still none
    EXPECT_TRUE(noTicksForThreePeriods());
}

} // namespace
