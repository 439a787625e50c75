#include "gui/widgets/DriveList.h"

#include "errors/RuntimeError.h"
#include "platform/Volumes.h"

namespace calvane {

DriveList::DriveList(QWidget* parent) : QComboBox(parent)
{
    connect(this, &QComboBox::activated, this, [this](int index) {
        const QString root = itemText(index);
        if (root != m_drive) {
            m_drive = root;
            emit Change();
        }
    });
}

void DriveList::Refresh()
{
    QStringList roots = m_source ? m_source() : DriveRoots();
    if (!m_drive.isEmpty() && !roots.contains(m_drive)) {
        roots.append(m_drive); // unmounted while the folder list is on it
    }
    clear();
    addItems(roots);
    showDrive(m_drive.isEmpty() ? roots.value(0) : m_drive);
}

void DriveList::showPopup()
{
    Refresh();
    QComboBox::showPopup();
}

QStringList DriveList::drives() const
{
    QStringList roots;
    for (int i = 0; i < count(); ++i) {
        roots.append(itemText(i));
    }
    return roots;
}

void DriveList::setDrive(const QString& root)
{
    if (findText(root, Qt::MatchExactly | Qt::MatchCaseSensitive) < 0) {
        throw RuntimeError(ErrNo::PathNotFound);
    }
    if (root != m_drive) {
        showDrive(root);
        emit Change();
    }
}

QString DriveList::driveOf(const QString& path) const
{
    return DriveOf(path, drives());
}

void DriveList::followPath(const QString& path)
{
    const QString root = driveOf(path);
    if (!root.isEmpty()) {
        showDrive(root);
    }
}

void DriveList::showDrive(const QString& root)
{
    m_drive = root;
    setCurrentIndex(findText(root, Qt::MatchExactly | Qt::MatchCaseSensitive));
}

} // namespace calvane
