// The about box, the help page and a file handed over by a later start of the
// program, through the main window's menus and keys.

#include "MainWindowFixture.h"
#include "gui/basSubMain.h"
#include "gui/desktop/Help.h"
#include "gui/desktop/SingleInstance.h"
#include "gui/desktop/WindowRaiser.h"
#include "gui/frmAllConv.h"
#include "gui/frmVerInfo.h"
#include "platform/Paths.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QPointer>

using namespace calvane;
using namespace calvane::test;

namespace {

TEST(HelpFile, BesideTheProgramFirstThenTheInstalledShareFolderAndOnlyAnOrdinaryFile)
{
    TempDir dir;
    const QString bin = dir.path(QStringLiteral("bin"));
    const QString share = dir.path(QStringLiteral("share/calvane"));
    QDir().mkpath(bin);
    QDir().mkpath(share);
    EXPECT_EQ(FindHelpFile(bin, QStringLiteral("calvane")), QString());
    QDir().mkpath(bin + QStringLiteral("/calvane.html")); // a folder of that name is no help page
    EXPECT_EQ(FindHelpFile(bin + u'/', QStringLiteral("calvane")), QString());
    dir.write(QStringLiteral("share/calvane/calvane.html"), "<html></html>");
    EXPECT_EQ(FindHelpFile(bin, QStringLiteral("calvane")), share + QStringLiteral("/calvane.html"));
    QDir(bin + QStringLiteral("/calvane.html")).removeRecursively();
    dir.write(QStringLiteral("bin/calvane.html"), "<html></html>");
    EXPECT_EQ(FindHelpFile(bin, QStringLiteral("calvane")), bin + QStringLiteral("/calvane.html"));
    EXPECT_EQ(FindHelpFile(bin, QStringLiteral("other")), QString());
}

/// Presses Alt+H, then the item's access key, as a user opens the Help menu.
void chooseFromHelpMenu(frmMain& window, Qt::Key key)
{
    QTest::keyClick(&window, Qt::Key_H, Qt::AltModifier);
    QTRY_VERIFY(window.mnuHelp->isVisible());
    QTest::keyClick(window.mnuHelp, key);
}

TEST_F(MainWindowTest, TheHelpKeysOpenTheHelpPageOrSayWhyNot)
{
    // The test program's own help page: beside it, as in a build tree.
    const QString page = QCoreApplication::applicationDirPath() + u'/' +
                         QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName() +
                         QStringLiteral(".html");
    QFile::remove(page);
    start();
    QTest::keyClick(window.get(), Qt::Key_H, Qt::ControlModifier);
    ASSERT_EQ(shownBoxes(),
              QStringList{QStringLiteral("ヘルプの表示: ヘルプファイルが見つかりませんでした")});
    EXPECT_EQ(boxes.shown[0].icon, MsgIcon::Critical);
    EXPECT_TRUE(opener.opened.empty());

    {
        QFile file(page);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("<html></html>");
    }
    const auto removePage = qScopeGuard([&] { QFile::remove(page); });
    // No program shows the page: the user is told where it is, to open it.
    opener.opens = false;
    QTest::keyClick(window.get(), Qt::Key_F1);
    opener.opens = true;
    window->txtConvFileName->setFocus();
    QTest::keyClick(window->txtConvFileName, Qt::Key_H, Qt::ControlModifier);
    chooseFromHelpMenu(*window, Qt::Key_S);
    EXPECT_EQ(opener.opened, std::vector<QUrl>(3, QUrl::fromLocalFile(page)));
    EXPECT_EQ(shownBoxes(),
              QStringList({QStringLiteral("ヘルプの表示: ヘルプファイルが見つかりませんでした"),
                           QStringLiteral("ヘルプ: ヘルプを表示できませんでした\r\n\r\n") + page}));
}

TEST_F(MainWindowTest, TheAboutBoxShowsTheProgramAndHoldsTheMainWindowUntilItCloses)
{
    addMidi(QStringLiteral("a.mid"), "A");
    start();
    window->mnuFront->trigger();
    for (const bool byCloseBox : {false, true}) {
        chooseFromHelpMenu(*window, Qt::Key_V);
        QPointer<frmVerInfo> about = window->verInfoWindow();
        ASSERT_NE(about, nullptr);
        ASSERT_TRUE(QTest::qWaitForWindowActive(about));
        EXPECT_EQ(about->windowTitle(), QStringLiteral("バージョン情報"));
        EXPECT_EQ(about->lblAppName->text(), QStringLiteral("Calvane"));
        EXPECT_EQ(about->lblVer->text(), QStringLiteral("Ver 1.04"));
        EXPECT_TRUE(about->lblAppName->font().bold());
        EXPECT_DOUBLE_EQ(about->lblAppName->font().pointSizeF(), 14.25);
        EXPECT_DOUBLE_EQ(about->lblVer->font().pointSizeF(), 11.25);
        EXPECT_EQ(about->txtCopyright->text(), QStringLiteral("Copyright (C) 2026 Calvane contributors"));
        EXPECT_TRUE(about->txtURL->text().startsWith(u"file:///")) << about->txtURL->text().toStdString();
        EXPECT_TRUE(about->txtURL->text().endsWith(u"/main_window_test.html"));
        EXPECT_TRUE(about->txtURL->isReadOnly() && about->txtCopyright->isReadOnly());
        EXPECT_EQ(
            about->txtInfo->toPlainText(),
            QStringLiteral(
                "MIDIファイルの整理支援プログラムです\n"
                "MIDIファイルのタイトルを一括して読み出し､それぞれのファイル名を付け替えることができます\n"
                "その他、使い方などはヘルプファイルをご覧ください"));
        EXPECT_FALSE(about->picIcon->pixmap().isNull());
        EXPECT_TRUE(about->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        EXPECT_FALSE(window->takesInput());

        // Through the window system the main window takes nothing: a click on a file.
        const QPoint entry = window->filFile->viewport()->mapTo(window.get(), entryCenter(0));
        device.sent.clear();
        QTest::mouseClick(window->windowHandle(), Qt::LeftButton, {}, entry);
        EXPECT_EQ(window->filFile->listIndex(), -1);
        EXPECT_TRUE(device.sent.isEmpty());

        if (byCloseBox) {
            about->windowHandle()->close();
        } else {
            QTest::keyClick(about, Qt::Key_Escape);
        }
        QTRY_VERIFY(about.isNull());
        EXPECT_TRUE(window->takesInput());
        QTRY_VERIFY(window->isActiveWindow());
        QTest::mouseClick(window->windowHandle(), Qt::LeftButton, {}, entry);
        EXPECT_EQ(window->filFile->listIndex(), 0);
        EXPECT_EQ(state.CurrentMIDIPath, music + QStringLiteral("/a.mid"));
        window->filFile->Refresh(); // nothing selected for the next round
    }
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(MainWindowTest, AFileFromALaterStartIsLoadedOnceNoSecondaryWindowIsOpen)
{
    TempDir elsewhere;
    const QString other = elsewhere.write(QStringLiteral("b.mid"), MidiWithTitle("From outside"));
    addMidi(QStringLiteral("a.mid"), "A");
    start();
    window->openFromAnotherStart(other);
    EXPECT_EQ(window->txtConvFileName->text(), QStringLiteral("From outside"));
    EXPECT_EQ(state.CurrentMIDIPath, other);

    window->mnuVer->trigger();
    QPointer<frmVerInfo> about = window->verInfoWindow();
    window->openFromAnotherStart(music + QStringLiteral("/gone.mid"));
    window->openFromAnotherStart(music + QStringLiteral("/a.mid"));
    EXPECT_EQ(state.CurrentMIDIPath, other);
    EXPECT_TRUE(boxes.shown.empty());
    QTest::keyClick(about, Qt::Key_Escape); // both, in their order, once the box is gone
    EXPECT_TRUE(QTest::qWaitFor([&] { return state.CurrentMIDIPath == music + QStringLiteral("/a.mid"); }));
    EXPECT_EQ(shownBoxes(), QStringList{QStringLiteral("選択エラー: MIDIファイルを選択してください")});
    EXPECT_EQ(window->txtFileName->text(), QStringLiteral("a.mid"));
    boxes.shown.clear();

    // The batch dialog's closing re-reads the list first: the file named meanwhile
    // is loaded after that, and stays selected.
    QTest::mouseClick(window->cmdAllConv, Qt::LeftButton);
    QPointer<frmAllConv> batch = window->allConvWindow();
    ASSERT_NE(batch, nullptr);
    window->openFromAnotherStart(other);
    QTest::keyClick(batch, Qt::Key_Escape);
    EXPECT_TRUE(QTest::qWaitFor([&] { return state.CurrentMIDIPath == other; }));
    EXPECT_EQ(window->txtFileName->text(), QStringLiteral("b.mid"));

    window->openFromAnotherStart(elsewhere.path(QStringLiteral("notes.txt")));
    EXPECT_EQ(shownBoxes(), QStringList{QStringLiteral("選択エラー: MIDIファイルを選択してください")});
}

// Through the real socket, as the program wires it: each file is read off its
// connection before it goes on, the window comes to the front first, a file that
// arrives while a box is up waits for the answer, a file added to the shown folder
// is found and the selected file is loaded again.
TEST_F(MainWindowTest, FilesHandedOverThroughTheSocketComeOneAtATimeAfterEveryBox)
{
    addMidi(QStringLiteral("a.mid"), "A");
    start();
    const QString folder = dir.path(QStringLiteral("instance"));
    SingleInstance instance(folder);
    ASSERT_EQ(instance.claim(), SingleInstance::Role::First);
    WindowRaiser raiser(*window);
    ConnectLaterStarts(instance, raiser, *window);
    const auto handOver = [&](const QString& path) {
        SingleInstance later(folder);
        EXPECT_EQ(later.claim(path), SingleInstance::Role::Second);
    };

    const QString notes = dir.write(QStringLiteral("notes.txt"), "notes");
    const QString missing = music + QStringLiteral("/missing.mid");
    QStringList atBoxes;
    boxes.onShow = [&](const ShownBox& box) {
        atBoxes.append(QStringLiteral("%1 minimized=%2 loaded=%3")
                           .arg(box.caption)
                           .arg(window->isMinimized())
                           .arg(GetFileNamePart(state.CurrentMIDIPath)));
        if (atBoxes.size() == 1) {
            handOver(missing); // while the first box is up
            handOver(music + QStringLiteral("/a.mid"));
            QTest::qWait(50);
        }
    };
    window->showMinimized();
    handOver(notes);
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->txtFileName->text() == QStringLiteral("a.mid"); }));
    EXPECT_EQ(atBoxes, QStringList({QStringLiteral("選択エラー minimized=0 loaded="),
                                    QStringLiteral("選択エラー minimized=0 loaded=")}));

    // A file copied into the shown folder after its list was read.
    addMidi(QStringLiteral("b.mid"), "B");
    handOver(music + QStringLiteral("/b.mid"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->txtFileName->text() == QStringLiteral("b.mid"); }));
    EXPECT_EQ(window->txtConvFileName->text(), QStringLiteral("B"));
    // The selected file, changed meanwhile, is loaded again.
    addMidi(QStringLiteral("b.mid"), "B again");
    handOver(music + QStringLiteral("/b.mid"));
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return window->txtConvFileName->text() == QStringLiteral("B again"); }));
    EXPECT_EQ(listed(), QStringList({QStringLiteral("a.mid"), QStringLiteral("b.mid")}));
    EXPECT_EQ(shownBoxes().size(), 2);
    EXPECT_TRUE(reporter.reports.empty());
}

} // namespace
