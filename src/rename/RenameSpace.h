#pragma once

#include "platform/RenameNoReplace.h"

#include <QByteArray>
#include <QHash>
#include <QSet>

#include <cstdint>
#include <optional>

namespace calvane {

/// Where the renames of a batch happen: on disk, or in a plan of them.
class RenameSpace
{
public:
    virtual ~RenameSpace() = default;
    /// Renames without ever replacing a file (native paths): 0, or the run-time
    /// error number of the failure (53 the file is gone, 58 the name exists, 75 ...).
    virtual std::int32_t Rename(const QByteArray& from, const QByteArray& to) = 0;
    /// Whether something has this name (a link counts as itself), as the space sees it.
    virtual bool Exists(const QByteArray& path) = 0;
    /// After a failed Rename: where its file was left when it could neither take its
    /// new name nor get its old one back (a temporary name beside it, as a native
    /// path); empty when the file kept its old name.
    virtual QByteArray Stranded() const { return {}; }
    /// The path on disk whose bytes the name holds as the space sees it: the name
    /// itself, or in a plan the file renamed to it; empty for a name the space
    /// has emptied.
    virtual QByteArray BytesAt(const QByteArray& path) { return path; }
};

/// The disk: RenameNoReplaceAt, relative to the folder reached afresh for each
/// rename, so that no folder stays open (a medium can be taken out between renames).
class DiskRenameSpace final : public RenameSpace
{
public:
    explicit DiskRenameSpace(RenameCalls& calls = SystemRenameCalls()) : m_calls(calls) {}

    /// Renames in this folder (native, with or without its final "/") happen from
    /// now on only while its path leads to the folder of that identity (the one whose
    /// files were listed); a rename in another folder that stands there meanwhile (the
    /// folder replaced by a link to another, say) fails as a file that is gone (53).
    /// nullopt: the folder was gone when it should have been identified; every
    /// rename in it fails so.
    void expectFolder(const QByteArray& folder, std::optional<FolderId> id);

    std::int32_t Rename(const QByteArray& from, const QByteArray& to) override;
    bool Exists(const QByteArray& path) override;
    QByteArray Stranded() const override { return m_stranded; }

private:
    RenameCalls& m_calls;
    QHash<QByteArray, std::optional<FolderId>> m_expected; ///< by folder, ending in "/"
    QByteArray m_stranded;
};

/// A plan: the disk is only looked at. The renames given so far count as done,
/// and each answer is the one the disk would give after them: the file is gone,
/// the name exists (also one an earlier rename took), the folder cannot be
/// written, the name is too long for its file system.
class PlannedRenameSpace final : public RenameSpace
{
public:
    std::int32_t Rename(const QByteArray& from, const QByteArray& to) override;
    bool Exists(const QByteArray& path) override;
    QByteArray BytesAt(const QByteArray& path) override;

    /// The file leaves the plan (into the trash), or comes back to it.
    void Remove(const QByteArray& path);
    void PutBack(const QByteArray& path);

private:
    std::int32_t folderRefuses(const QByteArray& folder, qsizetype nameBytes);

    QSet<QByteArray> m_gone; ///< names renamed away in the plan
    QSet<QByteArray> m_made; ///< names made by it
    QHash<QByteArray, std::int32_t> m_folderError;
    QHash<QByteArray, long> m_nameMax;
    QHash<QByteArray, QByteArray> m_madeFrom; ///< names made, by the file on disk each holds
};

} // namespace calvane
