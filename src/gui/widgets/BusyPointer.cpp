#include "gui/widgets/BusyPointer.h"

#include <QApplication>

namespace calvane {

BusyPointer::BusyPointer()
{
    QApplication::setOverrideCursor(Qt::BusyCursor);
}

void BusyPointer::restore()
{
    if (m_set) {
        m_set = false;
        QApplication::restoreOverrideCursor();
    }
}

} // namespace calvane
