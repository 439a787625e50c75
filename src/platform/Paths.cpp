#include "platform/Paths.h"

#include "platform/Directory.h"
#include "platform/NativeFile.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <cstdlib>
#include <sys/stat.h>

namespace calvane {
namespace {

bool isSeparator(QChar c, PathRules rules)
{
    if (rules == PathRules::Windows) {
        return c == u'\\' || c == u':';
    }
    return c == u'/';
}

QChar folderSeparator(PathRules rules)
{
    return rules == PathRules::Windows ? u'\\' : u'/';
}

} // namespace

QString GetFileNamePart(QStringView path, PathRules rules)
{
    for (qsizetype i = path.size() - 1; i >= 0; --i) {
        if (isSeparator(path[i], rules)) {
            return path.sliced(i + 1).toString();
        }
    }
    return {};
}

QString GetFolderPart(QStringView path, PathRules rules)
{
    const qsizetype fileLength = GetFileNamePart(path, rules).size();
    return path.first(path.size() - fileLength).toString();
}

QString WithTrailingSeparator(const QString& folder, PathRules rules)
{
    const QChar sep = folderSeparator(rules);
    if (folder.endsWith(sep)) {
        return folder;
    }
    return folder + sep;
}

QString GetAppFolder()
{
    QString folder;
    if (QCoreApplication::instance()) {
        folder = QCoreApplication::applicationDirPath();
    } else {
        folder = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalPath();
    }
    return WithTrailingSeparator(folder);
}

QString GetAppBaseName()
{
    return QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
}

QString ToLongPathName(const QString& path)
{
    if (path.isEmpty()) {
        return {};
    }
    // Built on the lossless path, not QFileInfo, so that names that are not UTF-8 survive.
    QString absolute = path;
    if (!absolute.startsWith(u'/')) {
        const QString folder = CurrentFolder();
        if (folder.isEmpty()) {
            return {};
        }
        absolute = WithTrailingSeparator(folder) + path;
    }
    // The kernel takes ".." after following the link before it ("link/../a.mid" is
    // beside the link's target, not beside the link): the part up to the last ".."
    // is resolved by the file system, the rest, which holds none, by its text.
    const QStringList parts = absolute.split(u'/', Qt::SkipEmptyParts);
    const qsizetype lastUp = parts.lastIndexOf(QStringLiteral(".."));
    QString resolved = QStringLiteral("/");
    if (lastUp >= 0) {
        const QByteArray head = NativePath(u'/' + parts.first(lastUp + 1).join(u'/'));
        char* real = ::realpath(head.constData(), nullptr);
        if (!real) {
            return {};
        }
        resolved = PathFromNative(real);
        std::free(real);
    }
    for (qsizetype i = lastUp + 1; i < parts.size(); ++i) {
        if (parts[i] != u".") {
            resolved = WithTrailingSeparator(resolved) + parts[i];
        }
    }
    struct stat st
    {};
    if (::stat(NativePath(resolved).constData(), &st) != 0) {
        return {};
    }
    return resolved;
}

} // namespace calvane
