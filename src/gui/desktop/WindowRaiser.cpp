#include "gui/desktop/WindowRaiser.h"

#include <QApplication>
#include <QGuiApplication>
#include <QWindow>

namespace calvane {

WindowRaiser::WindowRaiser(QWidget& mainWindow, QObject* parent) : QObject(parent), m_main(mainWindow)
{
    connect(qApp, &QGuiApplication::focusWindowChanged, this, [this](QWindow*) {
        if (QWidget* active = QApplication::activeWindow()) {
            m_last = active;
        }
    });
}

QWidget* WindowRaiser::lastActive() const
{
    if (QWidget* modal = QApplication::activeModalWidget()) {
        return modal;
    }
    if (m_last && m_last->isVisible()) {
        return m_last;
    }
    return &m_main;
}

void WindowRaiser::raiseLastActive()
{
    QWidget* target = lastActive();
    // A dialog comes back with its owner: restore the main window too.
    for (QWidget* window : {&m_main, target}) {
        if (window->isMinimized()) {
            window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
            window->show();
        }
    }
    target->raise();
    target->activateWindow();
}

} // namespace calvane
