#pragma once

#include "platform/NameList.h"

#include <QListView>
#include <QMimeData>
#include <QStringList>

namespace calvane {

class NameListModel;

/// The file list: the ordinary files of one folder whose names end in ".mid" in
/// any letter case, sorted by name, hidden files left out. Reading the list opens
/// no file. A view over the folder's names (NameListModel over one NameList): a
/// folder of a hundred thousand files makes no object per file. The list index is
/// the selected entry (-1 for none); the index changing to an entry, by the user
/// or by code, fires Click. Once an entry is selected the user cannot select none:
/// a click below the entries and a Ctrl+click on the selected one leave it
/// selected. Another folder is shown from its top; the same folder read again
/// keeps its place.
class FileList : public QListView
{
    Q_OBJECT
public:
    explicit FileList(QWidget* parent = nullptr);

    /// The folder whose files the list shows (lossless).
    QString folder() const { return m_folder; }

    /// Sets the folder; Refresh reads it.
    void setFolder(const QString& folder) { m_folder = folder; }

    /// The suffix of the names the list shows, in any letter case.
    static QString FileSuffix() { return QStringLiteral(".mid"); }

    /// Reads the folder again; no entry is selected afterwards (and no Click fires).
    /// Throws RuntimeError when the folder cannot be read.
    void Refresh();
    /// As Refresh, with the folder's files just read by someone else (ListFolder with
    /// FileSuffix, sorted).
    void showFiles(NameList files);

    /// The number of entries.
    int count() const;

    int listIndex() const { return m_listIndex; }
    void setListIndex(int index);

    /// The file name of an entry as the file system holds it (lossless).
    QString fileName(int index) const;
    /// The text the list shows for an entry.
    QString shownName(int index) const;

    /// The local files of dropped data, lossless; empty when it holds none.
    static QStringList DroppedFiles(const QMimeData* data);

signals:
    void Click();
    void DblClick();
    void MouseDown(Qt::MouseButton button, const QPoint& globalPos);
    void KeyDown(int key, Qt::KeyboardModifiers modifiers);
    void OLEDragDrop(const QMimeData* data);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index,
                                                         const QEvent* event = nullptr) const override;

private:
    void selectionMoved();

    NameListModel* m_model; // a child
    QString m_folder;
    QString m_listedFolder; ///< the folder the entries came from
    int m_listIndex = -1;
};

} // namespace calvane
