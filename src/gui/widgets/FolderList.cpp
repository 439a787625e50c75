#include "gui/widgets/FolderList.h"

#include "errors/RuntimeError.h"
#include "platform/Directory.h"

#include <QApplication>
#include <QDir>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QStyle>
#include <QStyledItemDelegate>

namespace calvane {
namespace {

constexpr int kPathRole = Qt::UserRole;
constexpr int kDepthRole = Qt::UserRole + 1;

class IndentDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QStyleOptionViewItem indented = option;
        indented.rect.setLeft(option.rect.left() + indent(option) * index.data(kDepthRole).toInt());
        QStyledItemDelegate::paint(painter, indented, index);
    }
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        size.rwidth() += indent(option) * index.data(kDepthRole).toInt();
        return size;
    }

private:
    static int indent(const QStyleOptionViewItem& option) { return option.fontMetrics.height() / 2 + 2; }
};

} // namespace

FolderList::FolderList(QWidget* parent) : QListWidget(parent)
{
    setItemDelegate(new IndentDelegate(this));
    setUniformItemSizes(true);
}

void FolderList::mouseDoubleClickEvent(QMouseEvent* event)
{
    QListWidget::mouseDoubleClickEvent(event);
    const QListWidgetItem* entry = itemAt(event->position().toPoint());
    if (event->button() == Qt::LeftButton && entry) {
        emit folderChosen(entry->data(kPathRole).toString());
    }
}

void FolderList::keyPressEvent(QKeyEvent* event)
{
    // The keyboard's way of leaving a folder: without it a user who has no mouse
    // could never open another folder.
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && currentRow() >= 0) {
        event->accept();
        emit folderChosen(entryPath(currentRow()));
        return;
    }
    QListWidget::keyPressEvent(event);
}

QString FolderList::entryPath(int row) const
{
    const QListWidgetItem* entry = item(row);
    return entry ? entry->data(kPathRole).toString() : QString();
}

void FolderList::setPath(const QString& path)
{
    if (!path.startsWith(u'/')) {
        throw RuntimeError(ErrNo::PathNotFound);
    }
    const QString clean = QDir::cleanPath(path);
    const FolderListing listing = ListFolder(clean, u"");

    clear();
    const QIcon open = style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closed = style()->standardIcon(QStyle::SP_DirClosedIcon);
    auto add = [this](const QString& shown, const QString& full, int depth, const QIcon& icon) {
        auto* entry = new QListWidgetItem(icon, shown, this);
        entry->setData(kPathRole, full);
        entry->setData(kDepthRole, depth);
    };
    add(QStringLiteral("/"), QStringLiteral("/"), 0, open);
    QString ancestor;
    int depth = 0;
    for (const QString& part : clean.split(u'/', Qt::SkipEmptyParts)) {
        ancestor += u'/' + part;
        add(ShownName(part), ancestor, ++depth, open);
    }
    setCurrentRow(depth);
    const QString prefix = clean == u"/" ? clean : clean + u'/';
    for (const ListedName& folder : listing.folders) {
        add(folder.shown, prefix + folder.name, depth + 1, closed);
    }

    if (clean != m_path) {
        m_path = clean;
        emit Change();
    }
}

} // namespace calvane
