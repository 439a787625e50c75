#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>

#include <optional>
#include <vector>

namespace calvane {

/// The journal folder keeps this many journals, the newest.
constexpr int kJournalsKept = 200;

/// One run as its journal tells it. Nothing is kept beside the journals: the
/// index is read from them each time.
struct JournalRun
{
    QByteArray path;   ///< the journal, native
    QDateTime started; ///< UTC, from its header
    QByteArray run;    ///< "single", "batch", "review", "undo" (also the tool's undo); empty: calvane-rename
    QByteArray folder; ///< where it renamed: its header's folder, else the first entry's; no "/" at the end
    qsizetype files = 0;
    QByteArray undoOf;   ///< the journal an undo took back (as its header names it)
    bool undone = false; ///< taken back by a later undo that is not itself taken back
    qint64 modified = 0; ///< when it was last written, in nanoseconds: orders runs of one second
};

/// How an undo's header names the journal it takes back (its "undo_of", as
/// calvane-rename writes it): the absolute path without links; the path as given
/// when it cannot be resolved.
QByteArray JournalIdentity(const QByteArray& path);

/// The run a journal's text tells (path: the journal's), or none when its first
/// line is no journal header and its first entry, if any, cannot be read.
std::optional<JournalRun> ReadJournalRun(const QByteArray& path, QByteArrayView text);

/// The journals of the folder (files "*.jsonl" whose first line is a journal's
/// header), the newest first: by the second the header gives, then by the time
/// last written, then by name.
std::vector<JournalRun> ListJournalRuns(const QByteArray& folder);

/// Removes the oldest journals of the folder beyond the newest `keep`; other
/// files are left alone.
void PruneJournals(const QByteArray& folder, int keep = kJournalsKept);

} // namespace calvane
