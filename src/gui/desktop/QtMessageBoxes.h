#pragma once

#include "platform/MessageBoxes.h"

class QWidget;

namespace calvane {

/// Message boxes on screen (QMessageBox), owned by the modal window in front (a
/// secondary window), else by the given window when it is set and shown; a box
/// that has no owner on screen stands in the middle of the screen.
class QtMessageBoxes final : public MessageBoxes
{
public:
    explicit QtMessageBoxes(QWidget* parent = nullptr) : m_parent(parent) {}
    void setParent(QWidget* parent) { m_parent = parent; }
    MsgResult show(const QString& text, const QString& caption, MsgIcon icon, MsgButtons buttons) override;

private:
    QWidget* m_parent; // not owned
};

} // namespace calvane
