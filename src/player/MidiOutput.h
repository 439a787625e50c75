#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <span>

namespace calvane {

/// Where the sequencer's bytes go: the built-in synthesizer, a MIDI output port, or
/// nowhere. The sequencer never calls one output from two threads at once.
/// Implementations do not throw: a failing output drops the message.
class MidiOutput
{
public:
    virtual ~MidiOutput() = default;
    /// A channel message: its status byte and one or two data bytes.
    virtual void SendShort(std::span<const std::uint8_t> message) = 0;
    /// System-exclusive bytes as the file holds them: F0 ... F7, or the raw bytes of an F7 escape.
    virtual void SendSysex(std::span<const std::uint8_t> bytes) = 0;
};

/// Plays silently: what the device uses when the chosen output cannot be opened.
class SilentMidiOutput final : public MidiOutput
{
public:
    void SendShort(std::span<const std::uint8_t>) override {}
    void SendSysex(std::span<const std::uint8_t>) override {}
};

/// The MIDI output devices as the settings dialog lists them: ID -1 is the built-in
/// synthesizer, IDs 0..Count()-1 the output ports.
struct MidiOutputDeviceList
{
    QString synthesizer;
    QStringList ports;

    int Count() const { return static_cast<int>(ports.size()); }
    /// The name of a device ID; empty for an ID that names no device.
    QString Name(int id) const
    {
        if (id == -1) {
            return synthesizer;
        }
        return id >= 0 && id < Count() ? ports[id] : QString();
    }
};

/// The platform's MIDI outputs.
class MidiOutputs
{
public:
    virtual ~MidiOutputs() = default;
    virtual MidiOutputDeviceList Devices() = 0;
    /// The output of a port (-1 the built-in synthesizer, k >= 0 output port k), or
    /// null with one line in *why saying why it cannot be opened.
    virtual std::unique_ptr<MidiOutput> Open(int port, QString* why) = 0;
};

/// For a program that never makes a sound (calvane-info, benchmarks): no devices, and
/// every output plays silently.
class NoMidiOutputs final : public MidiOutputs
{
public:
    MidiOutputDeviceList Devices() override { return {}; }
    std::unique_ptr<MidiOutput> Open(int, QString*) override { return std::make_unique<SilentMidiOutput>(); }
};

} // namespace calvane
