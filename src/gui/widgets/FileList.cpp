#include "gui/widgets/FileList.h"

#include "gui/widgets/NameListModel.h"
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

FileList::FileList(QWidget* parent) : QListView(parent), m_model(new NameListModel(this))
{
    setModel(m_model);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setUniformItemSizes(true);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    setDragDropMode(QAbstractItemView::DropOnly);
    // The selection, not the current item: the keyboard focus landing on the
    // first entry selects nothing.
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this, &FileList::selectionMoved);
}

void FileList::Refresh()
{
    showFiles(ListFolder(m_folder, FileSuffix()).files);
}

void FileList::showFiles(NameList files)
{
    const QSignalBlocker quiet(selectionModel());
    m_model->setNames(std::move(files));
    m_listIndex = -1;
    if (m_folder != m_listedFolder) {
        m_listedFolder = m_folder;
        scrollToTop();
    }
}

int FileList::count() const
{
    return static_cast<int>(m_model->names().size());
}

void FileList::setListIndex(int index)
{
    if (index < 0 || index >= count()) {
        const QSignalBlocker quiet(selectionModel());
        clearSelection();
        m_listIndex = -1;
        return;
    }
    selectionModel()->setCurrentIndex(m_model->index(index), QItemSelectionModel::ClearAndSelect);
}

QString FileList::fileName(int index) const
{
    return index >= 0 && index < count() ? m_model->names().name(index).toString() : QString();
}

QString FileList::shownName(int index) const
{
    return index >= 0 && index < count() ? m_model->names().shown(index).toString() : QString();
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
    const QModelIndexList selected = selectionModel()->selectedIndexes();
    const int index = selected.isEmpty() ? -1 : selected.first().row();
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
    const QItemSelectionModel::SelectionFlags command = QListView::selectionCommand(index, event);
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
        QListView::mousePressEvent(event);
    } else {
        event->accept();
    }
    emit MouseDown(event->button(), event->globalPosition().toPoint());
}

void FileList::mouseDoubleClickEvent(QMouseEvent* event)
{
    QListView::mouseDoubleClickEvent(event);
    if (event->button() == Qt::LeftButton) {
        emit DblClick();
    }
}

void FileList::keyPressEvent(QKeyEvent* event)
{
    emit KeyDown(event->key(), event->modifiers());
    QListView::keyPressEvent(event);
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
