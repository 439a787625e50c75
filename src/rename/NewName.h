#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <optional>

namespace calvane {

class RenameSpace;

/// The extension a renamed file keeps, with its dot, in lower case: the name's
/// own ("x.KAR" gives ".kar"), that is 1 to 8 ASCII letters and digits after the
/// last "." that is not the name's first character; ".mid" for a name without one.
QByteArray NewNameExtension(QByteArrayView name);

/// Whether the name ends in "." and one of the extensions (lower case, without
/// the dot), in any ASCII letter case.
bool HasExtension(QByteArrayView name, const QStringList& extensions);

/// The extensions of a list such as "mid,midi,KAR,.rmi": lower case, without the
/// dot, each once, in their order; none when an item is empty or holds anything
/// but ASCII letters and digits.
std::optional<QStringList> ParseExtensionList(QByteArrayView list);

/// The longest name the folder's file system takes, in bytes.
long NameMaxOf(const QByteArray& folder);

/// The title cut where a character ends, never inside one (a surrogate pair) nor
/// before a combining mark or anything else that belongs to the character before
/// it (a grapheme cluster), so that its UTF-8 takes at most maxBytes; empty when
/// not even the first character fits.
QString ShortenToBytes(const QString& title, qsizetype maxBytes);

/// Whether the name `taken` holds, as the space sees it, a file with the same
/// bytes as the file at `path` (two files, not one under two names; AreIdenticalCopies).
bool IsIdenticalCopy(RenameSpace& space, const QByteArray& path, const QByteArray& taken);

} // namespace calvane
