#pragma once

#include <QTimer>

#include <functional>

namespace calvane {

/// The player's polling timer. Its interval is a period in milliseconds; 0
/// switches it off. Each tick runs the handler, on the thread that owns the timer.
class PlaybackTimer
{
public:
    virtual ~PlaybackTimer() = default;
    virtual void setHandler(std::function<void()> handler) = 0;
    virtual void setInterval(int milliseconds) = 0;
    virtual int interval() const = 0;
};

/// The real timer, precise to the millisecond as far as the event loop allows.
class QtPlaybackTimer final : public PlaybackTimer
{
public:
    QtPlaybackTimer();
    void setHandler(std::function<void()> handler) override { m_handler = std::move(handler); }
    void setInterval(int milliseconds) override;
    int interval() const override { return m_timer.isActive() ? m_timer.interval() : 0; }

private:
    QTimer m_timer;
    std::function<void()> m_handler;
};

} // namespace calvane
