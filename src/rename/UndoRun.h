#pragma once

#include "rename/RenameJournal.h"
#include "rename/ReviewRun.h"

#include <QString>

#include <vector>

namespace calvane {

/// One entry of an undo: taken back, never done, or left because the space refused.
struct UndoneFile
{
    JournalEntry entry;
    UndoResult result;
};

struct UndoRunResult
{
    QString readError;             ///< the journal cannot be read or used: nothing was renamed
    bool lastLineCut = false;      ///< its last line was cut off while it was written, and left out
    std::vector<UndoneFile> files; ///< in the order taken back (the last rename first)
    qsizetype total = 0;           ///< the entries of the journal
    bool stopped = false;

    qsizetype count(UndoOutcome outcome) const;
};

/// Takes a journal's renames back by calvane-rename --undo's rules: the last
/// first, through the space (the disk through the undo's own journal, whose
/// header names the journal undone), an entry whose rename never happened left,
/// a file that took an old name meanwhile never replaced; a copy moved into the
/// trash is put back through `trash`. between is asked before each entry.
UndoRunResult UndoJournalRun(const QByteArray& journalPath, RenameSpace& space, TrashSpace& trash,
                             const BetweenFiles& between);

/// The summary in the user's words, with a line for each file that could not be
/// taken back.
QString UndoSummaryText(const UndoRunResult& result);

} // namespace calvane
