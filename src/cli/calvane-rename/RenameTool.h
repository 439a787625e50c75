#pragma once

#include "platform/ToolRun.h"
#include "rename/BatchRename.h"
#include "rename/ToolOptions.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

namespace calvane {

/// The command line of calvane-rename.
struct RenameToolOptions
{
    bool dryRun = false;
    bool recursive = false;
    bool json = false;
    bool replaceRefused = false;
    bool shorten = false;
    bool keepTrailingSpaces = false;
    bool allowBlankTitles = false;
    bool noJournal = false;
    bool help = false;
    bool version = false;
    OnConflict onConflict = OnConflict::Skip;
    ReadingOptions reading; ///< --ext, --encoding
    QByteArray journal;     ///< --journal FILE; empty: a new file in JournalFolder()
    QByteArray undo;        ///< --undo JOURNAL
    std::vector<QByteArray> paths;
    QString usageError; ///< not empty: the command line cannot be used
};

/// Reads the arguments (argv[1] on), kept as bytes: paths need not be UTF-8.
RenameToolOptions ParseRenameToolArgs(int argc, char** argv);

/// Runs a batch (or an undo) as the options say: one line per file on stdout,
/// the progress (on a terminal) and the summary on stderr. stopRequested is
/// asked before each file: the file in progress is finished and journaled first.
/// Returns the exit status (ToolRun.h). The renames are made of the given system
/// calls (a test's file system).
int RunRenameTool(const RenameToolOptions& options, const std::function<bool()>& stopRequested,
                  RenameCalls& calls = SystemRenameCalls());

} // namespace calvane
