#include "gui/frmUndo.h"

#include "errors/Guard.h"
#include "gui/Controls.h"
#include "gui/desktop/Topmost.h"
#include "gui/widgets/BusyPointer.h"
#include "gui/widgets/PaintThrottle.h"
#include "platform/Directory.h"
#include "platform/MessageBoxes.h"
#include "platform/NativeFile.h"
#include "rename/RenameJournal.h"
#include "rename/RunJournal.h"
#include "rename/UndoRun.h"

#include <QApplication>
#include <QGridLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScopeGuard>
#include <QStandardItemModel>
#include <QTableView>

#include <algorithm>

namespace calvane {
namespace {

const QString kCaption = QStringLiteral("変換の取り消し");

QString runKindText(const QByteArray& run)
{
    if (run == "single") {
        return QStringLiteral("変換");
    }
    if (run == "batch") {
        return QStringLiteral("すべて変換");
    }
    if (run == "review") {
        return QStringLiteral("変換一覧");
    }
    if (run == "undo") {
        return QStringLiteral("取り消し");
    }
    return QStringLiteral("calvane-rename");
}

} // namespace

frmUndo::frmUndo(QWidget& owner, bool topmost, MessageBoxes& boxes, ErrorReporter& reporter, Trash& trash,
                 QByteArray journalFolder)
    : SecondaryWindow(owner), m_topmost(topmost), m_boxes(boxes), m_reporter(reporter), m_trash(trash),
      m_journalFolder(std::move(journalFolder))
{
    createControls();
}

void frmUndo::createControls()
{
    setObjectName(QStringLiteral("frmUndo"));
    setWindowTitle(kCaption);
    setSizeGripEnabled(true);

    lblRuns = named(new QLabel(QStringLiteral("変換の記録(&R)"), this), "lblRuns");
    m_model = new QStandardItemModel(0, 5, this);
    m_model->setHorizontalHeaderLabels({QStringLiteral("日時"), QStringLiteral("種類"),
                                        QStringLiteral("フォルダ"), QStringLiteral("ファイル数"),
                                        QStringLiteral("状態")});
    tblRuns = named(new QTableView(this), "tblRuns");
    tblRuns->setModel(m_model);
    tblRuns->setSelectionBehavior(QAbstractItemView::SelectRows);
    tblRuns->setSelectionMode(QAbstractItemView::SingleSelection);
    tblRuns->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tblRuns->setTabKeyNavigation(false);
    tblRuns->setWordWrap(false);
    tblRuns->verticalHeader()->hide();
    tblRuns->horizontalHeader()->setStretchLastSection(true);
    lblRuns->setBuddy(tblRuns);

    prgProgress = named(new QProgressBar(this), "prgProgress");
    prgProgress->setFormat(QStringLiteral("%v / %m"));
    prgProgress->setValue(0);
    lblReport = named(new QLabel(QStringLiteral("結果(&E)"), this), "lblReport");
    txtReport = named(new QPlainTextEdit(this), "txtReport");
    txtReport->setReadOnly(true);
    txtReport->setTabChangesFocus(true);
    lblReport->setBuddy(txtReport);

    cmdUndo = named(new QPushButton(QStringLiteral("元に戻す(&U)"), this), "cmdUndo");
    cmdUndo->setToolTip(QStringLiteral("選んだ変換を元に戻す"));
    cmdClose = named(new QPushButton(QStringLiteral("閉じる(&X)"), this), "cmdClose");

    auto* layout = new QGridLayout(this);
    layout->addWidget(lblRuns, 0, 0, 1, 3);
    layout->addWidget(tblRuns, 1, 0, 1, 3);
    layout->addWidget(prgProgress, 2, 0, 1, 3);
    layout->addWidget(lblReport, 3, 0, 1, 3);
    layout->addWidget(txtReport, 4, 0, 1, 3);
    layout->addWidget(cmdUndo, 5, 1);
    layout->addWidget(cmdClose, 5, 2);
    layout->setColumnStretch(0, 1);
    layout->setRowStretch(1, 3);
    layout->setRowStretch(4, 1);
    resize(820, 480);
    nameControls();

    connect(cmdUndo, &QPushButton::clicked, this, &frmUndo::cmdUndo_Click);
    connect(tblRuns->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) { showBarFor(current.row()); });
    connect(cmdClose, &QPushButton::clicked, this, &frmUndo::close);
}

/// What a screen reader says for the controls no caption names, and Tab in reading order.
void frmUndo::nameControls()
{
    tblRuns->setAccessibleName(QStringLiteral("変換の記録")); // a table is not named by its label
    prgProgress->setAccessibleName(QStringLiteral("進行状況"));
    SetTabOrder({tblRuns, txtReport, cmdUndo, cmdClose});
}

void frmUndo::Form_Load()
{
    Guarded(m_reporter, "frmUndo.Form_Load", [&] {
        if (m_journalFolder.isEmpty()) {
            m_journalFolder = JournalFolder();
        }
        showRuns();
        if (m_topmost) {
            SetTopmost(*this, true);
        }
        tblRuns->setFocus();
    });
}

/// The newest runs, newest first, the newest selected.
void frmUndo::showRuns()
{
    m_runs = ListJournalRuns(m_journalFolder);
    if (m_runs.size() > static_cast<std::size_t>(kRunsShown)) {
        m_runs.resize(kRunsShown);
    }
    m_model->removeRows(0, m_model->rowCount());
    for (const JournalRun& run : m_runs) {
        auto cell = [](const QString& text) {
            auto* item = new QStandardItem(text);
            item->setToolTip(text);
            return item;
        };
        m_model->appendRow({cell(run.started.toLocalTime().toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"))),
                            cell(runKindText(run.run)), cell(ShownPath(PathFromNative(run.folder))),
                            cell(QString::number(run.files)),
                            cell(run.undone ? QStringLiteral("元に戻し済み") : QString())});
    }
    for (int column = 0; column + 1 < m_model->columnCount(); ++column) {
        tblRuns->resizeColumnToContents(column); // the last, the state, takes the rest
    }
    if (!m_runs.empty()) {
        tblRuns->selectRow(0);
        showBarFor(0);
    }
    cmdUndo->setEnabled(!m_runs.empty());
    if (m_runs.empty()) {
        txtReport->setPlainText(QStringLiteral("元に戻せる変換の記録はありません"));
    }
}

/// The bar counts the files of the run an undo would take back.
void frmUndo::showBarFor(int row)
{
    if (!m_running && row >= 0 && row < static_cast<int>(m_runs.size())) {
        prgProgress->setRange(
            0, static_cast<int>(std::max<qsizetype>(m_runs[static_cast<std::size_t>(row)].files, 1)));
        prgProgress->setValue(0);
    }
}

/// A journal that cannot be written is said once; the undo goes on without it.
void frmUndo::tellJournalFailure(RunJournal& journal)
{
    const QString why = journal.untoldFailure();
    if (!why.isEmpty()) {
        m_boxes.show(why, kCaption, MsgIcon::Warning, MsgButtons::Ok);
    }
}

void frmUndo::enterPressed()
{
    if (tblRuns->hasFocus()) {
        cmdUndo_Click();
    }
}

void frmUndo::cmdUndo_Click()
{
    const QModelIndexList selected = tblRuns->selectionModel()->selectedRows();
    if (m_running || selected.isEmpty() || selected.first().row() >= static_cast<int>(m_runs.size())) {
        return;
    }
    const Busy busy(*this);
    const QPointer<frmUndo> alive(this);
    Guarded(m_reporter, "frmUndo.cmdUndo_Click", [&] {
        m_running = true;
        const auto ended = qScopeGuard([&] {
            if (alive) {
                m_running = false;
            }
        });
        const JournalRun run = m_runs[static_cast<std::size_t>(selected.first().row())];
        cmdUndo->setEnabled(false);
        setWindowTitle(QStringLiteral("変換の取り消し - 実行中"));
        BusyPointer pointer;
        PaintThrottle painting({prgProgress});
        RunJournal journal("undo", run.folder, run.path, m_journalFolder, &m_trash);
        m_undone.push_back(run.path);
        const UndoRunResult result =
            UndoJournalRun(run.path, journal, journal, [&](qsizetype done, qsizetype total) {
                if (!alive || isUnloaded()) {
                    return false;
                }
                prgProgress->setRange(0, static_cast<int>(std::max<qsizetype>(total, 1)));
                prgProgress->setValue(static_cast<int>(done));
                painting.paintIfDue();
                tellJournalFailure(journal);
                QCoreApplication::processEvents(); // the close box
                return alive && !isUnloaded();
            });
        journal.close();
        if (!alive || isUnloaded()) {
            return;
        }
        painting.release();
        pointer.restore();
        tellJournalFailure(journal);
        if (!alive || isUnloaded()) {
            return;
        }
        const int undoneFiles = static_cast<int>(result.files.size());
        showRuns();
        prgProgress->setRange(0, std::max(static_cast<int>(result.total), 1));
        prgProgress->setValue(undoneFiles);
        txtReport->setPlainText(UndoSummaryText(result));
        setWindowTitle(QStringLiteral("変換の取り消し - 完了"));
    });
}

} // namespace calvane
