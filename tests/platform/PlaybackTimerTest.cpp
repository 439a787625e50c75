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

TEST(QtPlaybackTimer, TicksWhileItHasAPeriodAndNotAtPeriodZero)
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

    // 0 is off: a timer of period 0 must not turn into one that fires whenever the loop is idle.
    timer.setInterval(0);
    EXPECT_EQ(timer.interval(), 0);
    const int before = ticks;
    for (int i = 0; i < 20; ++i) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    EXPECT_EQ(ticks, before);
}

} // namespace
