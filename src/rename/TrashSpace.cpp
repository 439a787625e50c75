#include "rename/TrashSpace.h"

#include "errors/RuntimeError.h"
#include "platform/RenameNoReplace.h"
#include "rename/RenameSpace.h"

#include <unistd.h>

namespace calvane {

std::int32_t DiskTrashSpace::MoveToTrash(const QByteArray& path, const BeforeTrashMove& beforeMove)
{
    const int err = m_trash.MoveToTrashAt(path, beforeMove);
    return err == 0 ? 0 : ErrorNumberFromErrno(err);
}

std::int32_t DiskTrashSpace::Restore(const TrashPlace& place, const QByteArray& to)
{
    try {
        RenameNoReplace(place.file, to);
    } catch (const RuntimeError& failure) {
        return failure.number();
    }
    ::unlink(place.info.constData()); // the file is back: the trash no longer lists it
    return 0;
}

std::int32_t PlannedTrashSpace::MoveToTrash(const QByteArray& path, const BeforeTrashMove&)
{
    if (!m_plan.Exists(path)) {
        return ErrNo::FileNotFound;
    }
    m_plan.Remove(path);
    return 0;
}

std::int32_t PlannedTrashSpace::Restore(const TrashPlace& place, const QByteArray& to)
{
    return m_plan.Rename(place.file, to);
}

} // namespace calvane
