#include "audio/RtMidiPortOutput.h"

#include "audio/AudioLibraries.h"

#include <RtMidi.h>

namespace calvane {
namespace {

void keepError(RtMidiError::Type, const std::string& text, void* lastError)
{
    *static_cast<std::string*>(lastError) = text;
}

/// An ALSA output client with its errors going to *lastError; null when RtMidi refuses.
std::unique_ptr<RtMidiOut> openClient(std::string* lastError, QString* why)
{
    if (!AlsaSequencerAvailable(why)) {
        return nullptr;
    }
    try {
        auto out = std::make_unique<RtMidiOut>(RtMidi::LINUX_ALSA, "Calvane");
        out->setErrorCallback(keepError, lastError);
        return out;
    } catch (const RtMidiError& e) {
        *why = QStringLiteral("RtMidi: %1").arg(QString::fromStdString(e.getMessage()));
        return nullptr;
    }
}

} // namespace

QStringList RtMidiPortNames()
{
    std::string lastError;
    QString why;
    const std::unique_ptr<RtMidiOut> out = openClient(&lastError, &why);
    QStringList names;
    if (out) {
        const unsigned int count = out->getPortCount();
        for (unsigned int i = 0; i < count; ++i) {
            names.append(QString::fromStdString(out->getPortName(i)));
        }
    }
    return names;
}

RtMidiPortOutput::RtMidiPortOutput() = default;
RtMidiPortOutput::~RtMidiPortOutput() = default;

std::unique_ptr<RtMidiPortOutput> RtMidiPortOutput::Open(int port, QString* why)
{
    std::unique_ptr<RtMidiPortOutput> output(new RtMidiPortOutput);
    output->m_out = openClient(&output->m_lastError, why);
    if (!output->m_out) {
        return nullptr;
    }
    const unsigned int count = output->m_out->getPortCount();
    if (port < 0 || static_cast<unsigned int>(port) >= count) {
        *why = QStringLiteral("there is no MIDI output port %1 (%2 ports)").arg(port).arg(count);
        return nullptr;
    }
    output->m_out->openPort(static_cast<unsigned int>(port), "Calvane preview");
    if (!output->m_out->isPortOpen()) {
        *why = QStringLiteral("cannot open MIDI output port %1: %2")
                   .arg(port)
                   .arg(QString::fromStdString(output->m_lastError));
        return nullptr;
    }
    return output;
}

void RtMidiPortOutput::SendShort(std::span<const std::uint8_t> message)
{
    m_out->sendMessage(message.data(), message.size());
}

void RtMidiPortOutput::SendSysex(std::span<const std::uint8_t> bytes)
{
    m_out->sendMessage(bytes.data(), bytes.size());
}

} // namespace calvane
