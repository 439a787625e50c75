#pragma once

#include "FakeMciDevice.h"

#include <algorithm>
#include <cstdint>
#include <functional>

namespace calvane::test {

/// Makes a FakeMciDevice play on a clock that the test (or a benchmark) moves:
/// its replies follow the commands as the media device's do. "open" gives a
/// file of `length` milliseconds stopped at 0; "play" runs the position from
/// where it stands; at the end the mode becomes "stopped" there; "pause" and
/// "stop" hold the position; a seek leaves the device stopped at the new place;
/// after "close" every query is empty. Command words are taken in any letter case.
/// The end of play is told (FakeMciDevice::endOfPlay) when passTime finds it.
class FakePlayback
{
public:
    FakePlayback(FakeMciDevice& device, std::function<std::int64_t()> nowMs)
        : m_device(device), m_now(std::move(nowMs))
    {
        m_device.onSend = [this](const QString& command) {
            obey(command.toLower());
            publish();
        };
    }
    FakePlayback(const FakePlayback&) = delete;
    FakePlayback& operator=(const FakePlayback&) = delete;
    ~FakePlayback() { m_device.onSend = nullptr; }

    std::int64_t length = 83456;
    int tempo = 120;

    /// Notices the time that has passed, as the media device's own thread does: a
    /// file that has reached its end stops there and tells the end-of-play handler.
    void passTime()
    {
        const bool wasPlaying = m_mode == Mode::Playing;
        position();
        if (m_open) {
            publish();
        }
        if (wasPlaying && m_mode == Mode::Stopped) {
            m_device.endOfPlay();
        }
    }

private:
    enum class Mode
    {
        Stopped,
        Playing,
        Paused
    };

    std::int64_t position()
    {
        if (m_mode == Mode::Playing) {
            m_position = std::min(m_position + m_now() - m_since, length);
            m_since = m_now();
            if (m_position == length) {
                m_mode = Mode::Stopped;
            }
        }
        return m_position;
    }

    void obey(const QString& command)
    {
        position(); // the end of play, if it came, before the command
        if (command.startsWith(u"open ")) {
            m_open = true;
            m_mode = Mode::Stopped;
            m_position = 0;
        } else if (!m_open) {
            return;
        } else if (command == u"close midi") {
            m_open = false;
        } else if (command == u"play midi" && m_mode != Mode::Playing) {
            m_mode = Mode::Playing;
            m_since = m_now();
        } else if (command == u"pause midi" && m_mode == Mode::Playing) {
            m_mode = Mode::Paused;
        } else if (command == u"stop midi") {
            m_mode = Mode::Stopped;
        } else if (command == u"seek midi to start") {
            m_mode = Mode::Stopped;
            m_position = 0;
        } else if (command.startsWith(u"seek midi to ")) {
            m_mode = Mode::Stopped;
            m_position = std::clamp<std::int64_t>(command.sliced(13).toLongLong(), 0, length);
        }
    }

    void publish()
    {
        QHash<QString, QString>& r = m_device.replies;
        if (!m_open) {
            for (const char* query :
                 {"status Midi mode", "status midi position", "status Midi length", "status midi tempo"}) {
                r.remove(QString::fromLatin1(query));
            }
            return;
        }
        r[QStringLiteral("status midi position")] = QString::number(position());
        static const char* const kModes[] = {"stopped", "playing", "paused"};
        r[QStringLiteral("status Midi mode")] = QString::fromLatin1(kModes[static_cast<int>(m_mode)]);
        r[QStringLiteral("status Midi length")] = QString::number(length);
        r[QStringLiteral("status midi tempo")] = QString::number(tempo);
    }

    FakeMciDevice& m_device;
    std::function<std::int64_t()> m_now;
    bool m_open = false;
    Mode m_mode = Mode::Stopped;
    std::int64_t m_position = 0;
    std::int64_t m_since = 0;
};

} // namespace calvane::test
