#pragma once

#include <QApplication>

namespace calvane {

class MessageBoxes;
class ProcessEnd;

/// The application object. A failure that escapes an event procedure without a
/// guard is stopped here, before it could cross the event loop: the standard
/// run-time error message, then the end of the program.
class CalvaneApplication : public QApplication
{
public:
    CalvaneApplication(int& argc, char** argv, MessageBoxes& boxes, ProcessEnd& end);
    bool notify(QObject* receiver, QEvent* event) override;

private:
    MessageBoxes& m_boxes;
    ProcessEnd& m_end;
};

} // namespace calvane
