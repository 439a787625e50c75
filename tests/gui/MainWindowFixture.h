#pragma once

#include "Fakes.h"
#include "QtPrint.h"
#include "TempDir.h"
#include "gui/frmMain.h"
#include "gui/widgets/DriveList.h"
#include "gui/widgets/FileList.h"
#include "gui/widgets/FolderList.h"
#include "gui/widgets/PositionSlider.h"
#include "midi/MidiBytes.h"
#include "platform/NativeFile.h"
#include "platform/ProcessStarter.h"
#include "player/FakeMciDevice.h"
#include "player/RecordingMidiOutput.h"
#include "report/basModule1.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <memory>
#include <unistd.h>

namespace calvane::test {

/// The main window over a temporary folder "music" (the process's current
/// folder while the test runs), with recording fakes for message boxes (that
/// spin an event loop while they are up), the
/// error handler, the process end, the media device, the trash (a folder "trash"
/// beside "music"), the MIDI outputs and the pickers, a playback timer that ticks
/// only when told, and the real process starter.
class MainWindowTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_savedFolder = QDir::currentPath();
        music = dir.root() + QStringLiteral("/music");
        QDir().mkpath(music);
        QDir::setCurrent(music);
        QDir().mkpath(dir.path(QStringLiteral("trash")));
        trash.folder = NativePath(dir.path(QStringLiteral("trash")));
        ini = dir.path(QStringLiteral("calvane.ini"));
        // Every rename of the program is journaled: into the test's folder, never the user's.
        qputenv("XDG_STATE_HOME", QFile::encodeName(dir.path(QStringLiteral("state"))));
        // A box is up as a real one is: the window's procedures meet the events
        // that arrive meanwhile (a later start's file, a batch run's, a timer's).
        boxes.spins = true;
        device.replies[QStringLiteral("status Midi length")] = QStringLiteral("83456");
        device.replies[QStringLiteral("status midi tempo")] = QStringLiteral("120");
    }

    void TearDown() override
    {
        window.reset();
        QDir::setCurrent(m_savedFolder);
    }

    QString addMidi(const QString& name, const QByteArray& title, const QString& folder = {})
    {
        const QString path = (folder.isEmpty() ? music : folder) + u'/' + name;
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
        file.write(MidiWithTitle(title, "(C) Example"));
        return path;
    }

    void writeIni(const QByteArray& content) const
    {
        QFile file(ini);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
    }

    /// Builds, loads and shows the window, active, as main() does; with handler,
    /// failures go to that real handler, which reads what the window shows.
    frmMain& start(const QString& commandLine = {}, CentralErrorHandler* handler = nullptr)
    {
        window = std::make_unique<frmMain>(
            state, MainWindowServices{boxes, handler ? static_cast<ErrorReporter&>(*handler) : reporter, end,
                                      device, starter, timer, opener, trash, outputs, pickers, ini});
        if (handler) {
            handler->setContext(window->failureContext());
        }
        window->Form_Load(commandLine);
        window->show();
        window->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(window.get()));
        return *window;
    }

    template <class T = QWidget> T* control(const char* name) const
    {
        T* found = window->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }

    QStringList listed() const
    {
        QStringList names;
        for (int i = 0; i < window->filFile->count(); ++i) {
            names.append(window->filFile->shownName(i));
        }
        return names;
    }

    QPoint entryCenter(int row) const
    {
        return window->filFile->visualRect(window->filFile->model()->index(row, 0)).center();
    }

    void clickEntry(const QString& shown, Qt::MouseButton button = Qt::LeftButton)
    {
        const int row = static_cast<int>(listed().indexOf(shown));
        ASSERT_GE(row, 0) << shown.toStdString();
        QTest::mouseClick(window->filFile->viewport(), button, {}, entryCenter(row));
    }

    void doubleClickEntry(const QString& shown)
    {
        const int row = static_cast<int>(listed().indexOf(shown));
        ASSERT_GE(row, 0) << shown.toStdString();
        QTest::mouseDClick(window->filFile->viewport(), Qt::LeftButton, {}, entryCenter(row));
    }

    int px(int twips) const { return qRound(twips * window->logicalDpiX() / 1440.0); }

    /// The boxes shown so far as "caption: text" lines.
    QStringList shownBoxes() const
    {
        QStringList out;
        for (const ShownBox& box : boxes.shown) {
            out.append(box.caption + QStringLiteral(": ") + box.text);
        }
        return out;
    }

    TempDir dir;
    QString music;
    QString ini;
    FakeMessageBoxes boxes;
    FakeErrorReporter reporter;
    FakeProcessEnd end;
    FakeMciDevice device;
    PosixProcessStarter starter;
    FakePlaybackTimer timer;
    FakeUrlOpener opener;
    FakeTrash trash;
    FakeMidiOutputs outputs;
    FakePickers pickers;
    ProgramState state;
    std::unique_ptr<frmMain> window;

private:
    QString m_savedFolder;
};

} // namespace calvane::test
