#include "rename/NewName.h"

#include "platform/SameBytes.h"
#include "rename/RenameSpace.h"

#include <QTextBoundaryFinder>

#include <algorithm>
#include <climits>
#include <unistd.h>

namespace calvane {
namespace {

constexpr qsizetype kLongestExtension = 8;

bool isAsciiAlnum(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isExtensionText(QByteArrayView text)
{
    return !text.isEmpty() && text.size() <= kLongestExtension &&
           std::all_of(text.begin(), text.end(), isAsciiAlnum);
}

} // namespace

QByteArray NewNameExtension(QByteArrayView name)
{
    const qsizetype dot = name.lastIndexOf('.');
    if (dot <= 0 || !isExtensionText(name.sliced(dot + 1))) {
        return ".mid";
    }
    return name.sliced(dot).toByteArray().toLower();
}

bool HasExtension(QByteArrayView name, const QStringList& extensions)
{
    const qsizetype dot = name.lastIndexOf('.');
    if (dot < 0) {
        return false;
    }
    const QByteArrayView own = name.sliced(dot + 1);
    return std::any_of(extensions.begin(), extensions.end(), [&](const QString& extension) {
        return own.compare(extension.toLatin1(), Qt::CaseInsensitive) == 0;
    });
}

std::optional<QStringList> ParseExtensionList(QByteArrayView list)
{
    QStringList out;
    for (QByteArray item : list.toByteArray().split(',')) {
        if (item.startsWith('.')) {
            item.remove(0, 1);
        }
        if (!isExtensionText(item)) {
            return std::nullopt;
        }
        const QString extension = QString::fromLatin1(item.toLower());
        if (!out.contains(extension)) {
            out << extension;
        }
    }
    return out;
}

long NameMaxOf(const QByteArray& folder)
{
    const long max = ::pathconf(folder.isEmpty() ? "." : folder.constData(), _PC_NAME_MAX);
    return max > 0 ? max : NAME_MAX;
}

QString ShortenToBytes(const QString& title, qsizetype maxBytes)
{
    QTextBoundaryFinder clusters(QTextBoundaryFinder::Grapheme, title);
    qsizetype kept = 0;
    qsizetype bytes = 0;
    for (qsizetype end = clusters.toNextBoundary(); end > 0; end = clusters.toNextBoundary()) {
        bytes += QStringView(title).sliced(kept, end - kept).toUtf8().size();
        if (bytes > maxBytes) {
            break;
        }
        kept = end;
    }
    return title.first(kept);
}

bool IsIdenticalCopy(RenameSpace& space, const QByteArray& path, const QByteArray& taken)
{
    const QByteArray file = space.BytesAt(path);
    const QByteArray other = space.BytesAt(taken);
    return !file.isEmpty() && !other.isEmpty() && AreIdenticalCopies(file, other);
}

} // namespace calvane
