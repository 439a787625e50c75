#include "player/basMIDIControl.h"

#include "errors/Guard.h"
#include "platform/NativeFile.h"
#include "player/MciDevice.h"

#include <cmath>
#include <limits>

namespace calvane {
namespace {

template <class Int> Int toWhole(double value)
{
    // Ties to even: the default rounding mode of nearbyint.
    const double r = std::nearbyint(value);
    if (!(r >= static_cast<double>(std::numeric_limits<Int>::min()))) {
        return std::numeric_limits<Int>::min();
    }
    if (r > static_cast<double>(std::numeric_limits<Int>::max())) {
        return std::numeric_limits<Int>::max();
    }
    return static_cast<Int>(r);
}

} // namespace

double ReplyNumber(QStringView reply)
{
    qsizetype i = 0;
    while (i < reply.size() && (reply[i] == u' ' || reply[i] == u'\t')) {
        ++i;
    }
    const qsizetype start = i;
    if (i < reply.size() && (reply[i] == u'-' || reply[i] == u'+')) {
        ++i;
    }
    bool digits = false;
    double whole = 0; // exact up to 2^53: every reply of a time or a tempo
    while (i < reply.size() && reply[i].isDigit() && reply[i].unicode() < 0x80) {
        whole = whole * 10 + (reply[i].unicode() - u'0');
        ++i;
        digits = true;
    }
    if (digits && (i == reply.size() || reply[i] != u'.') && whole < 0x1p53) {
        return reply[start] == u'-' ? -whole : whole; // the timer's queries: no text to convert
    }
    if (i < reply.size() && reply[i] == u'.') {
        ++i;
        while (i < reply.size() && reply[i].unicode() >= u'0' && reply[i].unicode() <= u'9') {
            ++i;
            digits = true;
        }
    }
    if (!digits) {
        return 0;
    }
    bool ok = false;
    const double value = reply.sliced(start, i - start).toString().toDouble(&ok);
    return ok ? value : 0;
}

basMIDIControl::basMIDIControl(MciDevice& device, const QString& currentMIDIPath, ErrorReporter& reporter)
    : m_device(device), m_currentMIDIPath(currentMIDIPath), m_reporter(reporter)
{}

std::int16_t basMIDIControl::MIDIControl(QStringView verb, QString* failure)
{
    return Guarded(m_reporter, "basMIDIControl.MIDIControl", [&]() -> std::int16_t {
        const QString v = verb.toString().toLower();
        QString command;
        if (v == u"open") {
            if (!IsOrdinaryFile(NativePath(m_currentMIDIPath))) {
                if (failure) {
                    *failure = MciErrorText(MciError::FileNotFound);
                }
                return 1;
            }
            command = QStringLiteral("Open \"%1\" alias Midi").arg(m_currentMIDIPath);
        } else if (v == u"play") {
            command = QStringLiteral("Play Midi");
        } else if (v == u"stop") {
            command = QStringLiteral("Stop Midi");
        } else if (v == u"pause") {
            command = QStringLiteral("Pause Midi");
        } else if (v == u"prev") {
            command = QStringLiteral("Seek Midi to Start");
        } else if (v == u"close") {
            command = QStringLiteral("Close Midi");
        } else {
            return 2;
        }
        const int code = m_device.SendString(command, nullptr, 0); // only told, never acted on
        if (failure) {
            *failure = code == 0 ? QString() : MciErrorText(code);
        }
        return 0;
    });
}

QString basMIDIControl::query(const QString& command, int replySize)
{
    QString reply;
    m_device.SendString(command, &reply, replySize);
    reply.truncate(replySize - 1);
    return reply;
}

QString basMIDIControl::GetMIDIMode()
{
    QString mode = query(QStringLiteral("status Midi mode"), kPlayerModeLength);
    mode.resize(kPlayerModeLength, QChar(u'\0'));
    return mode;
}

std::int32_t basMIDIControl::GetMIDIPosition()
{
    m_device.SendString(QStringLiteral("set Midi time format milliseconds"), nullptr, 0);
    return toWhole<std::int32_t>(ReplyNumber(query(QStringLiteral("status midi position"), 16)));
}

std::int32_t basMIDIControl::GetMIDILength()
{
    m_device.SendString(QStringLiteral("set Midi time format milliseconds"), nullptr, 0);
    return toWhole<std::int32_t>(ReplyNumber(query(QStringLiteral("status Midi length"), 16)));
}

std::int16_t basMIDIControl::GetMIDITempo()
{
    return toWhole<std::int16_t>(ReplyNumber(query(QStringLiteral("status midi tempo"), 255)));
}

void basMIDIControl::SeekMIDI(std::int32_t milliseconds)
{
    m_device.SendString(QStringLiteral("set Midi time format milliseconds"), nullptr, 0);
    m_device.SendString(QStringLiteral("seek midi to ") + QString::number(milliseconds), nullptr, 0);
}

void basMIDIControl::SetMIDIPort(const QString& port)
{
    m_device.SendString(QStringLiteral("set Midi port ") + port, nullptr, 0);
}

QString basMIDIControl::SilentOutputReason() const
{
    return m_device.SilentOutputReason();
}

void basMIDIControl::SetEndOfPlayHandler(std::function<void()> handler)
{
    m_device.SetEndOfPlayHandler(std::move(handler));
}

} // namespace calvane
