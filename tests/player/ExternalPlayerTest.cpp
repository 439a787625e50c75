#include "player/ExternalPlayer.h"

#include "RecordedArguments.h"
#include "TempDir.h"
#include "errors/RuntimeError.h"
#include "platform/NativeFile.h"
#include "platform/ProcessStarter.h"
#include "rename/basFileNameControl.h"

#include <QDir>

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

    // Whatever keeps the program from running is the user's to mend in the settings;
    // only a process that cannot be made at all is a failure of the program.
    for (const int err : {ENOENT, ENOTDIR, EACCES, EISDIR, ENOEXEC, ELOOP}) {
        starter.result = err;
        EXPECT_EQ(StartExternalPlayer(QStringLiteral("/gone/player"), file, starter),
                  ExternalPlayerResult::CannotRun)
            << err;
    }
    EXPECT_EQ(StartExternalPlayer(QString(), file, starter), ExternalPlayerResult::CannotRun);
    for (const int err : {EAGAIN, ENOMEM}) {
        starter.result = err;
        EXPECT_THROW(StartExternalPlayer(QStringLiteral("/usr/bin/player"), file, starter), RuntimeError)
            << err;
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

TEST(ExternalPlayer, AProgramThatCannotRunIsToldAndAPathWithBlanksIsOneProgram)
{
    TempDir dir;
    PosixProcessStarter starter;
    const QString text = dir.write(QStringLiteral("notes.txt"), "not a program");
    const QString unknown = dir.write(QStringLiteral("unknown"), QByteArray("\x01\x02\x03 no format", 13));
    QFile::setPermissions(unknown, QFile::ReadOwner | QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther);
    const struct
    {
        const char* what;
        QString exePath;
    } cannotRun[] = {
        {"missing", dir.path(QStringLiteral("no-such-player"))},
        {"missing from PATH", QStringLiteral("calvane-no-such-program-in-path")},
        {"a folder", dir.root()},
        {"not executable", text},
        {"of no known format", unknown},
        {"below a file", text + QStringLiteral("/player")},
    };
    for (const auto& c : cannotRun) {
        EXPECT_EQ(StartExternalPlayer(c.exePath, QStringLiteral("/a.mid"), starter),
                  ExternalPlayerResult::CannotRun)
            << c.what;
    }

    // A setting that names an existing program whole, blanks and all, is that program,
    // here a script that hands its arguments to the recorder.
    QDir(dir.root()).mkdir(QStringLiteral("My Player"));
    const QString out = dir.path(QStringLiteral("argv.bin"));
    const QString player = dir.write(QStringLiteral("My Player/play --fast"),
                                     QStringLiteral("#!/bin/sh\nexec '%1' '%2' \"$@\"\n")
                                         .arg(QStringLiteral(ARGV_RECORDER), out)
                                         .toUtf8());
    QFile::setPermissions(player, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QString file = dir.path(QStringLiteral("a b.mid"));
    ASSERT_EQ(StartExternalPlayer(player, file, starter), ExternalPlayerResult::Started);
    EXPECT_EQ(RecordedArguments(out), QList<QByteArray>{NativePath(file)});
}

} // namespace
