#pragma once

#include "gui/SecondaryWindow.h"

#include <QString>

class QAction;
class QLabel;
class QLineEdit;
class QMenu;
class QProgressBar;
class QPushButton;
class QTableView;

namespace calvane {

class ErrorReporter;
class MessageBoxes;
class ReviewFilter;
class ReviewModel;
struct ReviewOptions;
struct Settings;

/// The review list "変換一覧": every MIDI file of a folder (with its subfolders
/// on request) with its title, the new name and what will happen, as
/// calvane-rename's plan says; the user checks rows, corrects titles, and
/// "変換(&C)" applies the checked rows through a journal of the run. Its size,
/// column widths and options live in the settings' Review section.
class frmReview final : public SecondaryWindow
{
    Q_OBJECT
public:
    /// folder: the main window's folder (lossless). topmost: the main window is pinned on top.
    frmReview(QWidget& owner, Settings& settings, QString folder, bool topmost, MessageBoxes& boxes,
              ErrorReporter& reporter);
    ~frmReview() override;

    void Form_Load();
    /// Applies the checked rows.
    void cmdConv_Click();
    /// Stops a run before its next file.
    void cmdAbort_Click();

    QMenu* mnuOption = nullptr;
    QAction* mnuSubfolders = nullptr;
    QAction* mnuReplaceRefused = nullptr;
    QAction* mnuNumberConflicts = nullptr;
    QAction* mnuBar1 = nullptr;
    QAction* mnuProblemsOnly = nullptr;
    QLabel* lblFilter = nullptr;
    QLineEdit* txtFilter = nullptr;
    QTableView* tblReview = nullptr;
    QProgressBar* prgProgress = nullptr;
    QLabel* lblSummary = nullptr;
    QPushButton* cmdConv = nullptr;
    QPushButton* cmdAbort = nullptr;
    QPushButton* cmdClose = nullptr;

    ReviewModel& model() { return *m_model; }
    ReviewFilter& filter() { return *m_filter; }

protected:
    void Form_Unload() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createControls();
    void nameControls();
    ReviewOptions options() const;
    /// Reads the folder again (new options for the tree), or plans again.
    void makePlan(bool readFolder);
    void mnuOption_Triggered();
    void toggleSelectedChecks();
    void showCounts();
    void restoreColumns();
    void tellJournalFailure(const QString& why);

    Settings& m_settings;
    const QString m_folder;
    const bool m_topmost;
    MessageBoxes& m_boxes;
    ErrorReporter& m_reporter;
    ReviewModel* m_model = nullptr;
    ReviewFilter* m_filter = nullptr;
    bool m_running = false;
    bool m_abortRequested = false;
    bool m_recursivePlanned = false; ///< the plan holds the subfolders
};

} // namespace calvane
