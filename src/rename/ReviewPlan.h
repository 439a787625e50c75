#pragma once

#include "rename/BatchRename.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

namespace calvane {

/// What the plan says of a row. Each has its text (RowStatusText); a new kind of
/// finding is one more value here and one more text.
enum class RowStatus : std::uint8_t
{
    WillRename,    ///< renamed to the new name
    Unchanged,     ///< it has that name already
    NoTitle,       ///< no title (or only spaces while Space is on)
    RefusedChar,   ///< the title holds a character no file name may hold
    NameExists,    ///< a file of the new name exists (plan.identicalTo: with the same bytes)
    Clash,         ///< another row of the list takes the new name first
    TooLong,       ///< the new name is too long for the file system (plan.tooLongBy)
    AccessFailure, ///< the folder cannot be written
    NoFile,        ///< the file is gone
    Unreadable,    ///< the file cannot be read (error)
    WillTrash,     ///< the new name is taken by a file of the same bytes: this copy goes to the trash
};

/// Whether the row cannot be renamed as it stands.
bool IsProblem(RowStatus status);

/// What became of a row when the checked rows were applied.
enum class RowOutcome : std::uint8_t
{
    NotRun, ///< not applied (not checked, or no run yet)
    Renamed,
    Trashed,    ///< an identical copy, moved to the trash
    Unchanged,  ///< it had its name already
    Failed,     ///< done.result says why
    NotReached, ///< checked, but the run was stopped before it
};

/// The options of the list, as calvane-rename's flags: --recursive, --ext,
/// --encoding, --replace-refused, --shorten, --on-conflict; Space and LastSpace
/// from the settings.
struct ReviewOptions
{
    Settings settings;
    bool recursive = false;
    QStringList extensions{QStringLiteral("mid")};
    TextEncoding encoding = TextEncoding::Auto; ///< the reading of every row without its own
    bool replaceRefused = false;
    bool shorten = false;
    OnConflict onConflict = OnConflict::Skip;

    TitleRenameOptions renameOptions() const
    {
        return {settings, replaceRefused, onConflict, shorten, encoding};
    }
};

/// One row of the list: a MIDI file, its title, what the plan says and what the
/// run did. Kept compact: a list may hold a hundred thousand.
struct ReviewRow
{
    QString title;              ///< as read, or as the user corrected it
    QByteArray titleBytes;      ///< the title as stored in the file, for another reading
    FileRename plan;            ///< the plan's word, as calvane-rename -n gives it
    FileRename done;            ///< what the run did (outcome Renamed, Trashed, Unchanged, Failed)
    std::int32_t readError = 0; ///< the title could not be read
    qsizetype clashWith = -1;   ///< Clash: the row that takes the name first
    qsizetype refusedAt = -1;   ///< RefusedChar: 0-based index in the title as checked
    char16_t refusedChar = 0;   ///< RefusedChar: the character
    RowStatus status = RowStatus::WillRename;
    RowOutcome outcome = RowOutcome::NotRun;
    std::optional<TextEncoding> reading; ///< the row's own reading; none: the list's
    bool checked = false;
    bool edited = false;
    bool mayBeEucJp = false; ///< the title as read may be EUC-JP (a hint)
};

/// The plan of a folder's MIDI files (with `recursive` the whole tree), made by
/// calvane-rename's own steps over a PlannedRenameSpace: CollectBatch, the title
/// read by ReadTitleForRename, RenameToGivenTitle. Two rows that want one
/// name clash in the plan. Rows that will be renamed start checked; a row the
/// user unchecks keeps its name in the plan, so the rows after it see it there.
class ReviewPlan
{
public:
    ReviewPlan() = default;
    /// folder: native, absolute. stop is asked between folders and files.
    static ReviewPlan Make(const QByteArray& folder, const ReviewOptions& options,
                           const std::function<bool()>& stop);

    qsizetype size() const { return static_cast<qsizetype>(m_rows.size()); }
    const ReviewRow& row(qsizetype i) const { return m_rows[static_cast<std::size_t>(i)]; }
    /// The file's folder (absolute, without links, ending in "/") and name, native.
    const QByteArray& folder(qsizetype i) const { return m_batch.folder(i); }
    QByteArray name(qsizetype i) const { return m_batch.name(i); }
    /// The path relative to the list's folder, native.
    QByteArray relativePath(qsizetype i) const;
    /// The folder's own failure: it could not be listed (a run-time error), else 0.
    std::int32_t error() const { return m_error; }
    const ReviewOptions& options() const { return m_options; }
    /// The files as they were collected (with their folders' identities).
    const Batch& batch() const { return m_batch; }

    /// A title the user typed: the row's folder is planned again. Returns the rows
    /// whose word may have changed, [first, last).
    std::pair<qsizetype, qsizetype> setTitle(qsizetype i, const QString& title);
    /// Checks or unchecks rows; then plan() again over the rows returned.
    void setChecked(qsizetype i, bool checked) { m_rows[static_cast<std::size_t>(i)].checked = checked; }
    /// Plans the folder of row i again; the rows whose word may have changed.
    std::pair<qsizetype, qsizetype> replanFolderOf(qsizetype i);

    /// Other options (all but recursive and the extensions, which need Make):
    /// every row planned again with its title (read again from its bytes when the
    /// list's reading changes, unless the row has its own or was corrected), and
    /// the rows that can be renamed checked.
    void setOptions(const ReviewOptions& options);

    /// The row's own reading (none: the list's): its title read again from its
    /// bytes, a correction given up. Then plan() again over the rows returned.
    void setReading(qsizetype i, std::optional<TextEncoding> reading);

    /// The rows of a run: its outcome set by ApplyReviewPlan.
    ReviewRow& rowForRun(qsizetype i) { return m_rows[static_cast<std::size_t>(i)]; }

private:
    void planFresh();
    void readAgain(ReviewRow& row);
    void planRange(qsizetype first, qsizetype last);
    std::pair<qsizetype, qsizetype> folderRange(qsizetype i) const;

    QByteArray m_root;
    Batch m_batch;
    std::vector<ReviewRow> m_rows;
    std::vector<qsizetype> m_folderEnds; ///< where each folder's rows end, ascending
    ReviewOptions m_options;
    std::int32_t m_error = 0;
};

/// The text of a row's word in the list ("変換します", "同名のファイルが存在します
/// （内容も同じ）" ...), with what else the plan found (a file of the same bytes,
/// a title that may be EUC-JP, with that reading). clashName: the shown name of
/// the row a Clash is with; identicalName: the shown name of plan.identicalTo.
QString RowStatusText(const ReviewRow& row, const QString& clashName, const QString& identicalName);
/// The text of a row's outcome; empty for NotRun.
QString RowOutcomeText(const ReviewRow& row);

} // namespace calvane
