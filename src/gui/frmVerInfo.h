#pragma once

#include "gui/SecondaryWindow.h"

class QLabel;
class QLineEdit;
class QPlainTextEdit;

namespace calvane {

class ErrorReporter;

/// The about box: the program's icon, name and version, the help page's
/// address, the copyright line and what the program is for. It has no button;
/// the close box (or Escape) closes it.
class frmVerInfo final : public SecondaryWindow
{
    Q_OBJECT
public:
    /// helpUrl: the help page's address; topmost: the main window is pinned on top.
    frmVerInfo(QWidget& owner, QString helpUrl, bool topmost, ErrorReporter& reporter);

    void Form_Load();

    QLabel* picIcon = nullptr;
    QLabel* lblAppName = nullptr;
    QLabel* lblVer = nullptr;
    QLineEdit* txtURL = nullptr;
    QLineEdit* txtCopyright = nullptr;
    QPlainTextEdit* txtInfo = nullptr;

private:
    const QString m_helpUrl;
    const bool m_topmost;
    ErrorReporter& m_reporter;
};

} // namespace calvane
