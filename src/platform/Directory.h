#pragma once

#include "platform/NameList.h"

#include <QString>
#include <QStringList>

namespace calvane {

/// The names of a folder's ordinary files that end in the given suffix without
/// regard to ASCII letter case, and of its subfolders; hidden names (a leading
/// ".") are left out. No file is opened: the kinds come from the folder itself,
/// with a stat only where it does not say (links, some file systems). Each list
/// is sorted by its shown text without regard to letter case (NameList::sort).
struct FolderListing
{
    NameList files;
    NameList folders;
};

/// An empty suffix lists no files, only the subfolders. Throws RuntimeError when
/// the folder cannot be read (53 missing, 75 no access, ...).
FolderListing ListFolder(const QString& folder, QStringView fileSuffix);

/// The same for the files that end in any of the suffixes (none: the subfolders only).
FolderListing ListFolder(const QString& folder, const QStringList& fileSuffixes);

/// The process's current folder, lossless; empty when it is gone.
QString CurrentFolder();

/// True when the lossless path names a folder (links followed).
bool IsFolder(const QString& path);

/// The best text to show for a lossless name: the name itself when it was UTF-8;
/// else its code page 932 reading when the bytes are valid there (old Windows
/// archives); else the name with U+FFFD for each byte that is neither.
QString ShownName(const QString& name);

/// A lossless path as the windows show it: each name by ShownName.
QString ShownPath(const QString& path);

} // namespace calvane
