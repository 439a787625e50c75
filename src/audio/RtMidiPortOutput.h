#pragma once

#include "player/MidiOutput.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <string>

class RtMidiOut;

namespace calvane {

/// The names of the MIDI output ports in RtMidi's order (ALSA); none without an ALSA sequencer.
QStringList RtMidiPortNames();

/// MIDI output port k (device ID k >= 0) through RtMidi.
class RtMidiPortOutput final : public MidiOutput
{
public:
    /// Null with the reason when there is no such port or it cannot be opened.
    static std::unique_ptr<RtMidiPortOutput> Open(int port, QString* why);
    ~RtMidiPortOutput() override;

    void SendShort(std::span<const std::uint8_t> message) override;
    void SendSysex(std::span<const std::uint8_t> bytes) override;

private:
    RtMidiPortOutput();
    std::unique_ptr<RtMidiOut> m_out;
    std::string m_lastError; ///< RtMidi reports through a callback instead of throwing
};

} // namespace calvane
