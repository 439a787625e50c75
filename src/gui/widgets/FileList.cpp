#include "gui/widgets/FileList.h"

#include "platform/Directory.h"
#include "platform/NativeFile.h"

#include <QDropEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QSignalBlocker>
#include <QUrl>

namespace calvane {
namespace {

QString localFileOf(const QUrl& url)
{
    if (!url.isLocalFile()) {
        return {};
    }
    // The percent-encoded bytes, not toLocalFile(): names need not be UTF-8.
    return PathFromNative(QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()));
}

} // namespace

FileList::FileList(QWidget* parent) : QListWidget(parent)
{
    setSelectionMode(QAbstractItemView::SingleSelection);
    setUniformItemSizes(true);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    setDragDropMode(QAbstractItemView::DropOnly);
    // The selection, not the current item: the keyboard focus landing on the
    // first entry selects nothing.
    connect(this, &QListWidget::itemSelectionChanged, this, &FileList::selectionMoved);
}

void FileList::Refresh()
{
    const FolderListing listing = ListFolder(m_folder, u".mid");
    const QSignalBlocker quiet(this);
    clear();
    m_names.clear();
    m_names.reserve(static_cast<qsizetype>(listing.files.size()));
    QStringList shown;
    shown.reserve(static_cast<qsizetype>(listing.files.size()));
    for (const ListedName& file : listing.files) {
        m_names.append(file.name);
        shown.append(file.shown);
    }
    addItems(shown);
    m_listIndex = -1;
}

void FileList::setListIndex(int index)
{
    if (index < 0 || index >= count()) {
        const QSignalBlocker quiet(this);
        clearSelection();
        m_listIndex = -1;
        return;
    }
    setCurrentRow(index, QItemSelectionModel::ClearAndSelect);
}

QString FileList::fileName(int index) const
{
    return m_names.value(index);
}

QStringList FileList::DroppedFiles(const QMimeData* data)
{
    QStringList files;
    if (data && data->hasUrls()) {
        for (const QUrl& url : data->urls()) {
            const QString file = localFileOf(url);
            if (!file.isEmpty()) {
                files.append(file);
            }
        }
    }
    return files;
}

void FileList::selectionMoved()
{
    const QList<QListWidgetItem*> selected = selectedItems();
    const int index = selected.isEmpty() ? -1 : row(selected.first());
    if (index == m_listIndex) {
        return;
    }
    m_listIndex = index;
    if (index >= 0) {
        emit Click();
    }
}

QItemSelectionModel::SelectionFlags FileList::selectionCommand(const QModelIndex& index,
                                                               const QEvent* event) const
{
    const QItemSelectionModel::SelectionFlags command = QListWidget::selectionCommand(index, event);
    // Only moves to another entry: no clearing by a press on empty space, no
    // deselecting by Ctrl+click or Ctrl+Space.
    if (!index.isValid() || command.testFlag(QItemSelectionModel::Deselect) ||
        command.testFlag(QItemSelectionModel::Toggle)) {
        return QItemSelectionModel::NoUpdate;
    }
    return command;
}

void FileList::mousePressEvent(QMouseEvent* event)
{
    // Only the left button selects; the others leave the selection as it is.
    if (event->button() == Qt::LeftButton) {
        QListWidget::mousePressEvent(event);
    } else {
        event->accept();
    }
    emit MouseDown(event->button(), event->globalPosition().toPoint());
}

void FileList::mouseDoubleClickEvent(QMouseEvent* event)
{
    QListWidget::mouseDoubleClickEvent(event);
    if (event->button() == Qt::LeftButton) {
        emit DblClick();
    }
}

void FileList::keyPressEvent(QKeyEvent* event)
{
    emit KeyDown(event->key(), event->modifiers());
    QListWidget::keyPressEvent(event);
}

void FileList::dragEnterEvent(QDragEnterEvent* event)
{
    dragMoveEvent(event);
}

void FileList::dragMoveEvent(QDragMoveEvent* event)
{
    if (DroppedFiles(event->mimeData()).isEmpty()) {
        event->setDropAction(Qt::IgnoreAction);
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void FileList::dropEvent(QDropEvent* event)
{
    event->setDropAction(Qt::CopyAction);
    event->accept();
    emit OLEDragDrop(event->mimeData());
}

} // namespace calvane
