#include "platform/PlaybackTimer.h"

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
    // A QTimer of interval 0 would fire whenever the event loop is idle: 0 means off here.
    if (milliseconds <= 0) {
        m_timer.stop();
    } else if (!m_timer.isActive() || m_timer.interval() != milliseconds) {
        m_timer.start(milliseconds);
    }
}

} // namespace calvane
