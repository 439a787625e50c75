#include "platform/PlaybackTimer.h"

#include <algorithm>

namespace calvane {

QtPlaybackTimer::QtPlaybackTimer()
{
    m_timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] {
        if (m_handler) {
            m_handler();
        }
    });
}

void QtPlaybackTimer::setInterval(int milliseconds)
{
    m_interval = std::max(milliseconds, 0);
    follow();
}

void QtPlaybackTimer::setSeen(bool seen)
{
    m_seen = seen;
    follow();
}

void QtPlaybackTimer::follow()
{
    // A QTimer of interval 0 would fire whenever the event loop is idle: 0 means off here.
    if (m_interval == 0 || !m_seen) {
        m_timer.stop();
    } else if (!m_timer.isActive()) {
        m_timer.start(kPlaybackTickMilliseconds);
    }
}

} // namespace calvane
