#pragma once

#include <QComboBox>
#include <QStringList>

#include <functional>

namespace calvane {

/// The drive list: the user's home folder, then the mounted volumes by their root
/// folders, read again each time the list opens (a volume mounted meanwhile
/// appears). Choosing another drive, by the user or by code, fires Change.
class DriveList : public QComboBox
{
    Q_OBJECT
public:
    /// Where the entries come from: DriveRoots() unless a test says otherwise.
    using RootsSource = std::function<QStringList()>;

    explicit DriveList(QWidget* parent = nullptr);

    void setRootsSource(RootsSource source) { m_source = std::move(source); }

    /// Reads the entries again (no change event). The shown drive stays shown, and
    /// listed while the folder list is on it; before any, the first entry is shown.
    void Refresh();
    QStringList drives() const;

    /// Opens the list, read again.
    void showPopup() override;

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
    RootsSource m_source;
};

} // namespace calvane
