#pragma once

#include "platform/Pickers.h"

namespace calvane {

/// The pickers on screen: Qt's own file dialog, the same on every desktop.
class QtPickers final : public Pickers
{
public:
    QString ShowFolderDialog(QWidget& owner) override;
    QString ShowOpenDialog(QWidget& owner, const QString& filter) override;
};

} // namespace calvane
