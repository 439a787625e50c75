#include "player/ExternalPlayer.h"

#include "../TempDir.h"
#include "RecordedArguments.h"
#include "errors/RuntimeError.h"
#include "platform/NativeFile.h"
#include "platform/ProcessStarter.h"
#include "rename/basFileNameControl.h"

#include <cerrno>
#include <gtest/gtest.h>

using namespace calvane;
using namespace calvane::test;

namespace {

class RecordingStarter final : public ProcessStarter
{
public:
    int startDetached(const QByteArray& program, const QList<QByteArray>& arguments) override
    {
        this->program = program;
        this->arguments = arguments;
        return result;
    }
    QByteArray program;
    QList<QByteArray> arguments;
    int result = 0;
};

TEST(ExternalPlayer, FullPathGetsNoDoubledSeparator)
{
    EXPECT_EQ(FullPathOf(QStringLiteral("/"), QStringLiteral("a.mid")), QStringLiteral("/a.mid"));
    EXPECT_EQ(FullPathOf(QStringLiteral("/m"), QStringLiteral("a b.mid")), QStringLiteral("/m/a b.mid"));
}

TEST(ExternalPlayer, TheSettingIsSplitAsACommandLineAndTheFileIsOneMoreArgument)
{
    RecordingStarter starter;
    const QString file = QStringLiteral("/m/it's \"a\" $HOME; `x`.mid");
    EXPECT_EQ(StartExternalPlayer(QStringLiteral("\"/opt/My Player/play\" --queue"), file, starter),
              ExternalPlayerResult::Started);
    EXPECT_EQ(starter.program, QByteArray("/opt/My Player/play"));
    EXPECT_EQ(starter.arguments, QList<QByteArray>({"--queue", NativePath(file)}));

    starter.result = ENOENT;
    EXPECT_EQ(StartExternalPlayer(QStringLiteral("/gone/player"), file, starter),
              ExternalPlayerResult::ProgramNotFound);
    EXPECT_EQ(StartExternalPlayer(QString(), file, starter), ExternalPlayerResult::ProgramNotFound);
    starter.result = EACCES;
    try {
        StartExternalPlayer(QStringLiteral("/not/allowed"), file, starter);
        ADD_FAILURE() << "no failure raised";
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.number(), 75);
    }
}

TEST(ExternalPlayer, ARealProgramGetsAFileNameFullOfShellCharactersUnchanged)
{
    TempDir dir;
    const QString out = dir.path(QStringLiteral("argv.bin"));
    // Shell characters, and bytes that are not UTF-8 (a Shift_JIS name).
    const QString file =
        dir.root() + QStringLiteral("/a b \"q\" 'x' $HOME ;ls `id` |&<>*?") + PathFromNative("\x8B\xC8.mid");
    PosixProcessStarter starter;
    const QString command = QStringLiteral("\"%1\" \"%2\"").arg(QStringLiteral(ARGV_RECORDER), out);
    ASSERT_EQ(StartExternalPlayer(command, file, starter), ExternalPlayerResult::Started);
    const QList<QByteArray> args = RecordedArguments(out);
    ASSERT_EQ(args.size(), 1);
    EXPECT_EQ(args[0], NativePath(file));
}

TEST(ExternalPlayer, AMissingProgramIsToldApartFromOtherFailures)
{
    TempDir dir;
    PosixProcessStarter starter;
    EXPECT_EQ(
        StartExternalPlayer(dir.path(QStringLiteral("no-such-player")), QStringLiteral("/a.mid"), starter),
        ExternalPlayerResult::ProgramNotFound);
    EXPECT_EQ(StartExternalPlayer(QStringLiteral("calvane-no-such-program-in-path"), QStringLiteral("/a.mid"),
                                  starter),
              ExternalPlayerResult::ProgramNotFound);
    // A folder is found but cannot be run.
    EXPECT_THROW(StartExternalPlayer(dir.root(), QStringLiteral("/a.mid"), starter), RuntimeError);
}

} // namespace
