#pragma once

#include "rename/BatchRename.h"
#include "rename/RenameJournal.h"
#include "rename/RenameSpace.h"
#include "rename/TrashSpace.h"

#include <QByteArray>
#include <QString>

#include <memory>

namespace calvane {

/// The disk, through a journal of one run of the window (a single rename's
/// session, a batch, the review list, an undo) in the journal folder, in the
/// format calvane-rename writes and reads. The journal is made at the first
/// rename, and the folder then keeps the newest journals only. A journal that
/// cannot be written does not stop the renames: untoldFailure() says it once.
/// With a trash, the copies the run moves into it (and an undo puts back) are
/// journaled the same way.
class RunJournal final : public RenameSpace, public TrashSpace
{
public:
    /// run: "single", "batch", "review" or "undo"; folder: where the run renames
    /// (native); undoOf: the journal an undo takes back (its header names it as
    /// JournalIdentity does). journalFolder: native,
    /// ending in "/"; empty: JournalFolder() at the first rename. trash: the
    /// desktop trash; none: MoveToTrash and Restore fail.
    RunJournal(QByteArray run, QByteArray folder, QByteArray undoOf = {}, QByteArray journalFolder = {},
               Trash* trash = nullptr);
    ~RunJournal() override;

    std::int32_t Rename(const QByteArray& from, const QByteArray& to) override;
    bool Exists(const QByteArray& path) override { return m_disk.Exists(path); }
    std::int32_t MoveToTrash(const QByteArray& path, const BeforeTrashMove& beforeMove = {}) override;
    std::int32_t Restore(const TrashPlace& place, const QByteArray& to) override;
    QByteArray Stranded() const override { return m_disk.Stranded(); }

    /// Renames in a folder only while its path leads to the folder listed
    /// (DiskRenameSpace::expectFolder); for every folder of a batch.
    void expectFolder(const QByteArray& folder, std::optional<FolderId> id)
    {
        m_disk.expectFolder(folder, id);
    }
    void expectFolders(const Batch& batch) { batch.expectFoldersIn(m_disk); }

    /// The journal's failure in the user's words, the first time it is asked after
    /// the failure; empty otherwise.
    QString untoldFailure();
    /// The journal file; empty before the first rename.
    QByteArray path() const;
    /// The renames done and journaled.
    qsizetype journaled() const;
    /// Flushes and closes the journal; 0 or the errno.
    int close();

private:
    /// The journal ahead of the first step; none when it is not to be used.
    JournaledRenameSpace* journal();
    void pruneOnce();

    DiskRenameSpace m_disk;
    std::unique_ptr<DiskTrashSpace> m_trash;
    QByteArray m_run;
    QByteArray m_folder;
    QByteArray m_undoOf;
    QByteArray m_journalFolder;
    std::unique_ptr<JournaledRenameSpace> m_journal;
    QString m_refusal; ///< why the journal folder is not used at all
    bool m_told = false;
    bool m_pruned = false;
};

/// Why the journal folder is not to be used (PrepareJournalFolder: another user's,
/// open to others, a link), in the user's words; empty when it may be used.
QString JournalFolderRefusal(const JournalFolderCheck& check);

} // namespace calvane
