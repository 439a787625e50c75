#pragma once

#include <QComboBox>
#include <QStringList>

namespace calvane {

/// The drive list: the mounted volumes by their root folders. Choosing another
/// drive, by the user or by code, fires Change.
class DriveList : public QComboBox
{
    Q_OBJECT
public:
    explicit DriveList(QWidget* parent = nullptr);

    /// Fills the list (no change event); the first root is shown until a drive is set.
    void setDrives(const QStringList& roots);
    QStringList drives() const;

    /// The root folder of the shown drive.
    QString drive() const { return m_drive; }

    /// Shows the drive; fires Change when it differs from the shown one. Throws
    /// RuntimeError 76 for a root that is not in the list.
    void setDrive(const QString& root);

    /// The drive of an absolute path; empty when the path lies on none.
    QString driveOf(const QString& path) const;

    /// Shows the drive of the path without a change event: the folder list
    /// went down onto another volume.
    void followPath(const QString& path);

signals:
    void Change();

private:
    void showDrive(const QString& root);
    QString m_drive;
};

} // namespace calvane
