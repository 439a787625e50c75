#include "gui/SecondaryWindow.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QPushButton>

namespace calvane {

SecondaryWindow::SecondaryWindow(QWidget& owner) : QDialog(&owner)
{
    // Modal to the owner's window: the owner is blocked, this window is not a
    // child of a disabled widget and keeps every control usable.
    setWindowModality(Qt::WindowModal);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setWindowIcon(owner.windowIcon());
}

void SecondaryWindow::showOverOwner()
{
    // No button is a default button: Enter does only what the window says.
    for (QPushButton* button : findChildren<QPushButton*>()) {
        button->setAutoDefault(false);
        button->setDefault(false);
    }
    show();
    raise();
    activateWindow();
}

void SecondaryWindow::closeEvent(QCloseEvent* event)
{
    event->accept();
    if (m_unloaded) {
        return;
    }
    m_unloaded = true;
    Form_Unload();
    emit Unloaded();
    if (m_busy == 0) {
        deleteLater();
    }
}

void SecondaryWindow::done(int result)
{
    // Escape (reject) and accept: the one way of closing.
    setResult(result);
    close();
}

void SecondaryWindow::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (event->modifiers() == Qt::NoModifier || event->modifiers() == Qt::KeypadModifier) {
            enterPressed();
            event->accept();
            return;
        }
        break;
    default:
        break;
    }
    QDialog::keyPressEvent(event); // Escape rejects, which closes
}

SecondaryWindow::Busy::Busy(SecondaryWindow& window) : m_window(&window)
{
    ++window.m_busy;
}

SecondaryWindow::Busy::~Busy()
{
    if (m_window && --m_window->m_busy == 0 && m_window->m_unloaded) {
        m_window->deleteLater();
    }
}

} // namespace calvane
