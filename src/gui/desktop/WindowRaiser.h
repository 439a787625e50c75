#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

namespace calvane {

/// Remembers the program's last active window (the main window, or a dialog it
/// shows) and brings it to the front on request, restored when minimised.
class WindowRaiser : public QObject
{
    Q_OBJECT
public:
    explicit WindowRaiser(QWidget& mainWindow, QObject* parent = nullptr);

    void raiseLastActive();

    QWidget* lastActive() const;

private:
    QWidget& m_main;
    QPointer<QWidget> m_last;
};

} // namespace calvane
