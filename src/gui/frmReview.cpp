#include "gui/frmReview.h"

#include "errors/Guard.h"
#include "gui/Controls.h"
#include "gui/ReviewModel.h"
#include "gui/desktop/Topmost.h"
#include "gui/widgets/BusyPointer.h"
#include "gui/widgets/PaintThrottle.h"
#include "platform/MessageBoxes.h"
#include "platform/NativeFile.h"
#include "rename/NewName.h"
#include "rename/ReviewRun.h"
#include "rename/RunJournal.h"
#include "settings/Settings.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QScopeGuard>
#include <QTableView>
#include <QToolButton>

#include <algorithm>
#include <optional>

namespace calvane {
namespace {

const QString kCaption = QStringLiteral("変換一覧");
constexpr int kDefaultWidth = 960;
constexpr int kDefaultHeight = 540;

/// The extensions the options offer, as calvane-rename's --ext names them.
const QStringList kListedExtensions{QStringLiteral("mid"), QStringLiteral("midi"), QStringLiteral("kar"),
                                    QStringLiteral("rmi")};

/// The readings, in the order of TextEncoding: caption and object name.
struct Reading
{
    TextEncoding encoding;
    const char16_t* caption;
    const char* name;
};
constexpr Reading kReadings[] = {
    {TextEncoding::Auto, u"自動 (UTF-8 または Shift_JIS)(&A)", "Auto"},
    {TextEncoding::Cp932, u"Shift_JIS (CP932)(&S)", "Cp932"},
    {TextEncoding::Utf8, u"UTF-8(&U)", "Utf8"},
    {TextEncoding::EucJp, u"EUC-JP(&E)", "EucJp"},
    {TextEncoding::Cp1252, u"Latin-1 (CP1252)(&L)", "Cp1252"},
};

/// One checkable action per reading in the menu, exclusive among themselves.
QList<QAction*> addReadings(QMenu& menu, const char* prefix)
{
    auto* group = new QActionGroup(&menu);
    QList<QAction*> actions;
    for (const Reading& reading : kReadings) {
        QAction* action = named(menu.addAction(QString::fromUtf16(reading.caption)),
                                (QByteArray(prefix) + reading.name).constData());
        action->setCheckable(true);
        group->addAction(action);
        actions << action;
    }
    return actions;
}

} // namespace

frmReview::frmReview(QWidget& owner, Settings& settings, QString folder, bool topmost, MessageBoxes& boxes,
                     ErrorReporter& reporter, Trash& trash)
    : SecondaryWindow(owner), m_settings(settings), m_folder(std::move(folder)), m_topmost(topmost),
      m_boxes(boxes), m_reporter(reporter), m_trash(trash)
{
    createControls();
}

frmReview::~frmReview() = default;

void frmReview::createControls()
{
    setObjectName(QStringLiteral("frmReview"));
    setWindowTitle(kCaption);
    setSizeGripEnabled(true);

    auto* bar = new QMenuBar(this);
    mnuOption = named(bar->addMenu(QStringLiteral("オプション(&O)")), "mnuOption");
    mnuSubfolders = named(mnuOption->addAction(QStringLiteral("サブフォルダも含める(&S)")), "mnuSubfolders");
    mnuExtensions = named(mnuOption->addMenu(QStringLiteral("拡張子(&X)")), "mnuExtensions");
    for (const QString& extension : kListedExtensions) {
        QAction* tick = named(mnuExtensions->addAction(u'.' + extension),
                              ("mnuExtension_" + extension.toLatin1()).constData());
        tick->setCheckable(true);
        mnuExtension << tick;
    }
    mnuReading = named(mnuOption->addMenu(QStringLiteral("タイトルの読み方(&E)")), "mnuReading");
    mnuReadingChoice = addReadings(*mnuReading, "mnuReading");
    mnuReplaceRefused =
        named(mnuOption->addAction(QStringLiteral("不正な文字を全角に置き換える(&R)")), "mnuReplaceRefused");
    mnuShorten = named(mnuOption->addAction(QStringLiteral("長すぎるタイトルは短くする(&L)")), "mnuShorten");
    mnuNumberConflicts =
        named(mnuOption->addAction(QStringLiteral("同名のファイルがある場合は番号を付ける(&N)")),
              "mnuNumberConflicts");
    mnuTrashIdentical =
        named(mnuOption->addAction(QStringLiteral("同名のファイルと内容が同じならごみ箱へ移す(&D)")),
              "mnuTrashIdentical");
    mnuBar1 = named(mnuOption->addSeparator(), "mnuBar1");
    mnuProblemsOnly =
        named(mnuOption->addAction(QStringLiteral("問題のある行だけ表示(&P)")), "mnuProblemsOnly");
    for (QAction* option : {mnuSubfolders, mnuReplaceRefused, mnuShorten, mnuNumberConflicts,
                            mnuTrashIdentical, mnuProblemsOnly}) {
        option->setCheckable(true);
    }
    mnuRowReading = named(new QMenu(QStringLiteral("この行の読み方"), this), "mnuRowReading");
    mnuRowReadingOfList =
        named(mnuRowReading->addAction(QStringLiteral("一覧の読み方に従う(&O)")), "mnuRowReadingOfList");
    mnuRowReading->addSeparator();
    for (const Reading& reading : kReadings) {
        mnuRowReadingChoice << named(mnuRowReading->addAction(QString::fromUtf16(reading.caption)),
                                     (QByteArray("mnuRowReading") + reading.name).constData());
    }
    for (QAction* choice : QList<QAction*>{mnuRowReadingOfList} + mnuRowReadingChoice) {
        choice->setCheckable(true); // ticked where the selected rows agree
    }

    lblFilter = named(new QLabel(QStringLiteral("絞り込み(&F)"), this), "lblFilter");
    txtFilter = named(new QLineEdit(this), "txtFilter");
    txtFilter->setToolTip(QStringLiteral("この文字を含む行だけ表示"));
    txtFilter->setClearButtonEnabled(true);
    lblFilter->setBuddy(txtFilter);

    m_model = new ReviewModel(this);
    m_filter = new ReviewFilter(this);
    m_filter->setSourceModel(m_model);
    tblReview = named(new QTableView(this), "tblReview");
    tblReview->setModel(m_filter);
    tblReview->setSelectionBehavior(QAbstractItemView::SelectRows);
    tblReview->setSelectionMode(QAbstractItemView::ExtendedSelection);
    tblReview->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                               QAbstractItemView::SelectedClicked);
    tblReview->setWordWrap(false);
    tblReview->setTabKeyNavigation(false); // Tab goes on to the buttons
    tblReview->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    tblReview->verticalHeader()->setDefaultSectionSize(tblReview->fontMetrics().height() + 6);
    tblReview->verticalHeader()->hide();
    tblReview->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    tblReview->horizontalHeader()->setStretchLastSection(true);
    tblReview->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    tblReview->setSortingEnabled(true);
    tblReview->installEventFilter(this);
    tblReview->setContextMenuPolicy(Qt::CustomContextMenu);

    prgProgress = named(new QProgressBar(this), "prgProgress");
    prgProgress->setFormat(QStringLiteral("%v / %m"));
    prgProgress->setValue(0);
    lblSummary = named(new QLabel(this), "lblSummary");
    lblSummary->setTextInteractionFlags(Qt::TextSelectableByMouse);

    cmdConv = named(new QPushButton(QStringLiteral("変換(&C)"), this), "cmdConv");
    cmdConv->setToolTip(QStringLiteral("チェックした行を変換"));
    cmdAbort = named(new QPushButton(QStringLiteral("中止(&A)"), this), "cmdAbort");
    cmdAbort->setToolTip(QStringLiteral("次のファイルの前で変換を止める"));
    cmdAbort->setEnabled(false);
    cmdClose = named(new QPushButton(QStringLiteral("閉じる(&X)"), this), "cmdClose");

    auto* layout = new QGridLayout(this);
    layout->setMenuBar(bar);
    auto* filterRow = new QHBoxLayout;
    filterRow->addWidget(lblFilter);
    filterRow->addWidget(txtFilter, 1);
    layout->addLayout(filterRow, 0, 0, 1, 4);
    layout->addWidget(tblReview, 1, 0, 1, 4);
    layout->addWidget(lblSummary, 2, 0, 1, 4);
    layout->addWidget(prgProgress, 3, 0, 1, 4);
    layout->addWidget(cmdConv, 4, 1);
    layout->addWidget(cmdAbort, 4, 2);
    layout->addWidget(cmdClose, 4, 3);
    layout->setColumnStretch(0, 1);
    layout->setRowStretch(1, 1);
    setTabOrder(txtFilter, tblReview);
    setTabOrder(tblReview, cmdConv);
    setTabOrder(cmdConv, cmdAbort);
    setTabOrder(cmdAbort, cmdClose);
    nameControls();

    connect(cmdConv, &QPushButton::clicked, this, &frmReview::cmdConv_Click);
    connect(cmdAbort, &QPushButton::clicked, this, &frmReview::cmdAbort_Click);
    connect(cmdClose, &QPushButton::clicked, this, &frmReview::close);
    connect(txtFilter, &QLineEdit::textChanged, m_filter, &ReviewFilter::setText);
    connect(mnuProblemsOnly, &QAction::toggled, m_filter, &ReviewFilter::setProblemsOnly);
    auto* takenName = new QActionGroup(this); // the two ways with a taken name exclude each other
    takenName->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
    takenName->addAction(mnuNumberConflicts);
    takenName->addAction(mnuTrashIdentical);
    for (QAction* option : QList<QAction*>{mnuSubfolders, mnuReplaceRefused, mnuShorten, mnuNumberConflicts,
                                           mnuTrashIdentical} +
                               mnuExtension + mnuReadingChoice) {
        connect(option, &QAction::triggered, this, &frmReview::mnuOption_Triggered);
    }
    connect(tblReview, &QWidget::customContextMenuRequested, this, &frmReview::tblReview_ContextMenu);
    connect(m_model, &QAbstractItemModel::dataChanged, this, &frmReview::showCounts);
}

/// What a screen reader says for the controls no caption names.
void frmReview::nameControls()
{
    tblReview->setAccessibleName(QStringLiteral("ファイルの一覧"));
    prgProgress->setAccessibleName(QStringLiteral("進行状況"));
    for (QToolButton* clear : txtFilter->findChildren<QToolButton*>()) { // the box's clear button
        clear->setAccessibleName(QStringLiteral("絞り込みを消去"));
    }
}

// --- Opening and closing -------------------------------------------------------

void frmReview::Form_Load()
{
    Guarded(m_reporter, "frmReview.Form_Load", [&] {
        const ReviewSettings& review = m_settings.Review;
        resize(review.Width > 0 ? review.Width : kDefaultWidth,
               review.Height > 0 ? review.Height : kDefaultHeight);
        mnuSubfolders->setChecked(review.Subfolders);
        const QStringList extensions =
            ParseExtensionList(review.Extensions.toLatin1()).value_or(QStringList{QStringLiteral("mid")});
        for (qsizetype i = 0; i < kListedExtensions.size(); ++i) {
            mnuExtension[i]->setChecked(extensions.contains(kListedExtensions[i]));
        }
        if (std::none_of(mnuExtension.begin(), mnuExtension.end(),
                         [](QAction* a) { return a->isChecked(); })) {
            mnuExtension.front()->setChecked(true);
        }
        const TextEncoding reading =
            TextEncodingFromName(review.Encoding.toLatin1()).value_or(TextEncoding::Auto);
        mnuReadingChoice[static_cast<qsizetype>(reading)]->setChecked(true);
        mnuReplaceRefused->setChecked(review.ReplaceRefused);
        mnuShorten->setChecked(review.Shorten);
        mnuNumberConflicts->setChecked(review.NumberConflicts);
        mnuTrashIdentical->setChecked(review.TrashIdentical && !review.NumberConflicts);
        mnuProblemsOnly->setChecked(review.ProblemsOnly);
        makePlan(true);
        restoreColumns();
        if (m_topmost) {
            SetTopmost(*this, true);
        }
        tblReview->setFocus();
        if (m_filter->rowCount() > 0) {
            tblReview->setCurrentIndex(m_filter->index(0, ReviewModel::FileColumn));
        }
    });
}

void frmReview::Form_Unload()
{
    ReviewSettings& review = m_settings.Review;
    review.Width = static_cast<std::int16_t>(std::clamp(width(), 1, 32767));
    review.Height = static_cast<std::int16_t>(std::clamp(height(), 1, 32767));
    QStringList widths;
    for (int column = 0; column < ReviewModel::ColumnCount; ++column) {
        widths << QString::number(tblReview->horizontalHeader()->sectionSize(column));
    }
    review.Columns = widths.join(u',');
    const ReviewOptions chosen = options();
    review.Subfolders = chosen.recursive;
    review.Extensions = chosen.extensions.join(u',');
    review.Encoding = QString::fromLatin1(TextEncodingName(chosen.encoding));
    review.ReplaceRefused = chosen.replaceRefused;
    review.Shorten = chosen.shorten;
    review.NumberConflicts = chosen.onConflict == OnConflict::Number;
    review.TrashIdentical = chosen.onConflict == OnConflict::TrashIdentical;
    review.ProblemsOnly = mnuProblemsOnly->isChecked();
}

void frmReview::restoreColumns()
{
    const QStringList widths = m_settings.Review.Columns.split(u',', Qt::SkipEmptyParts);
    QHeaderView* header = tblReview->horizontalHeader();
    const int shown = std::max(width() - 40, 400);
    const int defaults[] = {shown * 22 / 100, shown * 26 / 100, shown * 22 / 100}; // the word takes the rest
    for (int column = 0; column < ReviewModel::ColumnCount - 1; ++column) {
        bool ok = false;
        const int stored = column < widths.size() ? widths[column].toInt(&ok) : 0;
        header->resizeSection(column, ok && stored > 0 ? std::min(stored, 4000) : defaults[column]);
    }
}

ReviewOptions frmReview::options() const
{
    ReviewOptions options;
    options.settings = m_settings;
    options.recursive = mnuSubfolders->isChecked();
    options.extensions.clear();
    for (qsizetype i = 0; i < kListedExtensions.size(); ++i) {
        if (mnuExtension[i]->isChecked()) {
            options.extensions << kListedExtensions[i];
        }
    }
    for (qsizetype i = 0; i < mnuReadingChoice.size(); ++i) {
        if (mnuReadingChoice[i]->isChecked()) {
            options.encoding = kReadings[i].encoding;
        }
    }
    options.replaceRefused = mnuReplaceRefused->isChecked();
    options.shorten = mnuShorten->isChecked();
    options.onConflict = mnuNumberConflicts->isChecked()  ? OnConflict::Number
                         : mnuTrashIdentical->isChecked() ? OnConflict::TrashIdentical
                                                          : OnConflict::Skip;
    return options;
}

void frmReview::makePlan(bool readFolder)
{
    BusyPointer pointer;
    const ReviewOptions wanted = options();
    if (readFolder || wanted.recursive != m_recursivePlanned || wanted.extensions != m_extensionsPlanned) {
        m_model->setPlan(ReviewPlan::Make(NativePath(m_folder), wanted, [] { return false; }));
        m_recursivePlanned = wanted.recursive;
        m_extensionsPlanned = wanted.extensions;
    } else {
        m_model->plan().setOptions(wanted);
        m_model->allChanged();
    }
    m_filter->invalidate();
    cmdConv->setEnabled(true);
    setWindowTitle(kCaption);
    showCounts();
}

void frmReview::mnuOption_Triggered()
{
    if (m_running) {
        return;
    }
    if (std::none_of(mnuExtension.begin(), mnuExtension.end(), [](QAction* a) { return a->isChecked(); })) {
        mnuExtension.front()->setChecked(true); // a list of no files: ".mid" at least
    }
    Guarded(m_reporter, "frmReview.mnuOption_Click", [&] {
        const bool afterRun = !cmdConv->isEnabled();
        makePlan(afterRun); // after a run the folder is read as it now is
    });
}

void frmReview::showCounts()
{
    if (m_running || !cmdConv->isEnabled()) {
        return; // the run's summary stands
    }
    const ReviewPlan& plan = m_model->plan();
    qsizetype willRename = 0;
    qsizetype problems = 0;
    qsizetype checked = 0;
    for (qsizetype i = 0; i < plan.size(); ++i) {
        const ReviewRow& row = plan.row(i);
        willRename += row.status == RowStatus::WillRename ? 1 : 0;
        problems += IsProblem(row.status) ? 1 : 0;
        checked += row.checked ? 1 : 0;
    }
    prgProgress->setRange(0, static_cast<int>(checked)); // the files a run will take
    prgProgress->setValue(0);
    lblSummary->setText(QStringLiteral("%1 ファイル: 変換 %2 件、問題あり %3 件、チェック %4 件")
                            .arg(plan.size())
                            .arg(willRename)
                            .arg(problems)
                            .arg(checked));
}

// --- Checks, readings and keys -------------------------------------------------------

std::vector<qsizetype> frmReview::selectedRows() const
{
    std::vector<qsizetype> rows;
    for (const QModelIndex& index : tblReview->selectionModel()->selectedRows()) {
        rows.push_back(m_filter->mapToSource(index).row());
    }
    return rows;
}

/// The context menu: the reading of the selected rows, ticked where they agree.
void frmReview::tblReview_ContextMenu(const QPoint& position)
{
    const std::vector<qsizetype> rows = selectedRows();
    if (rows.empty() || m_running || !cmdConv->isEnabled()) {
        return;
    }
    const std::optional<TextEncoding> first = m_model->plan().row(rows.front()).reading;
    const bool alike = std::all_of(rows.begin(), rows.end(),
                                   [&](qsizetype row) { return m_model->plan().row(row).reading == first; });
    for (QAction* action : QList<QAction*>{mnuRowReadingOfList} + mnuRowReadingChoice) {
        action->setChecked(false);
    }
    if (alike) {
        (first ? mnuRowReadingChoice[static_cast<qsizetype>(*first)] : mnuRowReadingOfList)->setChecked(true);
    }
    const QPointer<frmReview> alive(this);
    QAction* chosen = mnuRowReading->exec(tblReview->viewport()->mapToGlobal(position));
    if (!alive || !chosen || m_running || isUnloaded()) {
        return;
    }
    Guarded(m_reporter, "frmReview.mnuRowReading_Click", [&] {
        const qsizetype choice = mnuRowReadingChoice.indexOf(chosen);
        m_model->setReading(selectedRows(),
                            choice >= 0 ? std::optional(kReadings[choice].encoding) : std::nullopt);
        showCounts();
    });
}

void frmReview::toggleSelectedChecks()
{
    const QModelIndexList selected = tblReview->selectionModel()->selectedRows();
    if (selected.isEmpty()) {
        return;
    }
    const QModelIndex current =
        tblReview->currentIndex().isValid() ? tblReview->currentIndex() : selected.first();
    const qsizetype lead = m_filter->mapToSource(current).row();
    const bool check = !m_model->plan().row(lead).checked;
    m_model->setChecked(selectedRows(), check);
}

bool frmReview::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == tblReview && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Space && key->modifiers() == Qt::NoModifier) {
            toggleSelectedChecks();
            return true;
        }
    }
    return SecondaryWindow::eventFilter(watched, event);
}

// --- The run -----------------------------------------------------------------

void frmReview::cmdConv_Click()
{
    if (m_running || !cmdConv->isEnabled()) {
        return;
    }
    const Busy busy(*this); // a close during the run does not delete the window under it
    const QPointer<frmReview> alive(this);
    Guarded(m_reporter, "frmReview.cmdConv_Click", [&] {
        m_running = true;
        m_abortRequested = false;
        const auto ended = qScopeGuard([&] {
            if (alive) {
                m_running = false;
                m_model->setReadOnly(false);
            }
        });
        m_model->setReadOnly(true);
        cmdConv->setEnabled(false);
        cmdAbort->setEnabled(true);
        mnuOption->setEnabled(false);
        setWindowTitle(QStringLiteral("変換一覧 - 変換中"));
        BusyPointer pointer;
        PaintThrottle painting({prgProgress, tblReview->viewport()});
        RunJournal journal("review", NativePath(m_folder), {}, {}, &m_trash);
        journal.expectFolders(m_model->plan().batch());
        const RunTally tally =
            ApplyReviewPlan(m_model->plan(), journal, &journal, [&](qsizetype done, qsizetype total) {
                if (!alive || isUnloaded()) {
                    return false;
                }
                prgProgress->setRange(0, static_cast<int>(std::max<qsizetype>(total, 1)));
                prgProgress->setValue(static_cast<int>(done));
                tblReview->viewport()->update();
                painting.paintIfDue();
                tellJournalFailure(journal.untoldFailure());
                QCoreApplication::processEvents(); // the abort button and the close box
                return alive && !isUnloaded() && !m_abortRequested;
            });
        journal.close();
        if (!alive || isUnloaded()) {
            return; // closed meanwhile: no one is left to tell
        }
        painting.release();
        pointer.restore();
        tellJournalFailure(journal.untoldFailure());
        if (!alive || isUnloaded()) {
            return;
        }
        prgProgress->setValue(
            static_cast<int>(tally.renamed + tally.trashed + tally.unchanged + tally.failedCount()));
        m_model->allChanged();
        cmdAbort->setEnabled(false);
        mnuOption->setEnabled(true);
        lblSummary->setText(RunSummaryText(tally));
        setWindowTitle(tally.stopped ? QStringLiteral("変換一覧 - 中止") : QStringLiteral("変換一覧 - 完了"));
        cmdClose->setFocus();
    });
}

void frmReview::cmdAbort_Click()
{
    m_abortRequested = true; // seen before the next file
}

void frmReview::tellJournalFailure(const QString& why)
{
    if (!why.isEmpty()) {
        m_boxes.show(why, kCaption, MsgIcon::Warning, MsgButtons::Ok);
    }
}

} // namespace calvane
