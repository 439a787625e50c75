#pragma once

#include "rename/FileNameConv.h"

#include <QString>

#include <functional>
#include <map>

namespace calvane {

class RenameSpace;
class ReviewPlan;
class TrashSpace;

/// The counts of a run's summary.
struct RunTally
{
    qsizetype renamed = 0;
    qsizetype trashed = 0; ///< identical copies moved to the trash
    qsizetype unchanged = 0;
    std::map<ConvResult, qsizetype> failed; ///< by reason
    qsizetype notReached = 0;               ///< checked, left when the run was stopped
    bool stopped = false;

    qsizetype failedCount() const;
};

/// Asked before each file of a run with the files done and the files of the
/// run; false stops the run there (the file in progress is always finished).
using BetweenFiles = std::function<bool(qsizetype done, qsizetype total)>;

/// Applies the checked rows of the plan in their order through the space (the
/// disk through the run's journal): each with the checks again at the moment of
/// its rename (RenameToGivenTitle with the row's title), never replacing a file,
/// so a file gone meanwhile is NoFile and a name taken meanwhile NameExists.
/// Identical copies go into `trash` when the options say so (the run's journal
/// again). Each row gets its outcome.
RunTally ApplyReviewPlan(ReviewPlan& plan, RenameSpace& space, TrashSpace* trash,
                         const BetweenFiles& between);

/// The summary of a run in the user's words: renamed, trashed (when any),
/// unchanged, failed by reason.
QString RunSummaryText(const RunTally& tally);

} // namespace calvane
