#include "rename/RenameSpace.h"

#include "errors/RuntimeError.h"
#include "platform/NativeFile.h"
#include "platform/RenameNoReplace.h"

#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace calvane {
namespace {

QByteArray folderOf(const QByteArray& path)
{
    const qsizetype slash = path.lastIndexOf('/');
    return slash >= 0 ? path.first(slash + 1) : QByteArray("./");
}

} // namespace

void DiskRenameSpace::expectFolder(const QByteArray& folder, std::optional<FolderId> id)
{
    m_expected.insert(folder.endsWith('/') ? folder : folder + '/', id);
}

std::int32_t DiskRenameSpace::Rename(const QByteArray& from, const QByteArray& to)
{
    m_stranded.clear();
    if (from.contains('\0') || to.contains('\0')) {
        return ErrNo::BadFileName; // a C path would end early and name another file
    }
    const QByteArray folder = from.first(from.lastIndexOf('/') + 1);
    if (to.first(to.lastIndexOf('/') + 1) != folder) {
        const RenameOutcome outcome =
            RenameNoReplaceAt(AT_FDCWD, from, to, m_calls); // not a rename in one folder
        return outcome.err == 0 ? 0 : RenameErrorNumber(outcome.err);
    }
    const auto expected = m_expected.constFind(folder);
    if (expected != m_expected.cend() && !*expected) {
        return ErrNo::FileNotFound;
    }
    const RenameFolder at(folder, expected != m_expected.cend() ? *expected : std::nullopt);
    if (!at.isOpen()) {
        return RenameErrorNumber(at.error());
    }
    const RenameOutcome outcome =
        RenameNoReplaceAt(at.fd(), from.sliced(folder.size()), to.sliced(folder.size()), m_calls);
    if (!outcome.strandedAs.isEmpty()) {
        m_stranded = folder + outcome.strandedAs;
    }
    return outcome.err == 0 ? 0 : RenameErrorNumber(outcome.err);
}

bool DiskRenameSpace::Exists(const QByteArray& path)
{
    struct stat st
    {};
    return ::lstat(path.constData(), &st) == 0;
}

bool PlannedRenameSpace::Exists(const QByteArray& path)
{
    struct stat st
    {};
    return m_made.contains(path) || (!m_gone.contains(path) && ::lstat(path.constData(), &st) == 0);
}

std::int32_t PlannedRenameSpace::folderRefuses(const QByteArray& folder, qsizetype nameBytes)
{
    auto nameMax = m_nameMax.find(folder);
    if (nameMax == m_nameMax.end()) {
        const long max = ::pathconf(folder.constData(), _PC_NAME_MAX);
        nameMax = m_nameMax.insert(folder, max > 0 ? max : NAME_MAX);
    }
    if (nameBytes > *nameMax) {
        return RenameErrorNumber(ENAMETOOLONG);
    }
    return 0;
}

std::int32_t PlannedRenameSpace::Rename(const QByteArray& from, const QByteArray& to)
{
    if (from.contains('\0') || to.contains('\0')) {
        return ErrNo::BadFileName;
    }
    const QByteArray folder = folderOf(to);
    if (const std::int32_t tooLong = folderRefuses(folder, to.size() - to.lastIndexOf('/') - 1)) {
        return tooLong;
    }
    if (!Exists(from)) {
        return ErrNo::FileNotFound;
    }
    if (from == to) {
        return 0;
    }
    const bool caseOnly = !m_made.contains(to) && !m_gone.contains(from) && IsSameDirectoryEntry(from, to);
    if (Exists(to) && !caseOnly) {
        return ErrNo::FileAlreadyExists;
    }
    auto folderError = m_folderError.find(folder);
    if (folderError == m_folderError.end()) {
        const std::int32_t error = ::access(folder.constData(), W_OK) == 0 ? 0 : RenameErrorNumber(errno);
        folderError = m_folderError.insert(folder, error);
    }
    if (*folderError != 0) {
        return *folderError;
    }
    const QByteArray bytes = BytesAt(from);
    m_gone.insert(from);
    m_made.remove(from);
    m_made.insert(to);
    m_gone.remove(to);
    m_madeFrom.remove(from);
    m_madeFrom.insert(to, bytes);
    return 0;
}

QByteArray PlannedRenameSpace::BytesAt(const QByteArray& path)
{
    const auto made = m_madeFrom.constFind(path);
    if (made != m_madeFrom.cend()) {
        return *made;
    }
    return m_gone.contains(path) ? QByteArray() : path;
}

void PlannedRenameSpace::Remove(const QByteArray& path)
{
    m_gone.insert(path);
    m_made.remove(path);
}

void PlannedRenameSpace::PutBack(const QByteArray& path)
{
    m_gone.remove(path);
}

} // namespace calvane
