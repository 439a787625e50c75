#pragma once

#include <QListWidget>

namespace calvane {

/// The folder list: the path's ancestors from the root down, then the current
/// folder's subfolders, each indented by its depth. A double-click, or Enter on
/// the selected entry, asks to open an entry (folderChosen); setting the path, by
/// the owner or after such a request, fires Change when the path differs.
class FolderList : public QListWidget
{
    Q_OBJECT
public:
    explicit FolderList(QWidget* parent = nullptr);

    /// The current folder, lossless, without a trailing "/" (except the root).
    QString path() const { return m_path; }

    /// Shows the folder. Throws RuntimeError when the path is not absolute (76)
    /// or the folder cannot be read; the list then keeps its previous path.
    void setPath(const QString& path);

    /// The full path of an entry.
    QString entryPath(int row) const;

signals:
    void Change();
    void folderChosen(const QString& path);

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QString m_path;
};

} // namespace calvane
