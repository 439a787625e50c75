#include "platform/Directory.h"

#include "errors/RuntimeError.h"
#include "platform/Cp932.h"
#include "platform/NativeFile.h"

#include <QStringList>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

namespace calvane {
namespace {

class DirHandle
{
public:
    explicit DirHandle(DIR* dir) : m_dir(dir) {}
    ~DirHandle()
    {
        if (m_dir) {
            ::closedir(m_dir);
        }
    }
    DirHandle(const DirHandle&) = delete;
    DirHandle& operator=(const DirHandle&) = delete;
    DIR* get() const { return m_dir; }

private:
    DIR* m_dir;
};

bool endsWithNoCase(const char* name, size_t length, QStringView suffix)
{
    const auto n = static_cast<size_t>(suffix.size());
    if (length < n) {
        return false;
    }
    const char* tail = name + (length - n);
    for (size_t i = 0; i < n; ++i) {
        const auto c = static_cast<unsigned char>(tail[i]);
        const char16_t s = suffix[static_cast<qsizetype>(i)].unicode();
        const auto lower = [](char16_t x) { return x >= u'A' && x <= u'Z' ? x + (u'a' - u'A') : x; };
        if (lower(c) != lower(s)) {
            return false;
        }
    }
    return true;
}

} // namespace

QString ShownName(const QString& name)
{
    if (!HasEscapedBytes(name)) {
        return name;
    }
    const QString cp932 = DecodeCp932(NativePath(name));
    if (!cp932.contains(QChar::ReplacementCharacter)) {
        return cp932;
    }
    QString shown = name;
    for (QChar& c : shown) {
        if (c.unicode() >= 0xDC80 && c.unicode() <= 0xDCFF) {
            c = QChar::ReplacementCharacter;
        }
    }
    return shown;
}

QString ShownPath(const QString& path)
{
    if (!HasEscapedBytes(path)) {
        return path;
    }
    QStringList names = path.split(u'/');
    for (QString& name : names) {
        name = ShownName(name);
    }
    return names.join(u'/');
}

QString CurrentFolder()
{
    char* cwd = ::getcwd(nullptr, 0);
    if (!cwd) {
        return {};
    }
    QString folder = PathFromNative(cwd);
    std::free(cwd);
    return folder;
}

bool IsFolder(const QString& path)
{
    struct stat st
    {};
    const QByteArray native = NativePath(path);
    return !native.isEmpty() && ::stat(native.constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

FolderListing ListFolder(const QString& folder, QStringView fileSuffix)
{
    return ListFolder(folder, fileSuffix.isEmpty() ? QStringList() : QStringList{fileSuffix.toString()});
}

FolderListing ListFolder(const QString& folder, const QStringList& fileSuffixes)
{
    const QByteArray native = NativePath(folder);
    DirHandle dir(::opendir(native.constData()));
    if (!dir.get()) {
        throw RuntimeError::fromErrno(errno);
    }
    const int dirFd = ::dirfd(dir.get());
    FolderListing listing;
    for (;;) {
        errno = 0;
        const dirent* entry = ::readdir(dir.get());
        if (!entry) {
            if (errno != 0) {
                throw RuntimeError::fromErrno(errno);
            }
            break;
        }
        const char* name = entry->d_name;
        if (name[0] == '.') {
            continue; // hidden, and "." and ".."
        }
        const size_t length = std::strlen(name);
        bool isFile = entry->d_type == DT_REG;
        bool isFolder = entry->d_type == DT_DIR;
        if (entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) {
            struct stat st
            {};
            if (::fstatat(dirFd, name, &st, 0) == 0) {
                isFile = S_ISREG(st.st_mode);
                isFolder = S_ISDIR(st.st_mode);
            }
        }
        const bool listedFile =
            isFile && std::any_of(fileSuffixes.begin(), fileSuffixes.end(), [&](const QString& suffix) {
                return endsWithNoCase(name, length, suffix);
            });
        if (!listedFile && !isFolder) {
            continue;
        }
        (listedFile ? listing.files : listing.folders)
            .appendNative(QByteArrayView(name, static_cast<qsizetype>(length)));
    }
    listing.files.sort();
    listing.folders.sort();
    return listing;
}

} // namespace calvane
