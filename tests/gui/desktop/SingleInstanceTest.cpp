// One instance per user, proven with real processes: the probe program and the
// program itself.

#include "QtPrint.h"
#include "TempDir.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QThread>

#include <gtest/gtest.h>
#include <memory>
#include <sys/stat.h>

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

// "Open with" while the program runs: the later start hands its file over, the
// running program loads it and the later start ends.
TEST_F(SingleInstanceTest, ALaterStartWithAFileHasTheRunningProgramLoadIt)
{
    QProcess& first = launch(QStringLiteral(PROBE_EXE),
                             {runtime + QStringLiteral("/calvane"), QStringLiteral("--program")});
    ASSERT_EQ(nextLine(first), QStringLiteral("ready")) << first.readAllStandardError().toStdString();

    QDir().mkpath(dir.path(QStringLiteral("songs")));
    dir.write(QStringLiteral("songs/b.mid"), QByteArray("MThd\0\0\0\x06\0\0\0\x01\x01\xe0", 14));
    // A relative path, from the later start's own folder.
    QProcess& second = launch(QStringLiteral(CALVANE_EXE), {QStringLiteral("songs/b.mid")});
    EXPECT_TRUE(ended(second));
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_EQ(nextLine(first), QStringLiteral("loaded b.mid"));
    first.closeWriteChannel();
    EXPECT_TRUE(ended(first));
}

} // namespace
