#pragma once

#include "rename/RenameSpace.h"
#include "rename/TrashSpace.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>
#include <utility>
#include <vector>

class QJsonObject;

namespace calvane {

/// One entry of a journal: absolute native paths. A rename stays in one folder;
/// a file moved into the desktop trash (Trash) goes from its folder to the
/// trash's "files" folder, with its record (.trashinfo) of the same name in the
/// trash's "info" folder; a file put back from there (Restore) goes the other way.
struct JournalEntry
{
    enum class Kind : std::uint8_t
    {
        Rename,
        Trash,
        Restore,
    };
    JournalEntry() = default;
    JournalEntry(QByteArray from, QByteArray to, Kind kind = Kind::Rename, QByteArray info = {})
        : from(std::move(from)), to(std::move(to)), kind(kind), info(std::move(info))
    {}

    QByteArray from;
    QByteArray to;
    Kind kind = Kind::Rename;
    QByteArray info; ///< Trash and Restore: the trash's record of the file

    bool operator==(const JournalEntry&) const = default;
};

/// What ReadJournal found: the entries in the order they were written, or why
/// the text is not a journal that can be undone.
struct JournalRead
{
    std::vector<JournalEntry> entries;
    QString error;            ///< empty when the journal can be used
    qsizetype errorLine = 0;  ///< 1-based line of the error; 0 for none
    bool lastLineCut = false; ///< a last line without its end was left out (a write cut off)
};

/// The journal of calvane-rename, one JSON object per line in UTF-8:
///   {"journal": "calvane-rename", "version": 1, "started": "<ISO 8601 time>"[, "undo_of": <path>]}
///   {"from": <path>, "to": <path>}   (one line per rename, written before the rename)
///   {"kind": "trash", "from": <path>, "to": <path in the trash>, "info": <its record>}
///   {"kind": "restore", "from": <path in the trash>, "to": <path>, "info": <its record>}
/// (a file moved into the desktop trash, or put back from it: written once its
/// record is made and before it moves). A program that knows only renames
/// refuses a journal with the other kinds as a whole.
/// A path is written as JsonPathFields writes it: its text, and for a name that is
/// not UTF-8 "<field>_hex" with its bytes, which the reader then takes.
/// The window's journals say in their header which of its runs made them and
/// where: "program": "calvane", "run": <kind>, "folder": <path>. A reader that
/// does not know these fields passes over them.
struct JournalOrigin
{
    QByteArray run;    ///< "single", "batch", "review" or "undo"; empty: the tool's journal
    QByteArray folder; ///< the folder the run renames in (native)
};
QByteArray JournalHeaderLine(const QString& startedIso, QByteArrayView undoOf = {},
                             const JournalOrigin& origin = {});
QByteArray JournalEntryLine(const JournalEntry& entry);

/// Reads a journal's text. Every line after the header must be an entry of two
/// absolute paths, each a name other than "." and ".." and without NUL: in the
/// same folder for a rename; for the trash's kinds one path and its record in a
/// trash folder ("…/files/NAME" and "…/info/NAME.trashinfo"). Blank lines are skipped. A last line without
/// its line end that cannot be read is left out (lastLineCut); any other bad line makes the whole journal
/// unusable, so that no partial undo starts from a misread file.
JournalRead ReadJournal(QByteArrayView text);

/// A path field of a journal line: the bytes of "<field>_hex" when it is there,
/// else the text as UTF-8; none when neither can be read.
std::optional<QByteArray> JournalPathField(const QJsonObject& line, const QString& field);

/// An open journal file: created new (never an existing file), written a whole
/// line at a time with one write, so that a run stopped at any moment leaves
/// whole lines only.
class JournalFile
{
public:
    JournalFile() = default;
    ~JournalFile();
    JournalFile(const JournalFile&) = delete;
    JournalFile& operator=(const JournalFile&) = delete;

    /// Creates the file and writes the header; 0 or the errno of the failure (a file
    /// made whose header could not be written is removed again).
    int create(const QByteArray& nativePath, const QByteArray& headerLine);
    /// Appends one line; 0 or the errno of the failure (nothing of it then stays).
    int append(const QByteArray& line);
    /// Takes the last line appended back (its rename was not done); 0 or the errno.
    int dropLastLine();
    /// Flushes to the medium and closes; 0 or the errno of the failure.
    int close();
    bool isOpen() const { return m_fd >= 0; }

private:
    int m_fd = -1;
    qint64 m_size = 0;
    qint64 m_sizeBeforeLast = 0;
};

/// Renames kept in a journal ahead of them (write-ahead): each rename's line is
/// written whole, with one write, before the rename is asked of the space beneath,
/// and taken back when the rename fails. So a run stopped at any moment, even by
/// SIGKILL, has in its journal every rename it made; a last line whose new name
/// does not exist while its old one does was never done (UndoJournalEntry).
/// The journal file is made at the first rename: a run that renames nothing makes
/// none.
class JournaledRenameSpace final : public RenameSpace, public TrashSpace
{
public:
    enum class OnJournalFailure
    {
        Refuse,      ///< no rename without its line: Rename fails with the journal's error
        RenameAnyway ///< the renames go on without a journal (the journal serves undo only)
    };

    /// trash: where the copies go (the moves into it and out of it are journaled
    /// as the renames are); none: MoveToTrash and Restore fail.
    JournaledRenameSpace(RenameSpace& disk, QByteArray journalPath, QByteArray headerLine,
                         OnJournalFailure onFailure, TrashSpace* trash = nullptr);

    std::int32_t Rename(const QByteArray& from, const QByteArray& to) override;
    bool Exists(const QByteArray& path) override { return m_disk.Exists(path); }
    /// A file left under a temporary name is journaled as renamed to it.
    QByteArray Stranded() const override { return m_disk.Stranded(); }
    std::int32_t MoveToTrash(const QByteArray& path, const BeforeTrashMove& beforeMove = {}) override;
    std::int32_t Restore(const TrashPlace& place, const QByteArray& to) override;

    /// 0, or the errno of the journal's first failure (making it, or writing a line).
    int journalError() const { return m_error; }
    const QByteArray& journalPath() const { return m_path; }
    /// The renames (and moves into or out of the trash) done and journaled.
    qsizetype journaled() const { return m_journaled; }
    /// Flushes the journal to the medium and closes it; 0 or the errno.
    int close() { return m_file.close(); }

private:
    /// Writes a line ahead of its step (the file made at the first): whether it stands.
    bool writeAhead(const QByteArray& line);
    /// The journal's failure as a result, never one that reads as the file's own.
    std::int32_t journalFailure() const;
    /// After the step: a done step counts, the line of a failed one goes.
    void stepDone(bool lined, std::int32_t result);

    RenameSpace& m_disk;
    TrashSpace* m_trash;
    QByteArray m_path;
    QByteArray m_header;
    OnJournalFailure m_onFailure;
    JournalFile m_file;
    int m_error = 0;
    qsizetype m_journaled = 0;
};

/// What taking back one journal entry came to.
enum class UndoOutcome
{
    Done,      ///< renamed back
    NeverDone, ///< the rename of the entry never happened: its new name is absent, its old one there
    Failed,    ///< the space refused: error says why (58 when a file took the old name meanwhile)
};

struct UndoResult
{
    UndoOutcome outcome = UndoOutcome::Done;
    std::int32_t error = 0;
};

/// Takes an entry back, never replacing a file: a rename's `to` back to its
/// `from`; a file moved into the trash put back to its old name (its record
/// goes); a file put back from the trash moved into it again (a new place). Only
/// a regular file or a link is taken back: anything else at `to` (a folder, a
/// device) fails as no file (53) and is left where it is.
UndoResult UndoJournalEntry(RenameSpace& space, TrashSpace& trash, const JournalEntry& entry);

/// The folder of the journals: $XDG_STATE_HOME/calvane/ when that is an absolute
/// path, else ~/.local/state/calvane/; native, ending in "/". Made when missing,
/// each missing folder with mode 0700; not checked (PrepareJournalFolder checks).
QByteArray JournalFolder();

/// Why a journal's folder, or a journal, is not to be trusted: another user could
/// put a journal there, or change one, and an undo would rename what the run
/// never touched.
enum class JournalRefusal
{
    None,       ///< usable
    CannotMake, ///< the folder could not be made or looked at (err says why)
    NotAFolder, ///< a file or a link stands at the folder's name; or a journal that is not a regular file
    NotOwned,   ///< owned by another user
    WritableByOthers, ///< others may write in it (or, for the folder, in the folder above it, unless sticky)
};

/// What the check of a journal folder found: the folder (native, ending in "/"),
/// and why it is refused, with the folder the refusal is about (it or the one above).
struct JournalFolderCheck
{
    QByteArray folder;
    JournalRefusal refusal = JournalRefusal::None;
    QByteArray refusedFolder; ///< the folder the refusal names
    int err = 0;              ///< errno for CannotMake
};

/// JournalFolder(), made when missing, then checked: a folder (not a link to one)
/// of the user's own that no other user may write in, inside a folder that other
/// users may write in only when it is sticky (they could swap the folder out).
/// Writable by others means by anyone (the mode's "other" bits) or by a group other
/// than the user's own primary group. Every front end that keeps a journal calls it
/// before its first rename: calvane-rename stops when it is refused; the window
/// says so once and renames without a journal.
JournalFolderCheck PrepareJournalFolder();

/// The check of a journal to undo: a regular file of the user's own that no other
/// user may write, in a folder that others may write in only when it is sticky.
JournalRefusal CheckJournalToUndo(const QByteArray& journalPath);

/// The refusal in words, for messages in English ("writable by other users").
QString JournalRefusalText(JournalRefusal refusal);

} // namespace calvane
