// One instance per user, proven with real processes: the probe program and the
// program itself.

#include "gui/desktop/SingleInstance.h"

#include "QtPrint.h"
#include "TempDir.h"

#include <QDir>
#include <QFileInfo>
#include <QLocalSocket>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>
#include <QThread>

#include <gtest/gtest.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

using namespace calvane;
using namespace calvane::test;

namespace {

// Generous bounds that only keep a broken test from hanging; no timing is tested.
constexpr int kWaitMs = 30000;

class SingleInstanceTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        folder = dir.path(QStringLiteral("instance"));
        runtime = dir.path(QStringLiteral("runtime"));
        QDir().mkpath(runtime);
        ::chmod(QFile::encodeName(runtime).constData(), 0700);
    }

    void TearDown() override
    {
        for (auto& p : m_started) {
            if (p->state() != QProcess::NotRunning) {
                p->kill();
                p->waitForFinished(kWaitMs);
            }
        }
    }

    QProcess& launch(const QString& program, const QStringList& arguments)
    {
        auto process = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime); // this test's own "user"
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.path(QStringLiteral("config")));
        process->setProcessEnvironment(env);
        process->setWorkingDirectory(dir.root());
        process->setProcessChannelMode(QProcess::SeparateChannels);
        process->start(program, arguments);
        EXPECT_TRUE(process->waitForStarted(kWaitMs)) << program.toStdString();
        m_started.push_back(std::move(process));
        return *m_started.back();
    }

    QProcess& probe(const QStringList& extra = {})
    {
        return launch(QStringLiteral(PROBE_EXE), QStringList{folder} + extra);
    }

    /// The next line the process writes (empty when it ends first).
    static QString nextLine(QProcess& p)
    {
        while (!p.canReadLine()) {
            if (!p.waitForReadyRead(kWaitMs)) {
                return QString::fromUtf8(p.readAll()).trimmed();
            }
        }
        return QString::fromUtf8(p.readLine()).trimmed();
    }

    static bool ended(QProcess& p)
    {
        return p.waitForFinished(kWaitMs) && p.exitStatus() == QProcess::NormalExit;
    }

    TempDir dir;
    QString folder;
    QString runtime;

private:
    std::vector<std::unique_ptr<QProcess>> m_started;
};

TEST_F(SingleInstanceTest, ALaterStartRaisesAndRestoresTheRunningWindowAndEnds)
{
    QProcess& first = probe();
    ASSERT_EQ(nextLine(first), QStringLiteral("first"));
    ASSERT_EQ(nextLine(first), QStringLiteral("ready"));

    QProcess& second = probe();
    EXPECT_EQ(nextLine(second), QStringLiteral("second"));
    EXPECT_TRUE(ended(second));
    EXPECT_EQ(second.exitCode(), 0);

    EXPECT_EQ(nextLine(first), QStringLiteral("raised main minimized=0"));
    EXPECT_TRUE(ended(first));
}

// A runtime folder whose socket path would be too long for a socket address:
// the socket goes into the private folder under /tmp, and a later start finds it.
TEST_F(SingleInstanceTest, ASocketPathTooLongGoesIntoAPrivateFolderUnderTmp)
{
    folder = runtime + u'/' + QString(120, u'r') + QStringLiteral("/calvane");
    const QString socket = SingleInstance::SocketPath(folder);
    EXPECT_TRUE(socket.startsWith(QStringLiteral("/tmp/calvane-%1/").arg(::geteuid())))
        << socket.toStdString();
    EXPECT_EQ(SingleInstance::SocketPath(runtime), runtime + QStringLiteral("/instance.socket"));

    QProcess& first = probe();
    ASSERT_EQ(nextLine(first), QStringLiteral("first"));
    ASSERT_EQ(nextLine(first), QStringLiteral("ready")) << first.readAllStandardError().toStdString();
    QProcess& second = probe();
    EXPECT_EQ(nextLine(second), QStringLiteral("second"));
    EXPECT_EQ(nextLine(first), QStringLiteral("raised main minimized=0"));
    EXPECT_TRUE(ended(first));
}

TEST_F(SingleInstanceTest, AnOpenDialogIsTheWindowThatComesToTheFront)
{
    QProcess& first = probe({QStringLiteral("--dialog")});
    ASSERT_EQ(nextLine(first), QStringLiteral("first"));
    ASSERT_EQ(nextLine(first), QStringLiteral("ready"));
    QProcess& second = probe();
    EXPECT_EQ(nextLine(second), QStringLiteral("second"));
    EXPECT_EQ(nextLine(first), QStringLiteral("raised dialog minimized=0"));
}

TEST_F(SingleInstanceTest, TheLockAndSocketOfAnInstanceThatDiedAreTakenOver)
{
    QProcess& crashed = probe();
    ASSERT_EQ(nextLine(crashed), QStringLiteral("first"));
    ASSERT_EQ(nextLine(crashed), QStringLiteral("ready"));
    crashed.kill(); // SIGKILL: nothing is cleaned up
    crashed.waitForFinished(kWaitMs);
    ASSERT_TRUE(QFileInfo::exists(folder + QStringLiteral("/instance.lock")));

    QProcess& next = probe();
    EXPECT_EQ(nextLine(next), QStringLiteral("first"));
    EXPECT_EQ(nextLine(next), QStringLiteral("ready"));
    QProcess& later = probe();
    EXPECT_EQ(nextLine(later), QStringLiteral("second"));
    EXPECT_EQ(nextLine(next), QStringLiteral("raised main minimized=0"));
}

// The program itself: a second start with a file on its command line ends at
// once, reads and writes no setting, and the first instance goes on.
TEST_F(SingleInstanceTest, TheProgramsSecondStartEndsWithoutTouchingTheSettings)
{
    // Beside the executable when one is there already, else in this test's configuration folder.
    QString ini = QFileInfo(QStringLiteral(CALVANE_EXE)).absolutePath() + QStringLiteral("/calvane.ini");
    if (!QFileInfo::exists(ini)) {
        QDir().mkpath(dir.path(QStringLiteral("config/calvane")));
        ini = dir.write(QStringLiteral("config/calvane/calvane.ini"), "[Main]\r\nPreview=True\r\n");
    }
    const QByteArray iniContent = TempDir::read(ini);
    const QDateTime iniTime = QFileInfo(ini).lastModified();
    const QString socket = runtime + QStringLiteral("/calvane/instance.socket");

    QProcess& first = launch(QStringLiteral(CALVANE_EXE), {});
    for (int i = 0; i < kWaitMs / 50 && !QFileInfo::exists(socket); ++i) {
        QThread::msleep(50);
    }
    ASSERT_TRUE(QFileInfo::exists(socket)) << first.readAllStandardError().toStdString();

    TempDir files;
    const QString midi = files.write(QStringLiteral("a.mid"), "MThd");
    QProcess& second = launch(QStringLiteral(CALVANE_EXE), {midi});
    EXPECT_TRUE(ended(second));
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_EQ(first.state(), QProcess::Running);
    EXPECT_EQ(TempDir::read(ini), iniContent);
    EXPECT_EQ(QFileInfo(ini).lastModified(), iniTime);
}

// "Open with" while the program runs: each later start hands its file over and
// ends; the running program comes to the front, answers a file it cannot take with
// a box and runs on after it, and loads a file that came into its folder after it
// started, and one in another folder named by a relative path.
TEST_F(SingleInstanceTest, LaterStartsWithFilesHaveTheRunningProgramLoadThemOrSayWhyNot)
{
    QProcess& first = launch(QStringLiteral(PROBE_EXE),
                             {runtime + QStringLiteral("/calvane"), QStringLiteral("--program")});
    ASSERT_EQ(nextLine(first), QStringLiteral("ready")) << first.readAllStandardError().toStdString();
    const auto handOver = [&](const QString& file) {
        QProcess& later = launch(QStringLiteral(CALVANE_EXE), {file});
        EXPECT_TRUE(ended(later));
        EXPECT_EQ(later.exitCode(), 0);
    };
    const QByteArray midi("MThd\0\0\0\x06\0\0\0\x01\x01\xe0", 14);

    handOver(dir.write(QStringLiteral("notes.txt"), "notes"));
    EXPECT_EQ(nextLine(first), QStringLiteral("box 選択エラー: MIDIファイルを選択してください minimized=0"));
    handOver(dir.path(QStringLiteral("gone.mid")));
    EXPECT_EQ(nextLine(first), QStringLiteral("box 選択エラー: MIDIファイルを選択してください minimized=0"));
    dir.write(QStringLiteral("new.mid"), midi); // into the folder shown since the start
    handOver(dir.path(QStringLiteral("new.mid")));
    EXPECT_EQ(nextLine(first), QStringLiteral("loaded new.mid"));

    QDir().mkpath(dir.path(QStringLiteral("songs")));
    dir.write(QStringLiteral("songs/b.mid"), midi);
    handOver(QStringLiteral("songs/b.mid")); // relative to the later start's own folder
    EXPECT_EQ(nextLine(first), QStringLiteral("loaded b.mid"));
    first.closeWriteChannel();
    EXPECT_TRUE(ended(first));
    EXPECT_EQ(first.exitCode(), 0);
}

// The private folder of a socket: made when missing, refused unless it is a
// folder of this user that no one else can enter.
TEST(SingleInstancePrivateFolder, OnlyAFolderOfTheUserClosedToOthersIsTaken)
{
    TempDir dir;
    const QString made = dir.path(QStringLiteral("made"));
    EXPECT_EQ(SingleInstance::PrivateFolderProblem(made), QString());
    struct stat st
    {};
    ASSERT_EQ(::stat(QFile::encodeName(made).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0700u);
    EXPECT_EQ(SingleInstance::PrivateFolderProblem(made), QString()); // and again, as it is

    const QString open = dir.path(QStringLiteral("open"));
    QDir().mkpath(open);
    ::chmod(QFile::encodeName(open).constData(), 0755);
    EXPECT_EQ(SingleInstance::PrivateFolderProblem(open), open + QStringLiteral(" is open to other users"));
    const QString file = dir.write(QStringLiteral("file"), "x");
    EXPECT_EQ(SingleInstance::PrivateFolderProblem(file), file + QStringLiteral(" is not a folder"));
    const QString link = dir.path(QStringLiteral("link"));
    ASSERT_EQ(::symlink(QFile::encodeName(made).constData(), QFile::encodeName(link).constData()), 0);
    EXPECT_EQ(SingleInstance::PrivateFolderProblem(link), link + QStringLiteral(" is not a folder"));
    if (::geteuid() == 0) {
        const QString others = dir.path(QStringLiteral("others"));
        QDir().mkpath(others);
        ::chmod(QFile::encodeName(others).constData(), 0700);
        ASSERT_EQ(::chown(QFile::encodeName(others).constData(), 65534, 65534), 0);
        EXPECT_EQ(SingleInstance::PrivateFolderProblem(others),
                  others + QStringLiteral(" belongs to another user"));
    }
}

// What a connection may bring is bounded: one line of 64 KiB at most (more
// without a line end ends the connection), and no more than sixteen connections
// are held at a time; a request still comes through once they are gone.
TEST(SingleInstanceSocket, ALineWithoutEndAndConnectionsBeyondTheBoundAreDropped)
{
    TempDir dir;
    const QString folder = dir.path(QStringLiteral("instance"));
    SingleInstance instance(folder);
    ASSERT_EQ(instance.claim(), SingleInstance::Role::First);
    QSignalSpy raised(&instance, &SingleInstance::raiseRequested);
    const QString socketPath = SingleInstance::SocketPath(folder);

    QLocalSocket flood;
    flood.connectToServer(socketPath);
    ASSERT_TRUE(flood.waitForConnected(5000));
    const QByteArray chunk(64 * 1024, 'x');
    for (int i = 0; i < 64 && flood.state() == QLocalSocket::ConnectedState; ++i) { // 4 MiB at most
        flood.write(chunk);
        QTest::qWait(1);
    }
    EXPECT_TRUE(QTest::qWaitFor([&] { return flood.state() == QLocalSocket::UnconnectedState; }, 10000));

    std::vector<std::unique_ptr<QLocalSocket>> held;
    for (int i = 0; i < 3 * SingleInstance::kMaxConnections; ++i) {
        held.push_back(std::make_unique<QLocalSocket>());
        held.back()->connectToServer(socketPath);
        QTest::qWait(1);
    }
    const auto connected = [&] {
        return std::count_if(held.begin(), held.end(), [](const std::unique_ptr<QLocalSocket>& socket) {
            return socket->state() == QLocalSocket::ConnectedState;
        });
    };
    EXPECT_TRUE(QTest::qWaitFor([&] { return connected() == SingleInstance::kMaxConnections; }))
        << connected();
    held.clear();

    // Asked again until the held ones are let go of, as a user starts again.
    const auto askToRaise = [&] {
        QLocalSocket request;
        request.connectToServer(socketPath);
        if (request.waitForConnected(1000)) {
            request.write("raise\n");
            request.waitForBytesWritten(1000);
        }
        QTest::qWait(20);
        return !raised.isEmpty();
    };
    EXPECT_TRUE(QTest::qWaitFor(askToRaise));
}

} // namespace
