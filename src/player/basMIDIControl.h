#pragma once

#include <QString>
#include <QStringView>

#include <cstdint>
#include <functional>

namespace calvane {

class ErrorReporter;
class MciDevice;

/// Length of the mode reply: the device's mode word, NUL-filled to 16 characters.
constexpr int kPlayerModeLength = 16;

/// The playback command layer: turns verbs, queries and settings into the
/// command texts of the device alias "Midi" and reads the replies. It keeps no
/// state: the device is the state.
class basMIDIControl
{
public:
    /// currentMIDIPath is the program's shared current file, read at every "open".
    basMIDIControl(MciDevice& device, const QString& currentMIDIPath, ErrorReporter& reporter);

    /// "open", "play", "stop", "pause", "prev", "close" in any letter case: 0 when
    /// sent; 1 for "open" when no ordinary file is at the current path (nothing
    /// sent); 2 for any other verb (nothing sent). The device's answer does not
    /// change the result; a caller that wants to tell the user what went wrong
    /// passes `failure`, which receives the device's error text (MciErrorText), or
    /// the text of a missing file for result 1, and stays empty on success.
    std::int16_t MIDIControl(QStringView verb, QString* failure = nullptr);

    /// Always 16 characters: the mode word ("playing", "paused", "stopped", ...)
    /// and NUL fill; 16 NULs when no file is open.
    QString GetMIDIMode();
    std::int32_t GetMIDIPosition();
    std::int16_t GetMIDITempo();
    void SeekMIDI(std::int32_t milliseconds);
    void SetMIDIPort(const QString& port);

    /// Length of the open file in milliseconds (0 when none is open).
    std::int32_t GetMIDILength();

    /// Why the last start of play went to a silent output; empty while it sounds.
    QString SilentOutputReason() const;

    /// The device's end-of-play event (MciDevice::SetEndOfPlayHandler): called on
    /// the device's thread; empty to stop hearing of it.
    void SetEndOfPlayHandler(std::function<void()> handler);

    static bool IsPlaying(QStringView mode) { return mode.startsWith(u"playing"); }
    static bool IsPaused(QStringView mode) { return mode.startsWith(u"paused"); }
    static bool IsStopped(QStringView mode) { return mode.startsWith(u"stopped"); }
    /// The empty reply: no file is open (or the device did not answer).
    static bool IsNothingOpen(QStringView mode) { return mode.isEmpty() || mode.front() == QChar(u'\0'); }

private:
    QString query(const QString& command, int replySize);

    MciDevice& m_device;
    const QString& m_currentMIDIPath;
    ErrorReporter& m_reporter;
};

/// The leading decimal number of a reply (blanks skipped, 0 when there is none), as
/// read; the queries round it to the nearest whole number with ties to even.
double ReplyNumber(QStringView reply);

} // namespace calvane
