#include "player/Sequencer.h"

#include "player/MidiOutput.h"
#include "player/SequencerClock.h"

#include <algorithm>
#include <array>
#include <vector>

#ifdef __linux__
#include <sys/prctl.h>
#endif

namespace calvane {
namespace {

constexpr std::uint8_t kControlChange = 0xB0;
constexpr std::uint8_t kSustain = 64;
constexpr std::uint8_t kResetAllControllers = 121;
constexpr std::uint8_t kAllNotesOff = 123;

void sendControl(MidiOutput& out, int channel, std::uint8_t controller, std::uint8_t value)
{
    const std::uint8_t message[] = {static_cast<std::uint8_t>(kControlChange | channel), controller, value};
    out.SendShort(message);
}

/// Controllers whose meaning depends on the ones before them (data entry of registered
/// and non-registered parameters): restored in their order, every one of them.
bool isParameterControl(std::uint8_t controller)
{
    return controller == 6 || controller == 38 || (controller >= 96 && controller <= 101);
}

} // namespace

Sequencer::Sequencer(SequencerClock& clock) : m_clock(clock), m_thread([this] { run(); }) {}

Sequencer::~Sequencer()
{
    {
        std::lock_guard lock(m_mutex);
        if (m_mode == Mode::Playing) {
            silence();
        }
        m_quit = true;
    }
    m_wake.notify_one();
    m_thread.join();
}

void Sequencer::Load(SmfSong song)
{
    Unload();
    std::lock_guard lock(m_mutex);
    m_song = std::move(song);
}

void Sequencer::Unload()
{
    {
        std::lock_guard lock(m_mutex);
        if (m_mode == Mode::Playing) {
            silence();
        }
        m_song.reset();
        m_mode = Mode::Stopped;
        m_positionUs = 0;
        m_next = 0;
    }
    m_wake.notify_one();
}

void Sequencer::Play(MidiOutput& output)
{
    {
        std::lock_guard lock(m_mutex);
        if (!m_song || m_mode == Mode::Playing) {
            return;
        }
        m_output = &output;
        restoreChannels();
        m_originUs = m_clock.NowUs() - m_positionUs;
        m_mode = Mode::Playing;
    }
    m_wake.notify_one();
}

void Sequencer::Pause()
{
    {
        std::lock_guard lock(m_mutex);
        if (m_mode != Mode::Playing) {
            return;
        }
        m_positionUs = positionLocked();
        m_mode = Mode::Paused;
        silence();
    }
    m_wake.notify_one();
}

void Sequencer::Stop()
{
    {
        std::lock_guard lock(m_mutex);
        if (m_mode == Mode::Playing) {
            m_positionUs = positionLocked();
            silence();
        }
        m_mode = Mode::Stopped;
    }
    m_wake.notify_one();
}

void Sequencer::Seek(std::int64_t timeUs)
{
    {
        std::lock_guard lock(m_mutex);
        if (!m_song) {
            return;
        }
        if (m_mode == Mode::Playing) {
            silence();
        }
        m_mode = Mode::Stopped;
        m_positionUs = std::clamp<std::int64_t>(timeUs, 0, m_song->lengthUs);
        const auto& events = m_song->events;
        m_next = static_cast<std::size_t>(
            std::lower_bound(events.begin(), events.end(), m_positionUs,
                             [](const SmfEvent& e, std::int64_t t) { return e.timeUs < t; }) -
            events.begin());
    }
    m_wake.notify_one();
}

Sequencer::Mode Sequencer::mode() const
{
    std::lock_guard lock(m_mutex);
    return m_mode;
}

std::int64_t Sequencer::PositionUs() const
{
    std::lock_guard lock(m_mutex);
    return positionLocked();
}

std::int64_t Sequencer::LengthUs() const
{
    std::lock_guard lock(m_mutex);
    return m_song ? m_song->lengthUs : 0;
}

int Sequencer::Tempo() const
{
    std::lock_guard lock(m_mutex);
    return m_song ? m_song->TempoAt(positionLocked()) : 0;
}

std::int64_t Sequencer::positionLocked() const
{
    if (m_mode != Mode::Playing) {
        return m_positionUs;
    }
    return std::clamp<std::int64_t>(m_clock.NowUs() - m_originUs, 0, m_song->lengthUs);
}

void Sequencer::run()
{
#ifdef __linux__
    // Linux lets a timed wait end up to 50 us late by default, to save wake-ups; a
    // sequencer wants its events on time.
    prctl(PR_SET_TIMERSLACK, 1UL);
#endif
    std::unique_lock lock(m_mutex);
    while (!m_quit) {
        const std::optional<std::int64_t> deadline =
            m_mode == Mode::Playing ? playDue(m_clock.NowUs()) : std::nullopt;
        m_clock.WaitUntil(m_wake, lock, deadline);
    }
}

std::optional<std::int64_t> Sequencer::playDue(std::int64_t nowUs)
{
    const std::int64_t songNow = nowUs - m_originUs;
    const std::vector<SmfEvent>& events = m_song->events;
    while (m_next < events.size() && events[m_next].timeUs <= songNow) {
        send(events[m_next++]);
    }
    if (m_next < events.size()) {
        return m_originUs + events[m_next].timeUs;
    }
    if (songNow < m_song->lengthUs) {
        return m_originUs + m_song->lengthUs;
    }
    m_positionUs = m_song->lengthUs;
    m_mode = Mode::Stopped;
    silence();
    return std::nullopt;
}

void Sequencer::send(const SmfEvent& e)
{
    if (e.messageSize > 0) {
        m_output->SendShort(std::span(e.message, e.messageSize));
    } else {
        m_output->SendSysex(m_song->Sysex(e));
    }
}

void Sequencer::silence()
{
    for (int channel = 0; channel < 16; ++channel) {
        sendControl(*m_output, channel, kSustain, 0);
        sendControl(*m_output, channel, kAllNotesOff, 0);
    }
}

void Sequencer::restoreChannels()
{
    for (int channel = 0; channel < 16; ++channel) {
        sendControl(*m_output, channel, kResetAllControllers, 0);
    }
    // Per channel, the last value of each controller, the program, channel pressure and
    // pitch bend; then everything sent again in the song's order.
    constexpr int kKeys = 128 + 3;
    std::array<std::int64_t, 16 * kKeys> last;
    last.fill(-1);
    std::vector<std::size_t> picks;
    const std::vector<SmfEvent>& events = m_song->events;
    for (std::size_t i = 0; i < m_next; ++i) {
        const SmfEvent& e = events[i];
        if (e.messageSize == 0) {
            picks.push_back(i);
            continue;
        }
        const int channel = e.message[0] & 0x0F;
        int key = -1;
        switch (e.message[0] & 0xF0) {
        case 0xB0:
            if (isParameterControl(e.message[1])) {
                picks.push_back(i);
            } else if (e.message[1] < 120) {
                key = e.message[1];
            }
            break;
        case 0xC0:
            key = 128;
            break;
        case 0xD0:
            key = 129;
            break;
        case 0xE0:
            key = 130;
            break;
        default:
            break; // notes and key pressure belong to their moment
        }
        if (key >= 0) {
            last[static_cast<std::size_t>(channel * kKeys + key)] = static_cast<std::int64_t>(i);
        }
    }
    for (const std::int64_t i : last) {
        if (i >= 0) {
            picks.push_back(static_cast<std::size_t>(i));
        }
    }
    std::sort(picks.begin(), picks.end());
    for (const std::size_t i : picks) {
        send(events[i]);
    }
}

} // namespace calvane
