#pragma once

#include "platform/NameList.h"

#include <QListView>

#include <utility>

namespace calvane {

class FolderEntries;

/// The folder list: the path's ancestors from the root down, then the current
/// folder's subfolders, each indented by its depth. A view over their names (a
/// folder of ten thousand subfolders makes no object per entry). A double-click,
/// or Enter on the selected entry, asks to open an entry (folderChosen); setting
/// the path, by the owner or after such a request, fires Change when the path
/// differs. The files the reading of a new path found (those the file list shows,
/// by its suffix) wait in takeFiles for the file list: a folder of 100,000 entries
/// is read once, not twice.
class FolderList : public QListView
{
    Q_OBJECT
public:
    explicit FolderList(QWidget* parent = nullptr);

    /// The current folder, lossless, without a trailing "/" (except the root).
    QString path() const { return m_path; }

    /// Shows the folder. Throws RuntimeError when the path is not absolute (76)
    /// or the folder cannot be read; the list then keeps its previous path.
    void setPath(const QString& path);

    /// The suffix of the files kept for takeFiles (see ListFolder); none at first.
    void setFileSuffix(const QString& suffix) { m_fileSuffix = suffix; }
    /// The files of the path read last when it was a new path (Change fired, or
    /// was blocked) and they have not been taken yet; else empty.
    NameList takeFiles() { return std::exchange(m_files, {}); }

    /// The number of entries.
    int count() const;
    /// The full path of an entry.
    QString entryPath(int row) const;

signals:
    void Change();
    void folderChosen(const QString& path);

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    FolderEntries* m_entries; // a child
    QString m_path;
    QString m_fileSuffix;
    NameList m_files;
};

} // namespace calvane
