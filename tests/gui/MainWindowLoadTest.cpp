// Load and unload, the settings round trip, the view options and the exit menu.

#include "FullDisk.h"
#include "MainWindowFixture.h"
#include "Unreadable.h"

#include <QMenuBar>
#include <QWindow>

using namespace calvane;
using namespace calvane::test;

namespace {

/// Counts the events of one type that reach an object.
class EventCounter : public QObject
{
public:
    EventCounter(QObject* watched, QEvent::Type type, int& count) : m_type(type), m_count(count)
    {
        watched->installEventFilter(this);
    }
    bool eventFilter(QObject*, QEvent* event) override
    {
        m_count += event->type() == m_type ? 1 : 0;
        return false;
    }

private:
    QEvent::Type m_type;
    int& m_count;
};

/// The key names of a settings file, in file order.
QStringList keysInOrder(const QString& file)
{
    QStringList keys;
    for (const QByteArray& line : TempDir::read(file).split('\n')) {
        const qsizetype eq = line.indexOf('=');
        if (eq > 0) {
            keys.append(QString::fromLatin1(line.first(eq)));
        }
    }
    return keys;
}

TEST_F(MainWindowTest, AFirstStartShowsTheCurrentFolderAndACloseWritesAllNineteenKeysInOrder)
{
    addMidi(QStringLiteral("b.mid"), "B");
    addMidi(QStringLiteral("a.mid"), "A");
    start();

    EXPECT_EQ(window->dirDirectory->path(), music);
    EXPECT_EQ(listed(), QStringList({QStringLiteral("a.mid"), QStringLiteral("b.mid")}));
    EXPECT_EQ(window->filFile->listIndex(), -1);
    EXPECT_EQ(window->txtFileName->text(), QString());
    EXPECT_EQ(window->lblStatus->text(), QStringLiteral("MIDIファイルを指定してください (停止中)"));
    EXPECT_EQ(window->cmdPlay->property("picture").toInt(), 102);
    EXPECT_EQ(window->cmdPrev->property("picture").toInt(), 103);
    EXPECT_EQ(window->cmdStop->property("picture").toInt(), 104);
    EXPECT_TRUE(window->mnuShowMIDIInfo->isChecked());
    EXPECT_TRUE(window->mnuPreview->isChecked());
    EXPECT_FALSE(window->mnuFront->isChecked());
    EXPECT_FALSE(window->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(device.sent.isEmpty()) << "nothing is loaded at start";
    EXPECT_FALSE(QFile::exists(ini));

    window->close();
    EXPECT_EQ(device.sent, QStringList({QStringLiteral("Stop Midi"), QStringLiteral("Close Midi")}));
    EXPECT_EQ(
        keysInOrder(ini),
        QStringList({"MIDIInfo",     "Preview",  "Front",          "ErrSkip",        "NoMIDITitle",
                     "Start",        "Space",    "LastSpace",      "AppointFolder",  "SaveLastFolder",
                     "Del",          "chkDel",   "DClick",         "DeviceName",     "DeviceNum",
                     "UsePlayer",    "ExePath",  "FastFolderPath", "Repeat",         "Width",
                     "Height",       "Columns",  "Subfolders",     "ReplaceRefused", "NumberConflicts",
                     "ProblemsOnly", "Encoding", "Extensions",     "Shorten",        "TrashIdentical"}));
    EXPECT_TRUE(TempDir::read(ini).contains("FastFolderPath=" + music.toUtf8()));
    EXPECT_TRUE(boxes.shown.empty());
}

// A close on a full disk keeps the settings file as it was and says so once.
TEST_F(MainWindowTest, ACloseThatCannotSaveTheSettingsKeepsTheFileAndSaysSo)
{
    writeIni("[Main]\r\nFront=False\r\n");
    start();
    {
        const FullDisk full;
        window->close();
    }
    EXPECT_EQ(TempDir::read(ini), QByteArray("[Main]\r\nFront=False\r\n"));
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, SettingsNotSavedText(ini, EFBIG));
    EXPECT_TRUE(boxes.shown[0].text.startsWith(QStringLiteral("設定を保存できませんでした\r\n") + ini));
    EXPECT_EQ(boxes.shown[0].caption, QStringLiteral("保存エラー"));
    EXPECT_EQ(boxes.shown[0].icon, MsgIcon::Critical);
    EXPECT_EQ(boxes.shown[0].buttons, MsgButtons::Ok);
}

TEST_F(MainWindowTest, StoredOptionsAndStartFolderComeBackAndACloseWritesTheChangedOnes)
{
    const QString jazz = dir.root() + QStringLiteral("/jazz");
    QDir().mkpath(jazz);
    addMidi(QStringLiteral("take5.mid"), "Take Five", jazz);
    writeIni("[Main]\r\nMIDIInfo=False\r\nPreview=0\r\nFront=TRUE\r\n[Edit]\r\nFastFolderPath=" +
             jazz.toUtf8() + "\r\nDClick=1\r\n");
    start();

    EXPECT_EQ(window->dirDirectory->path(), jazz);
    EXPECT_EQ(listed(), QStringList{QStringLiteral("take5.mid")});
    EXPECT_EQ(window->filFile->listIndex(), -1);
    EXPECT_EQ(state.settings.DClick, 1);
    // The double runs leave each check mark as read and its state applied.
    EXPECT_FALSE(window->mnuShowMIDIInfo->isChecked());
    EXPECT_FALSE(window->mnuPreview->isChecked());
    EXPECT_TRUE(window->mnuFront->isChecked());
    EXPECT_TRUE(window->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_EQ(window->centralWidget()->size(), QSize(px(5130), px(3730)));
    EXPECT_FALSE(window->fraMIDIInfo->isVisible());

    QTest::keyClick(window.get(), Qt::Key_P, Qt::ControlModifier);
    EXPECT_TRUE(window->mnuPreview->isChecked());
    EXPECT_EQ(window->centralWidget()->height(), px(5085));

    // Moving to another folder makes it the start folder (SaveLastFolder and AppointFolder are 1).
    window->dirDirectory->setPath(music);
    EXPECT_EQ(state.settings.FastFolderPath, music);
    window->close();
    const QByteArray saved = TempDir::read(ini);
    EXPECT_TRUE(saved.contains("MIDIInfo=False\r\nPreview=True\r\nFront=True\r\n")) << saved.toStdString();
    EXPECT_TRUE(saved.contains("DClick=1\r\n"));
    EXPECT_TRUE(saved.contains("FastFolderPath=" + music.toUtf8() + "\r\n"));
}

TEST_F(MainWindowTest, TheStartFolderIsNotRecordedWhileLoadingNorWhenItIsNotToBeKept)
{
    const QString jazz = dir.root() + QStringLiteral("/jazz");
    QDir().mkpath(jazz);
    writeIni("[Edit]\r\nFastFolderPath=" + jazz.toUtf8() + "\r\nSaveLastFolder=0\r\n");
    start();
    EXPECT_EQ(window->dirDirectory->path(), jazz);
    window->dirDirectory->setPath(music);
    EXPECT_EQ(state.settings.FastFolderPath, jazz);
    window->close();
    EXPECT_TRUE(TempDir::read(ini).contains("FastFolderPath=" + jazz.toUtf8() + "\r\n"));
}

TEST_F(MainWindowTest, WhatCannotBeListedAtStartLeavesTheCurrentOrTheStartFolder)
{
    const QString file = addMidi(QStringLiteral("x.mid"), "X");
    writeIni("[Edit]\r\nFastFolderPath=" + file.toUtf8() + "\r\n");
    start();
    EXPECT_EQ(window->dirDirectory->path(), music);
    EXPECT_TRUE(reporter.reports.empty());

    // A folder that exists but that this user may not list (as a stale network
    // mount cannot be listed): the start goes on in the current folder.
    const QString locked = dir.root() + QStringLiteral("/locked");
    ASSERT_TRUE(QDir().mkpath(locked + QStringLiteral("/inside")));
    ASSERT_TRUE(QFile::setPermissions(locked, {}));
    writeIni("[Edit]\r\nFastFolderPath=" + locked.toUtf8() + "\r\n");
    {
        const WithoutRootRights user;
        if (!user.active()) {
            QFile::setPermissions(locked, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
            GTEST_SKIP() << "root's rights cannot be given up here";
        }
        start();
    }
    QFile::setPermissions(locked, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_EQ(window->dirDirectory->path(), music);
    EXPECT_EQ(window->filFile->folder(), music);
    EXPECT_EQ(listed(), QStringList{QStringLiteral("x.mid")});
    EXPECT_EQ(window->drvDrive->drive(), window->drvDrive->driveOf(music));
    EXPECT_TRUE(reporter.reports.empty());
    EXPECT_TRUE(boxes.shown.empty());

    // A command-line file whose folder may be entered but not listed: said so, as
    // for a later start's file, and the program runs on in its start folder.
    const QString hidden = addMidi(QStringLiteral("h.mid"), "H", locked);
    ASSERT_TRUE(QFile::setPermissions(locked, QFile::ExeOwner));
    writeIni("[Edit]\r\nFastFolderPath=" + dir.root().toUtf8() + "\r\n");
    {
        const WithoutRootRights user;
        start(hidden);
    }
    QFile::setPermissions(locked, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_EQ(shownBoxes(),
              QStringList{QStringLiteral("ファイル: ") + ErrorText(ErrNo::PathFileAccessError)});
    EXPECT_EQ(window->dirDirectory->path(), dir.root());
    EXPECT_EQ(window->filFile->listIndex(), -1);
    EXPECT_TRUE(reporter.reports.empty());
}

TEST_F(MainWindowTest, ExitEndsAtOnceAndWritesNothing)
{
    writeIni("[Main]\r\nPreview=True\r\n");
    start();
    QTest::keyClick(window.get(), Qt::Key_P, Qt::ControlModifier);
    EXPECT_FALSE(window->mnuPreview->isChecked());
    // Ctrl+X also inside the title box, where it would otherwise cut text.
    window->txtConvFileName->setFocus();
    window->txtConvFileName->setText(QStringLiteral("keep"));
    window->txtConvFileName->selectAll();
    EXPECT_THROW(QTest::keyClick(window->txtConvFileName, Qt::Key_X, Qt::ControlModifier), ProgramEnded);
    EXPECT_TRUE(end.ended);
    EXPECT_EQ(window->txtConvFileName->text(), QStringLiteral("keep"));
    EXPECT_EQ(TempDir::read(ini), "[Main]\r\nPreview=True\r\n");
    EXPECT_EQ(device.sent,
              QStringList{QStringLiteral("status Midi mode")}); // nothing plays: nothing to silence
}

TEST_F(MainWindowTest, ADamagedSettingsFileAtStartIsRepairedOrReported)
{
    const QString errLog = dir.path(QStringLiteral("ErrLog.txt"));
    CentralErrorHandler handler(boxes, end, ini);
    // An unreadable truth value: the file is deleted and the next start has every default.
    writeIni("[Main]\r\nMIDIInfo=yes\r\n");
    EXPECT_THROW(start({}, &handler), ProgramEnded);
    EXPECT_EQ(shownBoxes().size(), 2);
    EXPECT_TRUE(shownBoxes().value(0).startsWith(QStringLiteral("起動エラー: ")));
    EXPECT_TRUE(shownBoxes().value(1).startsWith(QStringLiteral("修復完了: ")));
    EXPECT_FALSE(QFile::exists(ini));
    EXPECT_FALSE(QFile::exists(errLog));

    boxes.shown.clear();
    start();
    EXPECT_TRUE(window->mnuShowMIDIInfo->isChecked());
    EXPECT_EQ(state.settings, Settings{});
    EXPECT_TRUE(reporter.reports.empty());

    // A number too large for its field: the general road; the file stays, so every start stops here.
    writeIni("[Edit]\r\nAppointFolder=70000\r\n");
    EXPECT_THROW(start({}, &handler), ProgramEnded);
    EXPECT_EQ(shownBoxes().size(), 1);
    EXPECT_TRUE(shownBoxes().value(0).startsWith(QStringLiteral("未知のエラー: ")));
    EXPECT_EQ(TempDir::read(ini), "[Edit]\r\nAppointFolder=70000\r\n");
    const QByteArray report = TempDir::read(errLog);
    EXPECT_TRUE(report.contains("\r\nErr = 6\r\n"));
    EXPECT_TRUE(report.contains("\r\nProcedure = frmMain.Form_Load\r\nCurDir = "));
    EXPECT_TRUE(report.contains("\r\nFileName = [FileName]\r\nMIDITitle = [MIDITitle]\r\n"));
}

TEST_F(MainWindowTest, AReportHoldsWhatTheWindowShowedAndThePlayerIsHaltedFirst)
{
    const QString sub = music + QStringLiteral("/sub");
    QDir().mkpath(sub);
    const QString song = addMidi(QStringLiteral("a.mid"), "Song", sub);
    CentralErrorHandler handler(boxes, end, ini);
    start({}, &handler);
    window->dirDirectory->setPath(sub); // the folder the user works in, not the process's
    clickEntry(QStringLiteral("a.mid"));
    device.setMode(QStringLiteral("stopped"));
    device.onSend = [this](const QString& command) {
        if (command == u"Play Midi") {
            device.setMode(QStringLiteral("playing"));
        } else if (command == u"Pause Midi") {
            throw RuntimeError(ErrNo::DeviceIoError);
        } else if (command == u"Close Midi") {
            device.replies.clear();
        }
    };
    window->txtConvFileName->setText(QString::fromUtf16(u"A あ"));
    QTest::mouseClick(window->cmdPlay, Qt::LeftButton);
    ASSERT_EQ(timer.interval(), 1);
    device.sent.clear();

    EXPECT_THROW(QTest::mouseClick(window->cmdPlay, Qt::LeftButton), ProgramEnded);
    EXPECT_EQ(timer.interval(), 0);
    EXPECT_EQ(device.sent.mid(0, 4),
              (QStringList{QStringLiteral("status Midi mode"), QStringLiteral("Pause Midi"),
                           QStringLiteral("Stop Midi"), QStringLiteral("Close Midi")}));
    const QByteArray report = TempDir::read(dir.path(QStringLiteral("ErrLog.txt")));
    EXPECT_TRUE(report.contains("\r\nErr = 57\r\n"));
    EXPECT_TRUE(
        report.contains("\r\nProcedure = basMIDIControl.MIDIControl\r\nCurDir = " + sub.toUtf8() + "\r\n"));
    EXPECT_TRUE(report.contains("\r\nFileName = " + song.toUtf8() + "[FileName]\r\n"));
    EXPECT_TRUE(report.contains("\r\nMIDITitle = A \x82\xA0[MIDITitle]\r\n"
                                "MIDITitle(Code) = 41 20 82A0 [MIDITitle(Code)]\r\n"));
    EXPECT_TRUE(report.contains("\r\nMCIStatus = " + QByteArray(16, '\0') + "\r\nMIDILength = 0\r\n"));
    const QByteArray bytes = TempDir::read(song);
    EXPECT_TRUE(report.endsWith("\r\nHeader = \r\n" + bytes + QByteArray(512 - bytes.size(), '\0') +
                                "\r\n[EOF]\r\n"));
}

TEST_F(MainWindowTest, TheInformationPanelOptionSwitchesBetweenTheTwoLayouts)
{
    start();
    window->mnuShowMIDIInfo->trigger();
    EXPECT_FALSE(window->mnuShowMIDIInfo->isChecked());
    EXPECT_FALSE(window->fraMIDIInfo->isVisible());
    EXPECT_EQ(window->centralWidget()->width(), px(5130));
    EXPECT_EQ(window->filFile->width(), px(2450));
    EXPECT_EQ(window->cmdConv->x(), px(3400));
    EXPECT_EQ(window->txtConvFileName->width(), px(3000));
    EXPECT_EQ(window->fraPreview->width(), px(4900));
    EXPECT_EQ(window->lblPosition->geometry(), QRect(px(170), px(360), px(1200), px(285)));
    EXPECT_EQ(window->sldPosition->geometry(), QRect(px(90), px(720), px(1385), px(375)));
    EXPECT_EQ(window->cmdStop->x(), px(3630));
    EXPECT_FALSE(window->lblP_Tempo->isVisible());
    EXPECT_FALSE(window->lblTempo->isVisible());

    window->mnuShowMIDIInfo->trigger();
    EXPECT_TRUE(window->mnuShowMIDIInfo->isChecked());
    EXPECT_TRUE(window->fraMIDIInfo->isVisible());
    EXPECT_EQ(window->centralWidget()->size(), QSize(px(7440), px(5085)));
    EXPECT_EQ(window->filFile->geometry(), QRect(px(2600), px(195), px(2385), px(2070)));
    EXPECT_EQ(window->cmdConv->geometry(), QRect(px(5640), px(2880), px(1575), px(375)));
    EXPECT_EQ(window->lblStatus->x(), px(3720));
    EXPECT_TRUE(window->lblP_Time->isVisible());

    // Always on top changes the flag of the window that is there: it is neither
    // hidden nor made again (which blinks).
    const WId before = window->winId();
    int hides = 0;
    EventCounter counter(window.get(), QEvent::Hide, hides);
    window->mnuFront->trigger();
    EXPECT_TRUE(window->mnuFront->isChecked());
    EXPECT_TRUE(window->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(window->windowHandle()->flags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(window->isVisible());
    window->mnuFront->trigger();
    EXPECT_FALSE(window->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_FALSE(window->windowHandle()->flags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_EQ(window->winId(), before);
    EXPECT_EQ(hides, 0);
}

TEST_F(MainWindowTest, EveryControlAndMenuItemCarriesItsDesignNameAndCaption)
{
    start();
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Calvane"));
    EXPECT_EQ(control<QPushButton>("cmdConv")->text(), QStringLiteral("変換(&C)"));
    EXPECT_EQ(control<QPushButton>("cmdAllConv")->toolTip(),
              QStringLiteral("現在のディレクトリのMIDIファイルをすべて変換"));
    EXPECT_EQ(control<QLabel>("lblCopyright")->text(), QStringLiteral("著作権 "));
    EXPECT_EQ(control<QGroupBox>("fraPreview")->title(), QStringLiteral("MIDI プレーヤー"));
    EXPECT_EQ(control<FileList>("filFile")->toolTip(),
              QStringLiteral("現在開いているディレクトリ内のMIDIファイル"));
    EXPECT_EQ(window->timMIDIStop, &timer);
    EXPECT_EQ(timer.interval(), 0);

    QStringList bar;
    for (QAction* menu : window->menuBar()->actions()) {
        bar.append(menu->text());
    }
    EXPECT_EQ(bar, QStringList({QStringLiteral("ファイル(&F)"), QStringLiteral("編集(&E)"),
                                QStringLiteral("オプション(&O)"), QStringLiteral("ヘルプ(&H)")}));
    QStringList edit;
    for (QAction* item : control<QMenu>("mnuEdit")->actions()) {
        edit.append(item->objectName() + (item->isVisible() ? "" : "(hidden)") +
                    (item->shortcut().isEmpty() ? QString() : u' ' + item->shortcut().toString()));
    }
    EXPECT_EQ(edit,
              QStringList({"mnuReLoad", "mnuAllConv Ctrl+A", "mnuConv Ctrl+C", "mnuReview Ctrl+L", "mnuUndo",
                           "mnuBar3", "mnuEdit_Play(hidden)", "mnuEdit_Pause(hidden)", "mnuEdit_Stop(hidden)",
                           "mnuBar4(hidden)", "mnuUsePlayer", "mnuBar5", "mnuDel"}));
    QString letters; // the access letters of the Edit menu
    for (QAction* item : control<QMenu>("mnuEdit")->actions()) {
        const qsizetype amp = item->text().indexOf(u'&');
        letters += amp >= 0 ? item->text().at(amp + 1) : QChar();
    }
    EXPECT_EQ(control<QAction>("mnuReview")->text(), QStringLiteral("変換一覧(&L)..."));
    EXPECT_EQ(control<QAction>("mnuUndo")->text(), QStringLiteral("変換を元に戻す(&U)..."));
    EXPECT_EQ(letters.count(u'L'), 1);
    EXPECT_EQ(letters.count(u'U'), 1);
    EXPECT_EQ(control<QAction>("mnuSet")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_E));
    EXPECT_EQ(control<QAction>("mnuShowHelp")->text(), QStringLiteral("ヘルプの表示(&S)..."));
    EXPECT_EQ(control<QAction>("mnuVer")->text(), QStringLiteral("バージョン情報(&V)..."));
}

} // namespace
