#include "gui/CalvaneApplication.h"

#include "errors/RuntimeError.h"
#include "report/basModule1.h"

namespace calvane {

CalvaneApplication::CalvaneApplication(int& argc, char** argv, MessageBoxes& boxes, ProcessEnd& end)
    : QApplication(argc, argv), m_boxes(boxes), m_end(end)
{}

bool CalvaneApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception&) {
        EndWithUnguardedFailure(CurrentFailure(), m_boxes, m_end);
    }
}

} // namespace calvane
