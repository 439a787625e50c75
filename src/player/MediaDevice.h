#pragma once

#include "player/MciDevice.h"
#include "player/Sequencer.h"

#include <QString>

#include <functional>
#include <memory>
#include <span>

namespace calvane {

class MidiOutput;
class MidiOutputs;
class SequencerClock;

/// Writes one line on stderr.
void WriteDiagnosticLine(const QString& line);

/// The in-process media device: a MIDI sequencer under one alias at a time, driven by
/// the media-control command texts (keywords and alias in any letter case):
///   open "<path>" alias <name>      (also an unquoted path without blanks)
///   play|stop|pause|close <alias>
///   seek <alias> to start|end|<ms>  (ends stopped there)
///   status <alias> mode|position|length|tempo
///   set <alias> time format milliseconds|ms
///   set <alias> port <n>            (-1 the built-in synthesizer, k output port k)
/// Times are always milliseconds. A failing command changes nothing and leaves the
/// reply empty. "open" refuses a file larger than kMaxPlayableFileBytes without reading
/// it. The output is chosen by the port at each start of play; when it cannot be
/// opened the song plays silently, SilentOutputReason says why, and so does one line
/// to the diagnostic (once for each new reason). Stop, pause, seek and close silence
/// the output before they return; the end of play is told on the sequencer's thread.
/// Not thread-safe: one thread sends the commands.
class MediaDevice final : public MciDevice
{
public:
    MediaDevice(MidiOutputs& outputs, SequencerClock& clock,
                std::function<void(const QString&)> diagnostic = WriteDiagnosticLine);
    ~MediaDevice() override;

    int SendString(const QString& command, QString* reply, int replySize) override;
    QString SilentOutputReason() const override { return m_lastWhy; }
    void SetEndOfPlayHandler(std::function<void()> handler) override
    {
        m_sequencer.SetEndHandler(std::move(handler));
    }

private:
    int execute(QStringView command, QString& reply);
    int open(QStringView command);
    int play();
    int seek(std::span<const QStringView> args);
    int status(std::span<const QStringView> args, QString& reply);
    int set(std::span<const QStringView> args);
    std::unique_ptr<MidiOutput> openOutput();

    MidiOutputs& m_outputs;
    std::function<void(const QString&)> m_diagnostic;
    QString m_alias; ///< empty while nothing is open
    int m_port = -1;
    std::unique_ptr<MidiOutput> m_output; ///< the output of the last start of play
    int m_outputPort = -1;
    bool m_outputWorks = false;
    QString m_lastWhy;     ///< why the output of the last start of play failed; empty when it works
    Sequencer m_sequencer; // after m_output, which must outlive the sequencer's use of it
};

} // namespace calvane
