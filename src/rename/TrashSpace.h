#pragma once

#include "platform/Trash.h"

#include <QByteArray>

#include <cstdint>

namespace calvane {

class PlannedRenameSpace;

/// Where the identical copies of a run go (the desktop trash, or a plan of it),
/// and where an undo takes them back from.
class TrashSpace
{
public:
    virtual ~TrashSpace() = default;
    /// Moves the file into the trash: 0, or the run-time error of the failure
    /// (the file stays). beforeMove as for Trash::MoveToTrashAt; a plan knows no
    /// place and never asks it.
    virtual std::int32_t MoveToTrash(const QByteArray& path, const BeforeTrashMove& beforeMove = {}) = 0;
    /// Puts a file back from its place in the trash to `to`, never over another
    /// file, and removes its record: 0, or the run-time error (53 when the trash
    /// no longer holds it, 58 when `to` is taken).
    virtual std::int32_t Restore(const TrashPlace& place, const QByteArray& to) = 0;
};

/// The desktop trash through the Trash seam.
class DiskTrashSpace final : public TrashSpace
{
public:
    explicit DiskTrashSpace(Trash& trash) : m_trash(trash) {}
    std::int32_t MoveToTrash(const QByteArray& path, const BeforeTrashMove& beforeMove = {}) override;
    std::int32_t Restore(const TrashPlace& place, const QByteArray& to) override;

private:
    Trash& m_trash;
};

/// A plan: the file leaves the planned space (its name is free from then on);
/// the disk is only looked at.
class PlannedTrashSpace final : public TrashSpace
{
public:
    explicit PlannedTrashSpace(PlannedRenameSpace& plan) : m_plan(plan) {}
    std::int32_t MoveToTrash(const QByteArray& path, const BeforeTrashMove& beforeMove = {}) override;
    std::int32_t Restore(const TrashPlace& place, const QByteArray& to) override;

private:
    PlannedRenameSpace& m_plan;
};

} // namespace calvane
