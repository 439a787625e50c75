#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <vector>

namespace calvane {

/// One rename of a journal: absolute native paths in one folder.
struct JournalEntry
{
    QByteArray from;
    QByteArray to;

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
///   {"from": <path>, "to": <path>}   (one line per rename, in the order done)
/// A path is written as JsonPathFields writes it: its text, and for a name that is
/// not UTF-8 "<field>_hex" with its bytes, which the reader then takes.
QByteArray JournalHeaderLine(const QString& startedIso, QByteArrayView undoOf = {});
QByteArray JournalEntryLine(const JournalEntry& entry);

/// Reads a journal's text. Every line after the header must be an entry of two
/// absolute paths in the same folder, each a name other than "." and ".." and
/// without NUL; blank lines are skipped. A last line without its line end that
/// cannot be read is left out (lastLineCut); any other bad line makes the whole
/// journal unusable, so that no partial undo starts from a misread file.
JournalRead ReadJournal(QByteArrayView text);

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

    /// Creates the file and writes the header; 0 or the errno of the failure.
    int create(const QByteArray& nativePath, const QByteArray& headerLine);
    /// Appends one line; 0 or the errno of the failure (nothing of it then stays).
    int append(const QByteArray& line);
    /// Flushes to the medium and closes; 0 or the errno of the failure.
    int close();
    bool isOpen() const { return m_fd >= 0; }

private:
    int m_fd = -1;
    qint64 m_size = 0;
};

/// The folder of the journals: $XDG_STATE_HOME/calvane/ when that is an absolute
/// path, else ~/.local/state/calvane/; native, ending in "/". Made when missing.
QByteArray JournalFolder();

} // namespace calvane
