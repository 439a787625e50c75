#pragma once

#include <QByteArray>
#include <QHash>
#include <QSet>

#include <cstdint>

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
    /// The path on disk whose bytes the name holds as the space sees it: the name
    /// itself, or in a plan the file renamed to it; empty for a name the space
    /// has emptied.
    virtual QByteArray BytesAt(const QByteArray& path) { return path; }
};

/// The disk: RenameNoReplace.
class DiskRenameSpace final : public RenameSpace
{
public:
    std::int32_t Rename(const QByteArray& from, const QByteArray& to) override;
    bool Exists(const QByteArray& path) override;
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
