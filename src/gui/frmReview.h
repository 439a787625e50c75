#pragma once

#include "gui/SecondaryWindow.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <vector>

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
class Trash;
struct ReviewOptions;
struct Settings;

/// The review list "変換一覧": every MIDI file of a folder (with its subfolders
/// on request) with its title, the new name and what will happen, as
/// calvane-rename's plan says; the user checks rows, corrects titles, and
/// "変換(&C)" applies the checked rows through a journal of the run (identical
/// copies into the trash when asked). The reading of the titles is chosen for
/// the whole list in the options and for selected rows in the table's context
/// menu. Its size, column widths and options live in the settings' Review section.
class frmReview final : public SecondaryWindow
{
    Q_OBJECT
public:
    /// folder: the main window's folder (lossless). topmost: the main window is pinned on top.
    frmReview(QWidget& owner, Settings& settings, QString folder, bool topmost, MessageBoxes& boxes,
              ErrorReporter& reporter, Trash& trash);
    ~frmReview() override;

    void Form_Load();
    /// Applies the checked rows.
    void cmdConv_Click();
    /// Stops a run before its next file.
    void cmdAbort_Click();

    QMenu* mnuOption = nullptr;
    QAction* mnuSubfolders = nullptr;
    QMenu* mnuExtensions = nullptr;   ///< the files listed: .mid, .midi, .kar, .rmi
    QList<QAction*> mnuExtension;     ///< one tick per extension (kListedExtensions)
    QMenu* mnuReading = nullptr;      ///< how every row without its own reading is read
    QList<QAction*> mnuReadingChoice; ///< one per TextEncoding, in its order
    QAction* mnuReplaceRefused = nullptr;
    QAction* mnuShorten = nullptr;
    QAction* mnuNumberConflicts = nullptr;
    QAction* mnuTrashIdentical = nullptr; ///< excludes mnuNumberConflicts
    QAction* mnuBar1 = nullptr;
    QMenu* mnuRowReading = nullptr; ///< the table's context menu: the selected rows' reading
    QAction* mnuRowReadingOfList = nullptr;
    QList<QAction*> mnuRowReadingChoice; ///< one per TextEncoding, in its order
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
    void tblReview_ContextMenu(const QPoint& position);
    std::vector<qsizetype> selectedRows() const;
    void toggleSelectedChecks();
    void showCounts();
    void restoreColumns();
    void tellJournalFailure(const QString& why);

    Settings& m_settings;
    const QString m_folder;
    const bool m_topmost;
    MessageBoxes& m_boxes;
    ErrorReporter& m_reporter;
    Trash& m_trash;
    ReviewModel* m_model = nullptr;
    ReviewFilter* m_filter = nullptr;
    bool m_running = false;
    bool m_abortRequested = false;
    bool m_recursivePlanned = false; ///< the plan holds the subfolders
    QStringList m_extensionsPlanned; ///< and these extensions
};

} // namespace calvane
