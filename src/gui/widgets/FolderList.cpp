#include "gui/widgets/FolderList.h"

#include "errors/RuntimeError.h"
#include "platform/Directory.h"

#include <QAbstractListModel>
#include <QApplication>
#include <QDir>
#include <QIcon>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QStyle>
#include <QStyledItemDelegate>

namespace calvane {

constexpr int kDepthRole = Qt::UserRole;

/// The rows of the folder list: the ancestors (the root, then each folder of the
/// path, the last one open), then the subfolders, one depth deeper, from a NameList.
class FolderEntries final : public QAbstractListModel
{
public:
    FolderEntries(QObject* parent, QIcon open, QIcon closed)
        : QAbstractListModel(parent), m_open(std::move(open)), m_closed(std::move(closed))
    {}

    void show(const QString& path, NameList subfolders)
    {
        beginResetModel();
        m_ancestors = {QStringLiteral("/")};
        m_ancestorNames = m_ancestors;
        QString ancestor;
        for (const QString& part : path.split(u'/', Qt::SkipEmptyParts)) {
            ancestor += u'/' + part;
            m_ancestors.append(ancestor);
            m_ancestorNames.append(ShownName(part));
        }
        m_prefix = path == u"/" ? path : path + u'/';
        m_subfolders = std::move(subfolders);
        endResetModel();
    }

    /// The row of the path itself.
    int current() const { return static_cast<int>(m_ancestors.size()) - 1; }

    QString pathAt(int row) const
    {
        if (row < 0 || row >= rowCount()) {
            return {};
        }
        return row < m_ancestors.size() ? m_ancestors[row]
                                        : m_prefix + m_subfolders.name(row - m_ancestors.size()).toString();
    }

    int rowCount(const QModelIndex& parent = {}) const override
    {
        return parent.isValid() ? 0 : static_cast<int>(m_ancestors.size() + m_subfolders.size());
    }

    QVariant data(const QModelIndex& index, int role) const override
    {
        const int row = index.row();
        if (!index.isValid() || row >= rowCount()) {
            return {};
        }
        const bool ancestor = row < m_ancestors.size();
        switch (role) {
        case Qt::DisplayRole:
            return ancestor ? m_ancestorNames[row] : m_subfolders.shown(row - m_ancestors.size()).toString();
        case Qt::DecorationRole:
            return ancestor ? m_open : m_closed;
        case kDepthRole:
            return ancestor ? row : current() + 1;
        default:
            return {};
        }
    }

private:
    QIcon m_open;
    QIcon m_closed;
    QStringList m_ancestors;     ///< full paths, from "/"
    QStringList m_ancestorNames; ///< as shown
    QString m_prefix;            ///< of the subfolders' paths
    NameList m_subfolders;
};

namespace {

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

FolderList::FolderList(QWidget* parent)
    : QListView(parent), m_entries(new FolderEntries(this, style()->standardIcon(QStyle::SP_DirOpenIcon),
                                                     style()->standardIcon(QStyle::SP_DirClosedIcon)))
{
    setModel(m_entries);
    setItemDelegate(new IndentDelegate(this));
    setUniformItemSizes(true);
}

void FolderList::mouseDoubleClickEvent(QMouseEvent* event)
{
    QListView::mouseDoubleClickEvent(event);
    const QModelIndex entry = indexAt(event->position().toPoint());
    if (event->button() == Qt::LeftButton && entry.isValid()) {
        emit folderChosen(m_entries->pathAt(entry.row()));
    }
}

void FolderList::keyPressEvent(QKeyEvent* event)
{
    // The keyboard's way of leaving a folder: without it a user who has no mouse
    // could never open another folder.
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && currentIndex().isValid()) {
        event->accept();
        emit folderChosen(entryPath(currentIndex().row()));
        return;
    }
    QListView::keyPressEvent(event);
}

int FolderList::count() const
{
    return m_entries->rowCount();
}

QString FolderList::entryPath(int row) const
{
    return m_entries->pathAt(row);
}

void FolderList::setPath(const QString& path)
{
    if (!path.startsWith(u'/')) {
        throw RuntimeError(ErrNo::PathNotFound);
    }
    const QString clean = QDir::cleanPath(path);
    FolderListing listing = ListFolder(clean, m_fileSuffix);
    m_entries->show(clean, std::move(listing.folders));
    setCurrentIndex(m_entries->index(m_entries->current()));

    m_files = {};
    if (clean != m_path) {
        m_path = clean;
        m_files = std::move(listing.files);
        emit Change();
    }
}

} // namespace calvane
