#pragma once

#include <QString>
#include <QStringView>

namespace calvane {

/// Which characters end a folder in a path.
enum class PathRules
{
    Posix,   ///< "/"
    Windows, ///< "\" and the ":" after a drive letter
#ifdef Q_OS_WIN
    Native = Windows
#else
    Native = Posix
#endif
};

/// The text after the last separator; empty when there is none.
QString GetFileNamePart(QStringView path, PathRules rules = PathRules::Native);

/// The text up to and including the last separator; the whole path when there is none.
QString GetFolderPart(QStringView path, PathRules rules = PathRules::Native);

/// The folder of the running executable, ending in exactly one separator.
QString GetAppFolder();

/// The running executable's name without folder and extension ("calvane"): the
/// settings file and the help page are named after it.
QString GetAppBaseName();

/// The given folder with exactly one trailing separator (a root folder stays as it is).
QString WithTrailingSeparator(const QString& folder, PathRules rules = PathRules::Native);

/// The full path of a file in a folder: never a doubled separator at a root folder.
inline QString FullPathOf(const QString& folder, const QString& fileName)
{
    return WithTrailingSeparator(folder) + fileName;
}

/// The long form of a path. No short names exist here: the absolute path that the
/// kernel would open, ".." taken as the file system takes it (after following the
/// link before it), "." and doubled separators gone; the empty string when nothing
/// exists there. The path is lossless (PathFromNative), and so is the result.
QString ToLongPathName(const QString& path);

} // namespace calvane
