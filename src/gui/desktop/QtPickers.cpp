#include "gui/desktop/QtPickers.h"

#include <QFileDialog>

namespace calvane {
namespace {

const QString kCancel = QStringLiteral("Cancel");

QString choose(QFileDialog& dialog)
{
    // Qt's own dialog: the title is shown as given on every desktop.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return kCancel;
    }
    return dialog.selectedFiles().constFirst();
}

} // namespace

QString QtPickers::ShowFolderDialog(QWidget& owner)
{
    QFileDialog dialog(&owner, QStringLiteral("フォルダの選択"));
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    return choose(dialog);
}

QString QtPickers::ShowOpenDialog(QWidget& owner, const QString& filter)
{
    QFileDialog dialog(&owner, QStringLiteral("ファイルを開く"), QString(), filter);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    return choose(dialog);
}

} // namespace calvane
