#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <cstdint>
#include <vector>

namespace calvane {

/// Names for lists of a hundred thousand entries, kept compactly: all of them in
/// one buffer of text and four integers each, no object per name. A name is kept
/// as the file system holds it (lossless, see PathFromNative) beside the text shown
/// for it (ShownName), which takes room only where it differs. Sorted once, in the
/// order of the windows' lists: by the shown text without regard to letter case
/// (as QString::compare with Qt::CaseInsensitive), then by the name.
class NameList
{
public:
    qsizetype size() const { return static_cast<qsizetype>(m_entries.size()); }

    /// The name as the file system holds it; valid until the list changes.
    QStringView name(qsizetype i) const;
    /// The text to show for it.
    QStringView shown(qsizetype i) const;

    /// Adds a name given by its bytes, as a folder listing gives it.
    void appendNative(QByteArrayView native);
    /// Adds a lossless name (see PathFromNative).
    void append(QStringView name);
    void sort();

private:
    struct Entry
    {
        std::uint32_t at; ///< in m_text
        std::uint32_t size;
        std::uint32_t shownAt; ///< the same as `at` where the shown text is the name
        std::uint32_t shownSize;
    };

    void add(std::uint32_t at, std::uint32_t size);

    QString m_text;
    std::vector<Entry> m_entries;
};

} // namespace calvane
