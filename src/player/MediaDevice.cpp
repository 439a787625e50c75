#include "player/MediaDevice.h"

#include "midi/SmfParser.h"
#include "platform/NativeFile.h"
#include "player/MidiOutput.h"

#include <QVarLengthArray>

#include <cerrno>
#include <cstdio>
#include <utility>

namespace calvane {
namespace {

std::int64_t toMs(std::int64_t us)
{
    return (us + 500) / 1000;
}

bool is(QStringView word, QStringView keyword)
{
    return word.compare(keyword, Qt::CaseInsensitive) == 0;
}

/// The words of a command, as views of its text: the queries of the playback timer
/// come a thousand times a second, and take no memory this way.
using Words = QVarLengthArray<QStringView, 8>;

// By hand rather than with QRegularExpression: a path may hold lone surrogates (bytes
// of a name that is not UTF-8, see NativePath), which the regular expression engine refuses.
Words splitWords(QStringView text)
{
    Words out;
    for (qsizetype i = 0; i < text.size();) {
        while (i < text.size() && text[i].isSpace()) {
            ++i;
        }
        const qsizetype start = i;
        while (i < text.size() && !text[i].isSpace()) {
            ++i;
        }
        if (i > start) {
            out.append(text.sliced(start, i - start));
        }
    }
    return out;
}

/// The text before the last word (blanks at its end removed) and that word.
std::pair<QStringView, QStringView> splitLastWord(QStringView text)
{
    qsizetype i = text.size();
    while (i > 0 && !text[i - 1].isSpace()) {
        --i;
    }
    return {text.first(i).trimmed(), text.sliced(i)};
}

} // namespace

void WriteDiagnosticLine(const QString& line)
{
    std::fputs((line + u'\n').toLocal8Bit().constData(), stderr);
}

MediaDevice::MediaDevice(MidiOutputs& outputs, SequencerClock& clock,
                         std::function<void(const QString&)> diagnostic)
    : m_outputs(outputs), m_diagnostic(std::move(diagnostic)), m_sequencer(clock)
{}

MediaDevice::~MediaDevice() = default;

int MediaDevice::SendString(const QString& command, QString* reply, int replySize)
{
    if (reply) {
        reply->clear();
    }
    QString text;
    const int result = execute(QStringView(command).trimmed(), text);
    if (result != 0 || !reply) {
        return result;
    }
    if (!text.isEmpty() && text.size() > replySize - 1) {
        return MciError::ParamOverflow;
    }
    *reply = text;
    return 0;
}

int MediaDevice::execute(QStringView command, QString& reply)
{
    const Words words = splitWords(command);
    if (words.isEmpty()) {
        return MciError::UnrecognizedCommand;
    }
    const QStringView verb = words[0];
    if (is(verb, u"open")) {
        return open(command);
    }
    if (!is(verb, u"play") && !is(verb, u"stop") && !is(verb, u"pause") && !is(verb, u"close") &&
        !is(verb, u"seek") && !is(verb, u"status") && !is(verb, u"set")) {
        return MciError::UnrecognizedCommand;
    }
    if (words.size() < 2) {
        return MciError::MissingDeviceName;
    }
    if (m_alias.isEmpty() || !is(words[1], m_alias)) {
        return MciError::InvalidDeviceName;
    }
    const std::span<const QStringView> args(words.begin() + 2, words.end());
    if (is(verb, u"seek")) {
        return seek(args);
    }
    if (is(verb, u"status")) {
        return status(args, reply);
    }
    if (is(verb, u"set")) {
        return set(args);
    }
    if (!args.empty()) {
        return MciError::UnrecognizedKeyword;
    }
    if (is(verb, u"play")) {
        return play();
    }
    if (is(verb, u"stop")) {
        m_sequencer.Stop();
    } else if (is(verb, u"pause")) {
        m_sequencer.Pause();
    } else {
        m_sequencer.Unload();
        m_alias.clear();
    }
    return 0;
}

int MediaDevice::open(QStringView command)
{
    // open <path> alias <name>, read from the end: a quoted path may hold blanks and quotes.
    const auto [beforeName, alias] = splitLastWord(command.sliced(4).trimmed());
    const auto [pathPart, aliasKeyword] = splitLastWord(beforeName);
    if (alias.isEmpty() || !is(aliasKeyword, u"alias") || pathPart.isEmpty()) {
        return MciError::MissingParameter;
    }
    QString path;
    if (pathPart.startsWith(u'"')) {
        if (pathPart.size() < 2 || !pathPart.endsWith(u'"')) {
            return MciError::MissingParameter;
        }
        path = pathPart.sliced(1, pathPart.size() - 2).toString();
    } else if (splitWords(pathPart).size() == 1) {
        path = pathPart.toString();
    } else {
        return MciError::MissingParameter;
    }
    if (!m_alias.isEmpty()) {
        return is(alias, m_alias) ? MciError::DuplicateAlias : MciError::DeviceOpen;
    }
    const WholeFile file = ReadWholeOrdinaryFile(NativePath(path), kMaxPlayableFileBytes);
    if (file.status == WholeFile::Status::Absent) {
        return MciError::FileNotFound;
    }
    if (file.status == WholeFile::Status::Unreadable) {
        return file.err == EFBIG ? MciError::FileTooLarge : MciError::FileRead;
    }
    std::optional<SmfSong> song = ParseSmf(file.bytes);
    if (!song) {
        return MciError::InvalidFile;
    }
    m_sequencer.Load(std::move(*song));
    m_alias = alias.toString();
    m_port = -1;
    return 0;
}

int MediaDevice::play()
{
    if (m_sequencer.mode() == Sequencer::Mode::Playing) {
        return 0;
    }
    std::unique_ptr<MidiOutput> previous;
    if (!m_output || m_outputPort != m_port || !m_outputWorks) {
        previous = std::exchange(m_output, openOutput());
        m_outputPort = m_port;
    }
    m_sequencer.Play(*m_output);
    return 0; // the previous output goes here, after the sequencer has let go of it
}

std::unique_ptr<MidiOutput> MediaDevice::openOutput()
{
    QString why;
    std::unique_ptr<MidiOutput> output = m_outputs.Open(m_port, &why);
    m_outputWorks = output != nullptr;
    if (m_outputWorks) {
        m_lastWhy.clear();
        return output;
    }
    if (why.isEmpty()) {
        why = QStringLiteral("the MIDI output %1 cannot be opened").arg(m_port);
    }
    if (why != m_lastWhy) {
        m_lastWhy = why;
        m_diagnostic(QStringLiteral("calvane: playing without sound: ") + why);
    }
    return std::make_unique<SilentMidiOutput>();
}

int MediaDevice::seek(std::span<const QStringView> args)
{
    if (args.size() != 2) {
        return args.empty() ? MciError::MissingParameter : MciError::UnrecognizedKeyword;
    }
    if (!is(args[0], u"to")) {
        return MciError::UnrecognizedKeyword;
    }
    const std::int64_t length = m_sequencer.LengthUs();
    std::int64_t target = 0;
    if (is(args[1], u"start")) {
        target = 0;
    } else if (is(args[1], u"end")) {
        target = length;
    } else {
        bool ok = false;
        const qlonglong ms = args[1].toLongLong(&ok);
        if (!ok) {
            return MciError::BadInteger;
        }
        if (ms < 0 || ms > toMs(length)) {
            return MciError::OutOfRange;
        }
        target = std::min<std::int64_t>(ms * 1000, length);
    }
    m_sequencer.Seek(target);
    return 0;
}

int MediaDevice::status(std::span<const QStringView> args, QString& reply)
{
    if (args.size() != 1) {
        return args.empty() ? MciError::MissingParameter : MciError::UnrecognizedKeyword;
    }
    const QStringView item = args[0];
    if (is(item, u"mode")) {
        switch (m_sequencer.mode()) {
        case Sequencer::Mode::Playing:
            reply = QStringLiteral("playing");
            break;
        case Sequencer::Mode::Paused:
            reply = QStringLiteral("paused");
            break;
        case Sequencer::Mode::Stopped:
            reply = QStringLiteral("stopped");
            break;
        }
    } else if (is(item, u"position")) {
        reply = QString::number(toMs(m_sequencer.PositionUs()));
    } else if (is(item, u"length")) {
        reply = QString::number(toMs(m_sequencer.LengthUs()));
    } else if (is(item, u"tempo")) {
        reply = QString::number(m_sequencer.Tempo());
    } else {
        return MciError::UnrecognizedKeyword;
    }
    return 0;
}

int MediaDevice::set(std::span<const QStringView> args)
{
    if (args.empty()) {
        return MciError::MissingParameter;
    }
    if (is(args[0], u"time")) {
        if (args.size() != 3 || !is(args[1], u"format")) {
            return MciError::UnrecognizedKeyword;
        }
        // Milliseconds are the device's only time format.
        return is(args[2], u"milliseconds") || is(args[2], u"ms") ? 0 : MciError::BadTimeFormat;
    }
    if (is(args[0], u"port")) {
        if (args.size() != 2) {
            return args.size() < 2 ? MciError::MissingParameter : MciError::UnrecognizedKeyword;
        }
        bool ok = false;
        const int port = args[1].toInt(&ok);
        if (!ok) {
            return MciError::BadInteger;
        }
        if (port < -1) {
            return MciError::OutOfRange;
        }
        m_port = port;
        return 0;
    }
    return MciError::UnrecognizedKeyword;
}

} // namespace calvane
