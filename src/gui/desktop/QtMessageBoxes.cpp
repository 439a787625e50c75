#include "gui/desktop/QtMessageBoxes.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

namespace calvane {

MsgResult QtMessageBoxes::show(const QString& text, const QString& caption, MsgIcon icon, MsgButtons buttons)
{
    // On the window the user is looking at: an open secondary window is modal to
    // the main window, so its boxes belong to it, not to the blocked main window.
    QWidget* owner = QApplication::activeModalWidget();
    if (!owner) {
        owner = m_parent;
    }
    // A box over a window not on screen yet (the main window while it loads)
    // would stand at the corner where that window will be: it goes to the middle
    // of the screen instead, where a box without an owner is put.
    QMessageBox box(owner && owner->isVisible() ? owner : nullptr);
    box.setWindowTitle(caption);
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    box.setText(shown);
    switch (icon) {
    case MsgIcon::Critical:
        box.setIcon(QMessageBox::Critical);
        break;
    case MsgIcon::Warning:
        box.setIcon(QMessageBox::Warning);
        break;
    case MsgIcon::Information:
        box.setIcon(QMessageBox::Information);
        break;
    case MsgIcon::Question:
        box.setIcon(QMessageBox::Question);
        break;
    }
    if (buttons == MsgButtons::YesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
        // The program speaks Japanese; Qt's own button texts would be English.
        box.button(QMessageBox::Yes)->setText(QStringLiteral("はい(&Y)"));
        box.button(QMessageBox::No)->setText(QStringLiteral("いいえ(&N)"));
    } else {
        box.setStandardButtons(QMessageBox::Ok);
    }
    const int answer = box.exec();
    if (buttons == MsgButtons::YesNo) {
        return answer == QMessageBox::Yes ? MsgResult::Yes : MsgResult::No;
    }
    return MsgResult::Ok;
}

} // namespace calvane
