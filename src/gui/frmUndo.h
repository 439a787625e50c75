#pragma once

#include "gui/SecondaryWindow.h"
#include "rename/JournalIndex.h"

#include <vector>

class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QStandardItemModel;
class QTableView;

namespace calvane {

class ErrorReporter;
class MessageBoxes;
class RunJournal;
class Trash;

/// "変換の取り消し": the newest runs of the journal folder (the window's and
/// calvane-rename's), newest first; "元に戻す(&U)" takes the selected run back at
/// once by calvane-rename --undo's rules, journaled itself, so that an undo can
/// be undone too.
class frmUndo final : public SecondaryWindow
{
    Q_OBJECT
public:
    /// The runs the window lists at most.
    static constexpr int kRunsShown = 50;

    /// trash: where a run's identical copies went, and an undo puts back.
    /// journalFolder: native, ending in "/"; empty: JournalFolder().
    frmUndo(QWidget& owner, bool topmost, MessageBoxes& boxes, ErrorReporter& reporter, Trash& trash,
            QByteArray journalFolder = {});

    void Form_Load();
    void cmdUndo_Click();
    /// The journals this window took back (the main window starts a new one for
    /// its single renames when its own was among them).
    const std::vector<QByteArray>& undone() const { return m_undone; }

    QLabel* lblRuns = nullptr;
    QTableView* tblRuns = nullptr;
    QProgressBar* prgProgress = nullptr;
    QLabel* lblReport = nullptr;
    QPlainTextEdit* txtReport = nullptr;
    QPushButton* cmdUndo = nullptr;
    QPushButton* cmdClose = nullptr;

protected:
    void enterPressed() override;

private:
    void createControls();
    void nameControls();
    void showRuns();
    void tellJournalFailure(RunJournal& journal);
    void showBarFor(int row);

    const bool m_topmost;
    MessageBoxes& m_boxes;
    ErrorReporter& m_reporter;
    Trash& m_trash;
    QByteArray m_journalFolder;
    QStandardItemModel* m_model = nullptr;
    std::vector<JournalRun> m_runs;
    std::vector<QByteArray> m_undone;
    bool m_running = false;
};

} // namespace calvane
