#include "rename/FileNameConv.h"

#include "errors/Guard.h"
#include "platform/NativeFile.h"
#include "rename/BatchRename.h"
#include "rename/RenameSpace.h"
#include "rename/basFileNameControl.h"
#include "settings/Settings.h"

#include <algorithm>
#include <limits>

namespace calvane {
namespace {

bool onlySpaces(QStringView title)
{
    return std::all_of(title.begin(), title.end(), [](QChar c) { return c == u' ' || c == u'\u3000'; });
}

/// Longest title the character check takes: its positions are 16-bit numbers.
constexpr qsizetype kLongestCheckedTitle = std::numeric_limits<std::int16_t>::max();

/// 0-based index of the first character that may not stand in the file name, or -1.
qsizetype refusedCharAt(QStringView title)
{
    const qsizetype invalid = FindInvalidTitleChar(title) - 1;
    const qsizetype nul = title.indexOf(QChar(u'\0'));
    if (invalid < 0 || nul < 0) {
        return std::max(invalid, nul);
    }
    return std::min(invalid, nul);
}

} // namespace

ConvOutcome CheckConvTitle(const QString& fileName, const QString& title, const Settings& settings)
{
    ConvOutcome outcome;
    outcome.title = title;
    // Many files store the title as a C string with its terminator: those NULs
    // end the text rather than belong to it.
    while (outcome.title.endsWith(QChar(u'\0'))) {
        outcome.title.chop(1);
    }
    if (fileName.isEmpty()) {
        outcome.result = ConvResult::NoFile;
        return outcome;
    }
    if (outcome.title.isEmpty()) {
        outcome.result = ConvResult::NoTitle;
        return outcome;
    }
    if (settings.Space && onlySpaces(outcome.title)) {
        outcome.title.clear();
        outcome.result = ConvResult::NoTitle;
        return outcome;
    }
    if (settings.LastSpace) {
        qsizetype end = outcome.title.size();
        while (end > 0 && outcome.title.at(end - 1) == u' ') {
            --end;
        }
        outcome.title.truncate(end);
    }
    // A name that starts with "." is hidden here: the renamed file would vanish
    // from the list and could no longer be loaded. An empty title would give
    // ".mid"; a leading period is refused like any other refused character.
    if (outcome.title.isEmpty()) {
        outcome.result = ConvResult::NoTitle;
        return outcome;
    }
    outcome.refusedAt =
        outcome.title.startsWith(u'.')
            ? 0
            : refusedCharAt(
                  QStringView(outcome.title).first(std::min(outcome.title.size(), kLongestCheckedTitle)));
    if (outcome.refusedAt >= 0) {
        outcome.result = ConvResult::RefusedChar;
        return outcome;
    }
    if (outcome.title.size() > kLongestCheckedTitle) {
        outcome.result = ConvResult::TitleTooLong; // far beyond any name a file system takes
        return outcome;
    }
    outcome.result = ConvResult::Renamed;
    return outcome;
}

int ConvResultNumber(ConvResult result)
{
    return result == ConvResult::TitleTooLong ? static_cast<int>(ConvResult::AccessFailure)
                                              : static_cast<int>(result);
}

ConvResult ConvResultOfFailure(std::int32_t number)
{
    switch (number) {
    case ErrNo::FileNotFound:
        return ConvResult::NoFile; // moved or deleted by another program since it was listed
    case ErrNo::FileAlreadyExists:
        return ConvResult::NameExists;
    case ErrNo::PathFileAccessError:
        return ConvResult::AccessFailure;
    default:
        return ConvResult::OtherFailure;
    }
}

ConvOutcome FileNameConv(RenameSpace& space, const QString& folder, const QString& fileName,
                         const QString& title, const Settings& settings, ErrorReporter& reporter,
                         const char* procedure)
{
    ConvOutcome outcome;
    outcome.title = title;
    try {
        // A file another program moved or deleted since it was listed: "no file" says
        // what happened (its title could not be read either).
        if (!fileName.isEmpty() && !PathExists(FullPathOf(folder, fileName))) {
            outcome.result = ConvResult::NoFile;
            return outcome;
        }
        outcome = CheckConvTitle(fileName, title, settings); // the title box's text
        if (outcome.result != ConvResult::Renamed && outcome.result != ConvResult::TitleTooLong) {
            return outcome;
        }
        TitleRenameOptions options;
        options.settings = settings;
        const QByteArray nativeFolder = NativePath(WithTrailingSeparator(folder));
        const FileRename renamed =
            RenameToGivenTitle(space, nativeFolder, NativePath(fileName), title, options);
        outcome.result = renamed.result;
        outcome.tooLongBy = renamed.tooLongBy;
        if (!renamed.strandedAs.isEmpty()) {
            // The file is neither under its old name nor its new one: where it is must not
            // be lost, whatever the failure would otherwise say.
            const std::int32_t number = renamed.error != 0 ? renamed.error
                                        : renamed.result == ConvResult::NameExists
                                            ? ErrNo::FileAlreadyExists
                                            : ErrNo::PathFileAccessError;
            reporter.ReportError(number,
                                 ErrorText(number) + QStringLiteral(": ") +
                                     PathFromNative(nativeFolder + renamed.strandedAs),
                                 QString::fromUtf8(procedure));
        }
        if (renamed.result == ConvResult::OtherFailure) {
            throw RuntimeError(renamed.error);
        }
        return outcome;
    } catch (const std::exception&) {
        const RuntimeError failure = CurrentFailure();
        outcome.result = ConvResultOfFailure(failure.number());
        if (outcome.result != ConvResult::OtherFailure) {
            return outcome;
        }
        reporter.ReportError(failure.number(), failure.text(), QString::fromUtf8(procedure));
    }
    return outcome; // not reached: ReportError ends the program
}

QString ConvResultMessage(ConvResult result, std::int32_t tooLongBy)
{
    switch (result) {
    case ConvResult::NoFile:
        return QStringLiteral("MIDIファイルが選択されていません ");
    case ConvResult::NoTitle:
        return QStringLiteral("MIDIタイトルが入力されていません");
    case ConvResult::RefusedChar:
        return QStringLiteral("MIDIタイトルに不正な文字が入力されています");
    case ConvResult::NameExists:
        return QStringLiteral("同名のファイルが存在します");
    case ConvResult::AccessFailure:
        return QStringLiteral("ファイルにアクセスできません\r\n"
                              "読み取り専用または書き込み不可のメディアに記憶されています");
    case ConvResult::TitleTooLong:
        return tooLongBy > 0 ? QStringLiteral("MIDIタイトルが長すぎます（%1 バイト超過）").arg(tooLongBy)
                             : QStringLiteral("MIDIタイトルが長すぎます");
    case ConvResult::Renamed:
    case ConvResult::OtherFailure:
        break;
    }
    return {};
}

bool BatchGoesOn(ConvResult result, bool errSkip, bool noMIDITitle)
{
    if (result == ConvResult::AccessFailure) {
        return false;
    }
    return result == ConvResult::Renamed || (result == ConvResult::NoTitle && noMIDITitle) || errSkip;
}

} // namespace calvane
