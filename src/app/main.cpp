#include "app/CalvaneApplication.h"
#include "app/QtMessageBoxes.h"
#include "platform/ProcessEnd.h"

#include <QLabel>
#include <QMainWindow>

int main(int argc, char** argv)
{
    calvane::QtMessageBoxes boxes;
    calvane::ImmediateProcessEnd end;
    calvane::CalvaneApplication app(argc, argv, boxes, end);
    QCoreApplication::setApplicationName(QStringLiteral("calvane"));

    // The main window is built step by step; until then an empty frame stands in.
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Calvane"));
    window.setCentralWidget(new QLabel(QStringLiteral("Calvane"), &window));
    boxes.setParent(&window);
    window.show();
    return QApplication::exec();
}
