#include "player/Sequencer.h"

#include "player/MidiOutput.h"
#include "player/SequencerClock.h"

#include <algorithm>
#include <array>

#ifdef __linux__
#include <sys/prctl.h>
#endif

namespace calvane {
namespace {

constexpr std::uint8_t kControlChange = 0xB0;
constexpr std::uint8_t kProgramChange = 0xC0;
constexpr std::uint8_t kPitchBend = 0xE0;

// Controllers.
constexpr std::uint8_t kBankSelect = 0;
constexpr std::uint8_t kModulation = 1;
constexpr std::uint8_t kDataEntry = 6;
constexpr std::uint8_t kVolume = 7;
constexpr std::uint8_t kPan = 10;
constexpr std::uint8_t kExpression = 11;
constexpr std::uint8_t kBankSelectLsb = 32;
constexpr std::uint8_t kDataEntryLsb = 38;
constexpr std::uint8_t kSustain = 64;
constexpr std::uint8_t kSostenuto = 66;
constexpr std::uint8_t kRegisteredParameterLsb = 100;
constexpr std::uint8_t kRegisteredParameterMsb = 101;
constexpr std::uint8_t kAllSoundOff = 120;
constexpr std::uint8_t kResetAllControllers = 121;
constexpr std::uint8_t kAllNotesOff = 123;

void sendControl(MidiOutput& out, int channel, std::uint8_t controller, std::uint8_t value)
{
    const std::uint8_t message[] = {static_cast<std::uint8_t>(kControlChange | channel), controller, value};
    out.SendShort(message);
}

/// A channel as a General MIDI device starts: controllers reset, bank 0, program 0,
/// volume 100, expression 127, pan centre, no modulation, pitch bend centred with a
/// range of 2 semitones.
void sendChannelDefaults(MidiOutput& out, int channel)
{
    sendControl(out, channel, kResetAllControllers, 0);
    sendControl(out, channel, kBankSelect, 0);
    sendControl(out, channel, kBankSelectLsb, 0);
    const std::uint8_t program[] = {static_cast<std::uint8_t>(kProgramChange | channel), 0};
    out.SendShort(program);
    sendControl(out, channel, kVolume, 100);
    sendControl(out, channel, kExpression, 127);
    sendControl(out, channel, kPan, 64);
    sendControl(out, channel, kModulation, 0);
    const std::uint8_t centre[] = {static_cast<std::uint8_t>(kPitchBend | channel), 0x00, 0x40};
    out.SendShort(centre);
    // Registered parameter 0 (pitch-bend range): 2 semitones, 0 cents; then none selected.
    sendControl(out, channel, kRegisteredParameterMsb, 0);
    sendControl(out, channel, kRegisteredParameterLsb, 0);
    sendControl(out, channel, kDataEntry, 2);
    sendControl(out, channel, kDataEntryLsb, 0);
    sendControl(out, channel, kRegisteredParameterMsb, 127);
    sendControl(out, channel, kRegisteredParameterLsb, 127);
}

/// Controllers whose meaning depends on the ones before them (data entry of registered
/// and non-registered parameters): restored in their order, every one of them.
bool isParameterControl(std::uint8_t controller)
{
    return controller == kDataEntry || controller == kDataEntryLsb || (controller >= 96 && controller <= 101);
}

} // namespace

Sequencer::Sequencer(SequencerClock& clock) : m_clock(clock), m_thread([this] { run(); }) {}

Sequencer::~Sequencer()
{
    {
        std::lock_guard output(m_outputMutex);
        if (m_mode == Mode::Playing) {
            silence();
        }
        std::lock_guard lock(m_mutex);
        m_quit = true;
    }
    m_wake.notify_one();
    m_thread.join();
}

void Sequencer::Load(SmfSong song)
{
    Unload();
    std::lock_guard output(m_outputMutex);
    std::lock_guard lock(m_mutex);
    m_song = std::move(song);
    m_next.emplace(*m_song);
    m_micros = tempoThrough(*m_next, 0);
}

void Sequencer::Unload()
{
    {
        std::lock_guard output(m_outputMutex);
        const bool wasPlaying = m_mode == Mode::Playing;
        {
            std::lock_guard lock(m_mutex);
            m_next.reset();
            m_song.reset();
            m_mode = Mode::Stopped;
            m_positionUs = 0;
        }
        if (wasPlaying) {
            silence();
        }
    }
    m_wake.notify_one();
}

void Sequencer::Play(MidiOutput& output)
{
    {
        std::lock_guard outputLock(m_outputMutex);
        if (!m_song || m_mode == Mode::Playing) {
            return;
        }
        m_output = &output;
        restoreChannels();
        std::lock_guard lock(m_mutex);
        m_originUs = m_clock.NowUs() - m_positionUs;
        m_mode = Mode::Playing;
    }
    m_wake.notify_one();
}

void Sequencer::Pause()
{
    {
        std::lock_guard output(m_outputMutex);
        if (m_mode != Mode::Playing) {
            return;
        }
        {
            std::lock_guard lock(m_mutex);
            m_positionUs = positionLocked();
            m_micros = tempoThrough(*m_next, m_positionUs);
            m_mode = Mode::Paused;
        }
        silence();
    }
    m_wake.notify_one();
}

void Sequencer::Stop()
{
    {
        std::lock_guard output(m_outputMutex);
        const bool wasPlaying = m_mode == Mode::Playing;
        {
            std::lock_guard lock(m_mutex);
            if (wasPlaying) {
                m_positionUs = positionLocked();
                m_micros = tempoThrough(*m_next, m_positionUs);
            }
            m_mode = Mode::Stopped;
        }
        if (wasPlaying) {
            silence();
        }
    }
    m_wake.notify_one();
}

void Sequencer::Seek(std::int64_t timeUs)
{
    {
        std::lock_guard output(m_outputMutex);
        if (!m_song) {
            return;
        }
        const bool wasPlaying = m_mode == Mode::Playing;
        {
            std::lock_guard lock(m_mutex);
            m_mode = Mode::Stopped;
            m_positionUs = std::clamp<std::int64_t>(timeUs, 0, m_song->lengthUs);
            m_next.emplace(*m_song); // read from the start: the events stay in the file's bytes
            m_next->skipTo(m_positionUs, false);
            m_micros = tempoThrough(*m_next, m_positionUs);
        }
        if (wasPlaying) {
            silence();
        }
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
    return m_song ? BeatsPerMinute(m_micros) : 0;
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
    for (;;) {
        std::unique_lock output(m_outputMutex);
        if (m_quit) {
            return;
        }
        bool ended = false;
        const std::optional<std::int64_t> deadline = m_mode == Mode::Playing ? playDue(ended) : std::nullopt;
        if (ended) {
            output.unlock();
            std::lock_guard lock(m_endMutex);
            if (m_onEnd) {
                m_onEnd();
            }
            continue; // a command may have come meanwhile: look again
        }
        // The state lock is taken before the output lock is let go: a command that
        // comes now changes the state only once the wait has begun, and wakes it.
        std::unique_lock lock(m_mutex);
        output.unlock();
        m_clock.WaitUntil(m_wake, lock, deadline);
    }
}

void Sequencer::SetEndHandler(std::function<void()> handler)
{
    std::lock_guard lock(m_endMutex);
    m_onEnd = std::move(handler);
}

std::optional<std::int64_t> Sequencer::playDue(bool& ended)
{
    const std::int64_t songNow = m_clock.NowUs() - m_originUs;
    while (const SmfEvent* e = m_next->peek()) {
        if (e->timeUs > songNow) {
            return m_originUs + e->timeUs; // a tempo change wakes the thread too: Tempo() follows it
        }
        if (e->kind == SmfEvent::Kind::Tempo) {
            std::lock_guard lock(m_mutex);
            m_micros = e->microsPerQuarter;
        } else {
            send(*e);
        }
        m_next->advance();
    }
    if (songNow < m_song->lengthUs) {
        return m_originUs + m_song->lengthUs;
    }
    {
        std::lock_guard lock(m_mutex);
        m_positionUs = m_song->lengthUs;
        m_mode = Mode::Stopped;
    }
    silence();
    ended = true;
    return std::nullopt;
}

void Sequencer::send(const SmfEvent& e)
{
    if (e.kind == SmfEvent::Kind::Message) {
        m_output->SendShort(std::span(e.message, e.messageSize));
    } else {
        m_output->SendSysex(e.sysex);
    }
}

std::uint32_t Sequencer::tempoThrough(const SmfCursor& cursor, std::int64_t timeUs)
{
    SmfCursor ahead = cursor;
    ahead.skipTo(timeUs, true);
    return ahead.microsPerQuarter();
}

void Sequencer::silence()
{
    for (int channel = 0; channel < 16; ++channel) {
        sendControl(*m_output, channel, kSustain, 0);
        sendControl(*m_output, channel, kSostenuto, 0);
        sendControl(*m_output, channel, kAllNotesOff, 0);
        sendControl(*m_output, channel, kAllSoundOff, 0);
    }
}

namespace {

constexpr int kKeys = 128 + 3;
constexpr int kProgramKey = 128;

/// What restoring the channels keeps of an event: the last value of each controller,
/// the program, channel pressure and pitch bend (its key, else -1), or every one of
/// them (system exclusive and parameter controllers: `always`).
int keyOf(const SmfEvent& e, bool& always)
{
    always = e.kind == SmfEvent::Kind::Sysex;
    if (e.kind != SmfEvent::Kind::Message) {
        return -1;
    }
    switch (e.message[0] & 0xF0) {
    case kControlChange:
        always = isParameterControl(e.message[1]);
        return !always && e.message[1] < kAllSoundOff ? e.message[1] : -1;
    case kProgramChange:
        return kProgramKey;
    case 0xD0:
        return 129;
    case kPitchBend:
        return 130;
    default:
        return -1; // notes and key pressure belong to their moment
    }
}

} // namespace

void Sequencer::restoreChannels()
{
    for (int channel = 0; channel < 16; ++channel) {
        sendChannelDefaults(*m_output, channel);
    }
    // Per channel, the last value of each controller, the program, channel pressure and
    // pitch bend; then everything sent again in the song's order. A program goes with
    // the bank select in effect when it changed, sent right before it. Two readings of
    // the song up to the position: one finds what to send, the other sends it.
    const std::uint64_t played = m_next->eventsPassed();
    std::array<std::int64_t, 16 * kKeys> last;
    last.fill(-1);
    std::array<std::array<int, 2>, 16> bank;
    for (auto& b : bank) {
        b = {-1, -1};
    }
    std::array<std::array<int, 2>, 16> bankAtProgram = bank;
    for (SmfCursor c(*m_song); c.peek() && c.eventsPassed() < played; c.advance()) {
        const SmfEvent& e = *c.peek();
        bool always = false;
        const int key = keyOf(e, always);
        if (key < 0) {
            continue;
        }
        const int channel = e.message[0] & 0x0F;
        if (key == kBankSelect || key == kBankSelectLsb) {
            bank[channel][key == kBankSelect ? 0 : 1] = e.message[2];
        } else if (key == kProgramKey) {
            bankAtProgram[channel] = bank[channel];
        }
        last[static_cast<std::size_t>(channel * kKeys + key)] = static_cast<std::int64_t>(c.eventsPassed());
    }
    for (int channel = 0; channel < 16; ++channel) {
        // A bank select before the last program goes out with that program.
        const std::int64_t program = last[static_cast<std::size_t>(channel * kKeys + kProgramKey)];
        for (const int key : {kBankSelect, kBankSelectLsb}) {
            std::int64_t& selected = last[static_cast<std::size_t>(channel * kKeys + key)];
            if (selected < program) {
                selected = -1;
            }
        }
    }
    for (SmfCursor c(*m_song); c.peek() && c.eventsPassed() < played; c.advance()) {
        const SmfEvent& e = *c.peek();
        bool always = false;
        const int key = keyOf(e, always);
        const int channel = e.message[0] & 0x0F;
        if (!always && (key < 0 || last[static_cast<std::size_t>(channel * kKeys + key)] !=
                                       static_cast<std::int64_t>(c.eventsPassed()))) {
            continue;
        }
        if (key == kProgramKey) {
            const std::array<int, 2>& b = bankAtProgram[channel];
            if (b[0] >= 0) {
                sendControl(*m_output, channel, kBankSelect, static_cast<std::uint8_t>(b[0]));
            }
            if (b[1] >= 0) {
                sendControl(*m_output, channel, kBankSelectLsb, static_cast<std::uint8_t>(b[1]));
            }
        }
        send(e);
    }
}

} // namespace calvane
