#pragma once

#include "rename/FileNameConv.h"

#include <QApplication>
#include <QLineEdit>
#include <QString>

#include <initializer_list>

namespace calvane {

/// Gives a control its design name as its object name (tests find controls by it).
template <class T> T* named(T* control, const char* name)
{
    control->setObjectName(QString::fromLatin1(name));
    return control;
}

/// Tab goes through the controls in this order (each window's reading order).
inline void SetTabOrder(std::initializer_list<QWidget*> controls)
{
    QWidget* previous = nullptr;
    for (QWidget* control : controls) {
        if (previous) {
            QWidget::setTabOrder(previous, control);
        }
        previous = control;
    }
}

/// Text set by the program shows from its beginning, not scrolled to its end.
inline void ShowText(QLineEdit* box, const QString& text)
{
    box->setText(text);
    box->setCursorPosition(0);
}

/// A text box the user can type into shows the window background, any other the
/// button face.
inline void ShowTypable(QLineEdit* box, bool typable)
{
    QPalette palette = box->palette();
    palette.setColor(QPalette::Base,
                     QApplication::palette().color(typable ? QPalette::Base : QPalette::Button));
    box->setPalette(palette);
}

/// The title box after a rename attempt: the title as the checks left it
/// (emptied or trimmed), and a refused character selected in a focused box.
inline void ShowConvOutcome(QLineEdit* titleBox, const ConvOutcome& outcome)
{
    if (titleBox->text() != outcome.title) {
        titleBox->setText(outcome.title);
    }
    if (outcome.result == ConvResult::RefusedChar) {
        titleBox->setFocus();
        titleBox->setSelection(static_cast<int>(outcome.refusedAt), 1);
    }
}

} // namespace calvane
