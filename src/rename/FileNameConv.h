#pragma once

#include <QString>

#include <cstdint>

namespace calvane {

class ErrorReporter;
class RenameSpace;
struct Settings;

/// What renaming a file to its title came to.
enum class ConvResult : std::int16_t
{
    Renamed = 0,
    NoFile = 1,        ///< the file name is empty, or the file is gone
    NoTitle = 2,       ///< the title is empty, or only spaces while Space is on
    RefusedChar = 3,   ///< the title holds a character no file name may hold
    NameExists = 4,    ///< a file of the new name exists (58)
    AccessFailure = 5, ///< the file or its medium cannot be written (75)
    OtherFailure = 6,  ///< handed to the central error handler
    /// The new name is longer than the file system takes: a rule, like 1 to 4,
    /// that is told as result 5 (ConvResultNumber), as the access failure was.
    TitleTooLong = 7,
};

/// The number the user and scripts see: TitleTooLong is 5, the others their value.
int ConvResultNumber(ConvResult result);

struct ConvOutcome
{
    ConvResult result = ConvResult::Renamed;
    /// The title as the title box shows it afterwards (emptied or trimmed by the
    /// space rules, also when a later check fails).
    QString title;
    /// For RefusedChar: the 0-based index of the refused character, else -1.
    qsizetype refusedAt = -1;
    /// For TitleTooLong: the bytes by which the name is too long (0: not known).
    std::int32_t tooLongBy = 0;
};

/// The checks of FileNameConv, in their order, without the rename: Renamed when
/// the title passes them, and then outcome.title and the file's extension make
/// the new name; TitleTooLong past 32,767 characters.
ConvOutcome CheckConvTitle(const QString& fileName, const QString& title, const Settings& settings);

/// The result of a rename that failed with this run-time error number: a file that
/// is gone (53) is NoFile, 58 NameExists, 75 AccessFailure, any other OtherFailure.
ConvResult ConvResultOfFailure(std::int32_t number);

/// Renames folder/fileName to the title plus ".mid" in the same folder, after the
/// checks in their fixed order (NULs that end the title are dropped first): the
/// file (no name, or no such file: NoFile), the title, the Space and LastSpace
/// rules, refused characters (U+0000 and every control character included: no
/// file name should hold them; a leading "." too, and a title that the trimming
/// empties: either would make a hidden file), the length of the new name
/// (TitleTooLong with the bytes too many). The rename is calvane-rename's
/// (RenameToGivenTitle), so the window, the batch and the tools name a file
/// alike. Never replaces an existing file. A file gone by the time of the rename
/// (53) is NoFile too; failures 58 and 75 become NameExists and AccessFailure;
/// any other goes to ReportError with the given procedure name, and so does a
/// case-only rename that left the file under a temporary name
/// (RenameSpace::Stranded), with that name in the error text. fileName is
/// lossless (PathFromNative); the new name is written as UTF-8. The rename
/// happens in the given space (the disk, through the journal when there is one).
ConvOutcome FileNameConv(RenameSpace& space, const QString& folder, const QString& fileName,
                         const QString& title, const Settings& settings, ErrorReporter& reporter,
                         const char* procedure);

/// The message that tells the user why a file was not renamed (results 1 to 5);
/// empty for Renamed and OtherFailure. A title too long says by how many bytes
/// ("MIDIタイトルが長すぎます（37 バイト超過）") when that is known.
QString ConvResultMessage(ConvResult result, std::int32_t tooLongBy = 0);

/// Whether a batch goes on past a file with this result: it was renamed, it has no
/// title and files without one are left alone, or failing files are skipped (a
/// title too long among them). An access failure always stops the run: the
/// medium will refuse the next file too.
bool BatchGoesOn(ConvResult result, bool errSkip, bool noMIDITitle);

} // namespace calvane
