#pragma once

#include <QString>

#include <functional>

namespace calvane {

/// Return codes of the media device (the media-control interface's numbers).
namespace MciError {
constexpr int UnrecognizedKeyword = 259;
constexpr int UnrecognizedCommand = 261;
constexpr int InvalidDeviceName = 263; ///< no file is open under that alias
constexpr int DeviceOpen = 265;        ///< another alias is open
constexpr int ParamOverflow = 268;     ///< the reply does not fit the reply area
constexpr int BadInteger = 270;
constexpr int MissingParameter = 273;
constexpr int FileNotFound = 275;
constexpr int OutOfRange = 282;
constexpr int DuplicateAlias = 289;
constexpr int MissingDeviceName = 292;
constexpr int BadTimeFormat = 293;
constexpr int InvalidFile = 296;  ///< not a Standard MIDI File
constexpr int FileRead = 348;     ///< the file is there but cannot be read
constexpr int FileTooLarge = 512; ///< larger than kMaxPlayableFileBytes
} // namespace MciError

/// No Standard MIDI File comes near this size; a larger file is not read at all.
constexpr qint64 kMaxPlayableFileBytes = qint64{64} * 1024 * 1024;

/// What a return code means, in words for the user: what happened to the file for
/// the codes of "open", a general text for the others.
QString MciErrorText(int code);

/// The media-control device: one text command in, a return code (0 = success) and
/// a reply text out. The reply holds at most replySize - 1 characters; a command
/// that fails or has nothing to say leaves it empty.
class MciDevice
{
public:
    virtual ~MciDevice() = default;
    virtual int SendString(const QString& command, QString* reply, int replySize) = 0;

    /// Why the output chosen at the last start of play could not be opened (no sound
    /// card, no SoundFont, no port), so that the song plays silently; empty while the
    /// output sounds and before the first play.
    virtual QString SilentOutputReason() const = 0;

    /// The end of play as an event: `handler` is called, on a thread of the device's
    /// own, each time the open file plays to its end (not when a command stops it),
    /// once the mode reads "stopped". The receiver hands it over to its own thread
    /// and must not wait there for the thread that sets it; setting another handler
    /// (or none) waits until a call in progress has returned.
    virtual void SetEndOfPlayHandler(std::function<void()> handler) = 0;
};

} // namespace calvane
