#pragma once

#include <QTimer>

#include <functional>

namespace calvane {

/// How far apart the real timer's ticks come: 25 a second, the rate at which the
/// window draws the time while a file plays. The end of play does not wait for a
/// tick: the device tells it as an event (MciDevice::SetEndOfPlayHandler).
constexpr int kPlaybackTickMilliseconds = 40;

/// The player's timer, timMIDIStop. Its interval is the state the window sets and
/// reads: 1 while a file plays, 0 off. While it is on, ticks come as often as the
/// implementation sees fit, and none while the window that shows them cannot be
/// seen. Each tick runs the handler, on the thread that owns the timer.
class PlaybackTimer
{
public:
    virtual ~PlaybackTimer() = default;
    virtual void setHandler(std::function<void()> handler) = 0;
    virtual void setInterval(int milliseconds) = 0;
    virtual int interval() const = 0;
    /// Whether the window can be seen (shown and not minimized); true at first.
    virtual void setSeen(bool seen) = 0;
};

/// The real timer: ticks kPlaybackTickMilliseconds apart while the interval is not 0
/// and the window can be seen.
class QtPlaybackTimer final : public PlaybackTimer
{
public:
    QtPlaybackTimer();
    void setHandler(std::function<void()> handler) override { m_handler = std::move(handler); }
    void setInterval(int milliseconds) override;
    int interval() const override { return m_interval; }
    void setSeen(bool seen) override;

private:
    void follow();

    QTimer m_timer;
    std::function<void()> m_handler;
    int m_interval = 0;
    bool m_seen = true;
};

} // namespace calvane
