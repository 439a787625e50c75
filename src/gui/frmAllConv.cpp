#include "gui/frmAllConv.h"

#include "errors/Guard.h"
#include "gui/Controls.h"
#include "gui/desktop/Topmost.h"
#include "gui/widgets/BusyPointer.h"
#include "gui/widgets/PaintThrottle.h"
#include "midi/basMIDIInfo.h"
#include "platform/Directory.h"
#include "platform/MessageBoxes.h"
#include "platform/NativeFile.h"
#include "rename/basFileNameControl.h"
#include "settings/Settings.h"

#include <QAction>
#include <QApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QScopeGuard>
#include <QTimer>

#include <cstdlib>

namespace calvane {
namespace {

const QString kCaption = QStringLiteral("すべて変換");
const QString kClose = QStringLiteral("閉じる(&X)");
const QString kAbort = QStringLiteral("中止(&A)");

/// The window caption while the run stands at a file with this result.
QString stopCaption(ConvResult result)
{
    switch (result) {
    case ConvResult::NoFile:
        return QStringLiteral("すべて変換 - MIDIファイルが選択されていません");
    case ConvResult::NoTitle:
        return QStringLiteral("すべて変換 - MIDIタイトルが入力されていません");
    case ConvResult::RefusedChar:
        return QStringLiteral("すべて変換 - MIDIタイトルに不正な文字が入力されています");
    case ConvResult::NameExists:
        return QStringLiteral("すべて変換 - 同名のファイルが存在します");
    case ConvResult::AccessFailure:
        return QStringLiteral("すべて変換 - ファイルにアクセスできません");
    case ConvResult::TitleTooLong:
        return QStringLiteral("すべて変換 - MIDIタイトルが長すぎます");
    case ConvResult::Renamed:
    case ConvResult::OtherFailure:
        break;
    }
    return {};
}

/// The boxes and the error handler of a run: the boxes and the bar paint what
/// they hold before any box is shown, so the dialog shows the file it is about.
class PaintedFirst final : public MessageBoxes, public ErrorReporter
{
public:
    PaintedFirst(PaintThrottle& painting, MessageBoxes& boxes, ErrorReporter& reporter)
        : m_painting(painting), m_boxes(boxes), m_reporter(reporter)
    {}

    MsgResult show(const QString& text, const QString& caption, MsgIcon icon, MsgButtons buttons) override
    {
        m_painting.paintNow();
        return m_boxes.show(text, caption, icon, buttons);
    }

    [[noreturn]] void ReportError(std::int32_t number, const QString& text, const QString& procedure) override
    {
        m_painting.paintNow();
        m_reporter.ReportError(number, text, procedure);
        std::abort(); // ReportError does not return
    }

private:
    PaintThrottle& m_painting;
    MessageBoxes& m_boxes;
    ErrorReporter& m_reporter;
};

} // namespace

frmAllConv::frmAllConv(QWidget& owner, Settings& settings, QString folder, QStringList files, bool topmost,
                       MessageBoxes& boxes, ErrorReporter& reporter)
    : SecondaryWindow(owner), m_settings(settings), m_folder(std::move(folder)), m_files(std::move(files)),
      m_topmost(topmost), m_boxes(boxes), m_reporter(reporter), m_renameSpace("batch", NativePath(m_folder))
{
    createControls();
    // The run renames only in the folder whose files it was given, not in another put at its path.
    const QByteArray nativeFolder = NativePath(WithTrailingSeparator(m_folder));
    m_renameSpace.expectFolder(nativeFolder, FolderIdOf(nativeFolder));
}

void frmAllConv::createControls()
{
    setObjectName(QStringLiteral("frmAllConv"));
    setWindowTitle(QStringLiteral("すべて変換 - 待機中"));

    auto* bar = new QMenuBar(this);
    mnuEdit = named(bar->addMenu(QStringLiteral("設定(&E)")), "mnuEdit");
    mnuStart = named(mnuEdit->addAction(QStringLiteral("すぐに変換作業を開始(&S)")), "mnuStart");
    mnuBar1 = named(mnuEdit->addSeparator(), "mnuBar1");
    mnuErrSkip = named(mnuEdit->addAction(QStringLiteral("エラーファイルはスキップする(&E)")), "mnuErrSkip");
    mnuNoMIDITitle =
        named(mnuEdit->addAction(QStringLiteral("MIDIタイトルが無い場合は変換しない(&T)")), "mnuNoMIDITitle");
    for (QAction* option : {mnuStart, mnuErrSkip, mnuNoMIDITitle}) {
        option->setCheckable(true); // a click turns the tick over and does nothing else
    }

    lblFileName = named(new QLabel(QStringLiteral("ファイル名(&F)"), this), "lblFileName");
    txtFileName = named(new QLineEdit(this), "txtFileName");
    txtFileName->setReadOnly(true);
    txtFileName->setToolTip(QStringLiteral("変換するMIDIファイル名"));
    lblFileName->setBuddy(txtFileName);
    lblMIDITitle = named(new QLabel(QStringLiteral("MIDIタイトル(&T)"), this), "lblMIDITitle");
    txtConvFileName = named(new QLineEdit(this), "txtConvFileName");
    txtConvFileName->setToolTip(QStringLiteral("変換するMIDIファイルのタイトル"));
    txtConvFileName->installEventFilter(this);
    lblMIDITitle->setBuddy(txtConvFileName);
    setTitleBoxEditable(false);
    prgProgress = named(new QProgressBar(this), "prgProgress");
    prgProgress->setFormat(QStringLiteral("%v / %m"));

    cmdConv = named(new QPushButton(QStringLiteral("変換(&C)"), this), "cmdConv");
    cmdConv->setToolTip(QStringLiteral("変換作業開始"));
    cmdSkip = named(new QPushButton(QStringLiteral("スキップ(&S)"), this), "cmdSkip");
    cmdSkip->setToolTip(QStringLiteral("ファイルのスキップ（変換しない）"));
    cmdStop = named(new QPushButton(kClose, this), "cmdStop");

    timAllConv = named(new QTimer(this), "timAllConv");
    timAllConv->setTimerType(Qt::PreciseTimer);

    auto* layout = new QGridLayout(this);
    layout->setMenuBar(bar);
    layout->addWidget(lblFileName, 0, 0);
    layout->addWidget(txtFileName, 1, 0, 1, 4);
    layout->addWidget(lblMIDITitle, 2, 0);
    layout->addWidget(txtConvFileName, 3, 0, 1, 4);
    layout->addWidget(prgProgress, 4, 0, 1, 4);
    layout->addWidget(cmdConv, 5, 1);
    layout->addWidget(cmdSkip, 5, 2);
    layout->addWidget(cmdStop, 5, 3);
    layout->setColumnStretch(0, 1);
    layout->setColumnMinimumWidth(0, 160);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    txtFileName->setMinimumWidth(420);

    nameControls();

    connect(cmdConv, &QPushButton::clicked, this, &frmAllConv::cmdConv_Click);
    connect(cmdSkip, &QPushButton::clicked, this, &frmAllConv::cmdSkip_Click);
    connect(cmdStop, &QPushButton::clicked, this, &frmAllConv::cmdStop_Click);
    connect(timAllConv, &QTimer::timeout, this, &frmAllConv::timAllConv_Timer);
}

/// What a screen reader says for the controls no caption names, and Tab in reading order.
void frmAllConv::nameControls()
{
    prgProgress->setAccessibleName(QStringLiteral("進行状況"));
    SetTabOrder({txtFileName, txtConvFileName, cmdConv, cmdSkip, cmdStop});
}

// --- Opening and closing -------------------------------------------------------

void frmAllConv::Form_Load()
{
    Guarded(m_reporter, "frmAllConv.Form_Load", [&] {
        WaitingAtError = false;
        StopRequested = false;
        mnuNoMIDITitle->setChecked(m_settings.NoMIDITitle);
        mnuStart->setChecked(m_settings.Start);
        mnuErrSkip->setChecked(m_settings.ErrSkip);
        lstTemp.assign(m_files.begin(), m_files.end());
        prgProgress->setRange(0, static_cast<int>(m_files.size()));
        showProgress();
        ShowText(txtFileName, lstTemp.empty() ? QString() : ShownName(lstTemp.front()));
        cmdSkip->setEnabled(false);
        if (m_topmost) {
            SetTopmost(*this, true);
        }
        if (mnuStart->isChecked()) {
            timAllConv->start(1); // the run starts on its own once the dialog shows
        }
    });
}

void frmAllConv::Form_Unload()
{
    m_settings.NoMIDITitle = mnuNoMIDITitle->isChecked();
    m_settings.Start = mnuStart->isChecked();
    m_settings.ErrSkip = mnuErrSkip->isChecked();
}

void frmAllConv::timAllConv_Timer()
{
    timAllConv->stop(); // one run, however long it takes
    cmdConv_Click();
}

// --- The run -----------------------------------------------------------------

void frmAllConv::cmdConv_Click()
{
    if (m_running) {
        return; // Enter, the button or a skip while a run is on: one run at a time
    }
    const Busy busy(*this); // a close during the run does not delete the dialog under it
    const QPointer<frmAllConv> alive(this);
    Guarded(m_reporter, "frmAllConv.cmdConv_Click", [&] {
        m_running = true;
        const auto ended = qScopeGuard([&] {
            if (alive) {
                m_running = false;
            }
        });
        cmdStop->setText(kAbort);
        setWindowTitle(QStringLiteral("すべて変換 - 変換中..."));
        BusyPointer pointer;
        cmdConv->setEnabled(false);
        // The boxes and the bar change with every file; a screen shows one frame of them.
        PaintThrottle painting({txtFileName, txtConvFileName, prgProgress});
        PaintedFirst told(painting, m_boxes, m_reporter);

        const std::size_t n = lstTemp.size();
        for (std::size_t i = 0; i < n && !lstTemp.empty(); ++i) {
            QCoreApplication::processEvents(); // the stop button, the menus and the close box
            if (!alive || isUnloaded()) {
                return; // closed meanwhile: an abort with no one left to tell
            }
            if (StopRequested) {
                painting.release();
                pointer.restore();
                abort();
                return;
            }
            if (!WaitingAtError) {
                showHead(told, told);
                painting.paintIfDue();
            }
            const ConvOutcome outcome = FileNameConv(lstTemp.front(), told);
            if (!BatchGoesOn(outcome.result, mnuErrSkip->isChecked(), mnuNoMIDITitle->isChecked())) {
                painting.release();
                if (outcome.result != ConvResult::OtherFailure) {
                    stopAt(outcome, pointer);
                }
                return;
            }
            WaitingAtError = false;
            lstTemp.pop_front();
            showProgress();
        }
        painting.release();
        pointer.restore();
        complete();
    });
}

void frmAllConv::cmdSkip_Click()
{
    if (m_running) {
        return;
    }
    Guarded(m_reporter, "frmAllConv.cmdSkip", [&] {
        WaitingAtError = false;
        if (!lstTemp.empty()) {
            lstTemp.pop_front();
        }
        showProgress();
        cmdSkip->setEnabled(false);
        cmdConv_Click();
    });
}

void frmAllConv::cmdStop_Click()
{
    const bool waiting = WaitingAtError;
    StopRequested = true;
    if (waiting) {
        if (m_boxes.show(QStringLiteral("変換作業を中止しますか"), kCaption, MsgIcon::Question,
                         MsgButtons::YesNo) == MsgResult::Yes) {
            cmdStop->setText(kClose);
            close();
            return;
        }
        StopRequested = false;
    }
    if (cmdStop->text() == kClose) {
        close();
    }
    // Otherwise a running run sees the request before its next file.
}

ConvOutcome frmAllConv::FileNameConv(const QString& fileName, ErrorReporter& reporter)
{
    const ConvOutcome outcome =
        calvane::FileNameConv(m_renameSpace, m_folder, fileName, txtConvFileName->text(), m_settings,
                              reporter, "frmAllConv_FileNameConv");
    ShowConvOutcome(txtConvFileName, outcome);
    const QString journalFailure = m_renameSpace.untoldFailure(); // once; the renames go on
    if (!journalFailure.isEmpty()) {
        m_boxes.show(journalFailure, kCaption, MsgIcon::Warning, MsgButtons::Ok);
    }
    return outcome;
}

/// The head's name, and its title read from the file. A file that has gone
/// since the list was read is not told of here: the rename finds it gone (no
/// file), which the run skips or stops at as its ticks say.
void frmAllConv::showHead(MessageBoxes& boxes, ErrorReporter& reporter)
{
    const QString& head = lstTemp.front();
    ShowText(txtFileName, ShownName(head));
    ShowText(txtConvFileName, QString()); // not the last file's title beside a box about this one
    const MidiFileInfo info = GetMIDIInfo(FullPathOf(m_folder, head), boxes, reporter, MissingFile::Quiet);
    ShowText(txtConvFileName, info.Title);
}

void frmAllConv::showProgress()
{
    prgProgress->setValue(prgProgress->maximum() - static_cast<int>(lstTemp.size()));
}

void frmAllConv::complete()
{
    cmdConv->setEnabled(true);
    setTitleBoxEditable(false);
    m_boxes.show(QStringLiteral("変換作業が終了しました"), kCaption, MsgIcon::Information, MsgButtons::Ok);
    cmdStop->setText(kClose);
    cmdConv->setEnabled(false);
    cmdSkip->setEnabled(false);
    setWindowTitle(QStringLiteral("すべて変換 - 完了"));
}

void frmAllConv::abort()
{
    m_boxes.show(QStringLiteral("変換作業を中止しました"), kCaption, MsgIcon::Warning, MsgButtons::Ok);
    cmdStop->setText(kClose);
    setWindowTitle(QStringLiteral("すべて変換 - 中止"));
    StopRequested = false;
}

/// The run stands at the head: the user may correct its title, skip it or abort.
void frmAllConv::stopAt(const ConvOutcome& outcome, BusyPointer& pointer)
{
    const ConvResult result = outcome.result;
    m_boxes.show(ConvResultMessage(result, outcome.tooLongBy),
                 result == ConvResult::AccessFailure ? QStringLiteral("変換") : kCaption, MsgIcon::Warning,
                 MsgButtons::Ok);
    setWindowTitle(stopCaption(result));
    pointer.restore();
    cmdSkip->setEnabled(true);
    cmdConv->setEnabled(true);
    setTitleBoxEditable(true);
    WaitingAtError = true;
    txtConvFileName->setFocus();
    if (result == ConvResult::RefusedChar) {
        txtConvFileName->setSelection(static_cast<int>(outcome.refusedAt), 1);
    }
}

void frmAllConv::setTitleBoxEditable(bool editable)
{
    txtConvFileName->setReadOnly(!editable);
    ShowTypable(txtConvFileName, editable);
}

bool frmAllConv::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == txtConvFileName && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            cmdConv_Click();
            return true; // consumed: nothing reaches the box
        }
    }
    return SecondaryWindow::eventFilter(watched, event);
}

} // namespace calvane
