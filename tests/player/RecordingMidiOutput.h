#pragma once

#include "QtPrint.h"
#include "player/MidiOutput.h"

#include <QByteArray>
#include <QStringList>

#include <mutex>
#include <vector>

namespace calvane::test {

/// Every message the outputs received, as hex ("90 3c 64"), in order.
class MidiLog
{
public:
    void add(std::span<const std::uint8_t> bytes)
    {
        std::lock_guard lock(m_mutex);
        m_messages.append(QString::fromLatin1(
            QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()))
                .toHex(' ')));
    }
    /// The messages so far; the log starts again empty.
    QStringList take()
    {
        std::lock_guard lock(m_mutex);
        return std::exchange(m_messages, {});
    }

private:
    std::mutex m_mutex;
    QStringList m_messages;
};

class RecordingMidiOutput final : public MidiOutput
{
public:
    explicit RecordingMidiOutput(MidiLog& log) : m_log(log) {}
    void SendShort(std::span<const std::uint8_t> message) override { m_log.add(message); }
    void SendSysex(std::span<const std::uint8_t> bytes) override { m_log.add(bytes); }

private:
    MidiLog& m_log;
};

/// Outputs that record into one log; the ports in `failing` cannot be opened.
/// The device list is `devices`.
class FakeMidiOutputs final : public MidiOutputs
{
public:
    MidiOutputDeviceList Devices() override { return devices; }
    std::unique_ptr<MidiOutput> Open(int port, QString* why) override
    {
        opened.push_back(port);
        if (std::find(failing.begin(), failing.end(), port) != failing.end()) {
            *why = QStringLiteral("port %1 is broken").arg(port);
            return nullptr;
        }
        return std::make_unique<RecordingMidiOutput>(log);
    }

    MidiOutputDeviceList devices{QStringLiteral("Synth"), {QStringLiteral("Port A")}};
    MidiLog log;
    std::vector<int> opened;
    std::vector<int> failing;
};

/// What the sequencer sends to silence every channel: sustain and sostenuto off, all
/// notes off, all sound off.
inline QStringList Silence()
{
    QStringList out;
    for (int channel = 0; channel < 16; ++channel) {
        for (const char* controller : {"40", "42", "7b", "78"}) {
            out << QStringLiteral("b%1 %2 00").arg(channel, 0, 16).arg(QLatin1String(controller));
        }
    }
    return out;
}

/// What every start of play sends first: each channel back to General MIDI defaults
/// (controllers reset, bank 0, program 0, volume 100, expression 127, pan 64,
/// modulation 0, pitch bend centred, a pitch-bend range of 2 semitones).
inline QStringList ChannelDefaults()
{
    QStringList out;
    for (int channel = 0; channel < 16; ++channel) {
        const QString c = QString::number(channel, 16);
        for (const char* message : {"b%1 79 00", "b%1 00 00", "b%1 20 00", "c%1 00", "b%1 07 64", "b%1 0b 7f",
                                    "b%1 0a 40", "b%1 01 00", "e%1 00 40", "b%1 65 00", "b%1 64 00",
                                    "b%1 06 02", "b%1 26 00", "b%1 65 7f", "b%1 64 7f"}) {
            out << QString::fromLatin1(message).arg(c);
        }
    }
    return out;
}

} // namespace calvane::test
