#include "Fakes.h"
#include "FullDisk.h"
#include "QtPrint.h"
#include "TempDir.h"
#include "Unreadable.h"
#include "platform/Cp932.h"
#include "platform/Directory.h"
#include "platform/NativeFile.h"
#include "player/FakeMciDevice.h"
#include "report/basModule1.h"
#include "settings/Settings.h"

#include <QDir>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

using namespace calvane;
using namespace calvane::test;

namespace {

/// What a report shows of the program at the moment of the failure.
struct Shown
{
    QByteArray fileName;
    QByteArray title;
    QByteArray codes;
    QByteArray header = QByteArray(512, '\0');
};

/// ErrLog.txt as the author reads it, byte for byte.
QByteArray ExpectedReport(std::int32_t number, const QString& procedure, const Shown& shown)
{
    return EncodeCp932(u"未知のエラーが発生しました\r\n"
                       u"大変申し訳ございませんが、このテキスト(ErrLog.txt)を作者までお送りください\r\n"
                       u"またどのような処理をしたらエラーが発生したなどの\r\n"
                       u"詳細な情報もお教えいただければ、エラー原因特定に大変役立ちます\r\n"
                       u"ご協力をお願いします\r\n"
                       u"\r\n"
                       u"<< ErrorInfo >>\r\n") +
           "Err = " + QByteArray::number(number) + "\r\nError = " + EncodeCp932(ErrorText(number)) +
           "\r\nProcedure = " + procedure.toLatin1() + "\r\nCurDir = " + NativePath(CurrentFolder()) +
           "\r\nFileName = " + shown.fileName + "[FileName]\r\nMIDITitle = " + shown.title +
           "[MIDITitle]\r\nMIDITitle(Code) = " + shown.codes +
           "[MIDITitle(Code)]\r\nMCIStatus = " + QByteArray(16, '\0') +
           "\r\nMIDILength = 0\r\nHeader = \r\n" + shown.header + "\r\n[EOF]\r\n";
}

/// Message boxes that also run a step of the test as each box appears.
class HookedBoxes final : public MessageBoxes
{
public:
    MsgResult show(const QString& text, const QString& caption, MsgIcon icon, MsgButtons buttons) override
    {
        if (onShow) {
            onShow();
        }
        return boxes.show(text, caption, icon, buttons);
    }
    FakeMessageBoxes boxes;
    std::function<void()> onShow;
};

/// The real handler over a settings file in a temporary folder, a device that
/// plays a 83456 ms file until it is closed, and the playback timer running.
class ErrorReportTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        device.setMode(QStringLiteral("playing"));
        device.replies[QStringLiteral("status Midi length")] = QStringLiteral("83456");
        device.onSend = [this](const QString& command) {
            if (command == u"Close Midi") {
                device.replies.clear();
            }
        };
        timer.setInterval(1);
        handler.setContext({[this] { return currentPath; }, [this] { return title; }, &device, &timer, {}});
    }

    QByteArray report(std::int32_t number = 6, const QString& procedure = QStringLiteral("frmMain.Form_Load"))
    {
        EXPECT_THROW(handler.ReportError(number, ErrorText(number), procedure), ProgramEnded);
        return TempDir::read(errLog);
    }

    QStringList shownBoxes() const
    {
        QStringList out;
        for (const ShownBox& box : boxes.boxes.shown) {
            out.append(box.caption + QStringLiteral(": ") + box.text);
        }
        return out;
    }

    TempDir dir;
    QString ini = dir.write(QStringLiteral("calvane.ini"), "[Main]\r\nMIDIInfo=yes\r\n");
    QString errLog = dir.path(QStringLiteral("ErrLog.txt"));
    HookedBoxes boxes;
    FakeProcessEnd end;
    FakeMciDevice device;
    FakePlaybackTimer timer;
    QString currentPath;
    QString title;
    CentralErrorHandler handler{boxes, end, ini};
};

TEST_F(ErrorReportTest, AReportWithNoFileLoadedIsTheTwentyLinesAndSaysWhereItIs)
{
    int timerAtFirstBox = -1;
    boxes.onShow = [&] { timerAtFirstBox = timer.interval(); };
    EXPECT_EQ(report(), ExpectedReport(6, QStringLiteral("frmMain.Form_Load"), {}));

    EXPECT_EQ(timerAtFirstBox, 0);
    EXPECT_EQ(device.sent.mid(0, 2),
              (QStringList{QStringLiteral("Stop Midi"), QStringLiteral("Close Midi")}));
    EXPECT_EQ(shownBoxes(),
              QStringList{QStringLiteral("未知のエラー: 未知のエラーです\r\n\r\n「%1」フォルダに「ErrLog."
                                         "txt」というファイルを製作しました\r\n大変申し訳ありませんが、"
                                         "内容をご覧ください")
                              .arg(dir.root())});
    EXPECT_EQ(boxes.boxes.shown[0].icon, MsgIcon::Critical);
    EXPECT_EQ(boxes.boxes.shown[0].buttons, MsgButtons::Ok);
    EXPECT_TRUE(end.ended);
    EXPECT_EQ(TempDir::read(ini), "[Main]\r\nMIDIInfo=yes\r\n");
}

TEST_F(ErrorReportTest, TheHeaderIsAtMostTheFirst512BytesOfAnOrdinaryFile)
{
    QByteArray large(600, '\0');
    for (int i = 0; i < large.size(); ++i) {
        large[i] = static_cast<char>(i * 7 + 1);
    }
    const QByteArray hundred = large.left(100);
    const QString fifo = dir.path(QStringLiteral("pipe.mid"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const struct
    {
        QString path;
        QByteArray header;
    } cases[] = {
        {dir.write(QStringLiteral("100.mid"), hundred), hundred + QByteArray(412, '\0')},
        {dir.write(QStringLiteral("600.mid"), large), large.left(512)},
        {fifo, QByteArray(512, '\0')}, // never waits for a writer
        {dir.root(), QByteArray(512, '\0')},
        {dir.path(QStringLiteral("gone.mid")), QByteArray(512, '\0')},
        // A name that is not UTF-8 ("曲.mid" in Shift_JIS): read, and written as its bytes.
        {PathFromNative(dir.writeNative("\x8B\xC8.mid", "MThd")), "MThd" + QByteArray(508, '\0')},
    };
    for (const auto& c : cases) {
        currentPath = c.path;
        EXPECT_EQ(report(53, QStringLiteral("frmMain.filFile_Click")),
                  ExpectedReport(53, QStringLiteral("frmMain.filFile_Click"),
                                 {NativePath(c.path), {}, {}, c.header}))
            << c.path.toStdString();
    }
}

TEST_F(ErrorReportTest, TheTitleAndItsCharacterCodesInCodePage932)
{
    const struct
    {
        const char16_t* title;
        QByteArray bytes;
        QByteArray codes;
    } cases[] = {
        {u"A あ", "A \x82\xA0", "41 20 82A0 "},
        {u"ｱ①\\~", "\xB1\x87\x40\\~", "B1 8740 5C 7E "},
        // No code page 932 code: the "?" the conversion gives, once for a pair of surrogates too.
        {u"é🎵", "??", "3F 3F "},
        {u" x ", " x ", "20 78 20 "},
    };
    for (const auto& c : cases) {
        title = QString::fromUtf16(c.title);
        EXPECT_EQ(report(), ExpectedReport(6, QStringLiteral("frmMain.Form_Load"), {{}, c.bytes, c.codes}))
            << c.codes.toStdString();
    }
}

TEST(ErrorReportDeathTest, AFileThatCannotBeOpenedGivesZeros)
{
    TempDir dir;
    const QString locked = WriteLockedFile(dir, QStringLiteral("locked.mid"), "MThd");
    const QString folder = dir.path(QStringLiteral("report"));
    QDir().mkpath(folder);
    ::chmod(QFile::encodeName(folder).constData(), 0777);
    EXPECT_EXIT(
        {
            if (!GiveUpRoot()) {
                std::_Exit(2);
            }
            FakeMessageBoxes boxes;
            FakeProcessEnd end;
            CentralErrorHandler handler(boxes, end, folder + QStringLiteral("/calvane.ini"));
            handler.setContext({[&] { return locked; }, {}, nullptr, nullptr, {}});
            try {
                handler.ReportError(75, ErrorText(75), QStringLiteral("frmMain.cmdReLoad_Click"));
            } catch (const ProgramEnded&) {
            }
            const QByteArray expected =
                ExpectedReport(75, QStringLiteral("frmMain.cmdReLoad_Click"), {locked.toUtf8(), {}, {}});
            std::_Exit(TempDir::read(folder + QStringLiteral("/ErrLog.txt")) == expected ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST_F(ErrorReportTest, ASecondReportReplacesTheFirstWholeAndALinkAtItsNameIsReplacedNotFollowed)
{
    currentPath = dir.write(QStringLiteral("a.mid"), QByteArray(600, 'a'));
    title = QStringLiteral("a long title that makes the first report the longer one");
    report(6);
    currentPath.clear();
    title.clear();
    EXPECT_EQ(report(53), ExpectedReport(53, QStringLiteral("frmMain.Form_Load"), {}));

    const QString victim = dir.write(QStringLiteral("victim.txt"), "keep");
    ASSERT_TRUE(QFile::remove(errLog));
    ASSERT_TRUE(QFile::link(victim, errLog));
    EXPECT_EQ(report(6), ExpectedReport(6, QStringLiteral("frmMain.Form_Load"), {}));
    EXPECT_FALSE(QFileInfo(errLog).isSymLink());
    EXPECT_EQ(TempDir::read(victim), "keep");
    // No temporary file stays behind.
    QStringList files = QDir(dir.root()).entryList(QDir::Files | QDir::Hidden | QDir::System);
    files.sort();
    EXPECT_EQ(files, (QStringList{QStringLiteral("ErrLog.txt"), QStringLiteral("a.mid"),
                                  QStringLiteral("calvane.ini"), QStringLiteral("victim.txt")}));
}

TEST_F(ErrorReportTest, OnlyTypeMismatchInTheMainWindowsLoadRepairsTheSettings)
{
    const struct
    {
        std::int32_t number;
        const char* procedure;
        bool repair;
    } cases[] = {
        {13, "frmMain.Form_Load", true},  {53, "frmMain.Form_Load", false},
        {6, "frmMain.Form_Load", false},  {13, "frmMain.cmdConv_Click", false},
        {13, "frmmain.Form_Load", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.number) + " in " + c.procedure);
        dir.write(QStringLiteral("calvane.ini"), "[Main]\r\nMIDIInfo=yes\r\n");
        QFile::remove(errLog);
        boxes.boxes.shown.clear();
        device.sent.clear();
        timer.setInterval(1);
        int timerAtFirstBox = -1;
        boxes.onShow = [&] {
            if (timerAtFirstBox < 0) {
                timerAtFirstBox = timer.interval();
            }
        };

        report(c.number, QString::fromLatin1(c.procedure));
        EXPECT_EQ(timerAtFirstBox, 0);
        EXPECT_EQ(device.sent.mid(0, 2),
                  (QStringList{QStringLiteral("Stop Midi"), QStringLiteral("Close Midi")}));
        EXPECT_TRUE(end.ended);
        if (c.repair) {
            EXPECT_EQ(
                shownBoxes(),
                (QStringList{
                    QStringLiteral("起動エラー: INIファイルが壊れている可能性があります\r\nここで自動的に"
                                   "修復します\r\n\r\n再度このメッセージが表示された場合は作者に連絡し"
                                   "てください"),
                    QStringLiteral("修復完了: 修復されました\r\n設定内容はすべて初期状態になります")}));
            EXPECT_EQ(boxes.boxes.shown[0].icon, MsgIcon::Critical);
            EXPECT_EQ(boxes.boxes.shown[1].icon, MsgIcon::Information);
            EXPECT_FALSE(QFile::exists(ini));
            EXPECT_FALSE(QFile::exists(errLog));
            const StoredSettings next = LoadSettings(ini);
            EXPECT_EQ(next.settings, Settings{});
            EXPECT_EQ(next.view, ViewOptions{});
        } else {
            ASSERT_EQ(boxes.boxes.shown.size(), 1u);
            EXPECT_EQ(boxes.boxes.shown[0].caption, QStringLiteral("未知のエラー"));
            EXPECT_EQ(TempDir::read(ini), "[Main]\r\nMIDIInfo=yes\r\n");
            EXPECT_TRUE(TempDir::read(errLog).contains("\r\nErr = " + QByteArray::number(c.number) + "\r\n"));
        }
    }
}

TEST_F(ErrorReportTest, TheMessagesNeverClaimAReportOrARepairThatDidNotHappen)
{
    // No folder to write the report into: the message carries what the report would have.
    CentralErrorHandler homeless(boxes, end, dir.path(QStringLiteral("gone/calvane.ini")));
    EXPECT_THROW(homeless.ReportError(6, ErrorText(6), QStringLiteral("frmMain.Form_Load")), ProgramEnded);
    EXPECT_EQ(shownBoxes(),
              QStringList{
                  QStringLiteral("未知のエラー: 未知のエラーです\r\n\r\n「ErrLog.txt」を製作できませんでした"
                                 " (ファイルがありません)\r\nフォルダ: %1/gone"
                                 "\r\n大変申し訳ありませんが、次の内容を作者までお知らせください"
                                 "\r\n\r\nErr = 6\r\nError = %2\r\nProcedure = frmMain.Form_Load")
                      .arg(dir.root(), ErrorText(6))});

    // A full disk: the last report stays whole, and the message says what the new one would have.
    boxes.boxes.shown.clear();
    const QByteArray last = report(53);
    boxes.boxes.shown.clear();
    {
        const FullDisk full(100);
        EXPECT_THROW(handler.ReportError(6, ErrorText(6), QStringLiteral("frmMain.Form_Load")), ProgramEnded);
    }
    EXPECT_EQ(TempDir::read(errLog), last);
    ASSERT_EQ(boxes.boxes.shown.size(), 1u);
    EXPECT_TRUE(boxes.boxes.shown[0].text.contains(QStringLiteral("「ErrLog.txt」を製作できませんでした (%1)")
                                                       .arg(ErrorText(ErrorNumberFromErrno(EFBIG)))));
    EXPECT_EQ(QDir(dir.root()).entryList(QDir::Files | QDir::Hidden).size(), 2) << "no temporary file left";

    // A settings file that cannot be deleted (a folder stands at its name).
    boxes.boxes.shown.clear();
    const QString stuck = dir.path(QStringLiteral("stuck.ini"));
    QDir().mkpath(stuck + QStringLiteral("/inside"));
    CentralErrorHandler repairer(boxes, end, stuck);
    EXPECT_THROW(repairer.ReportError(13, ErrorText(13), QStringLiteral("frmMain.Form_Load")), ProgramEnded);
    ASSERT_EQ(boxes.boxes.shown.size(), 2u);
    EXPECT_EQ(boxes.boxes.shown[0].caption, QStringLiteral("起動エラー"));
    EXPECT_EQ(boxes.boxes.shown[1].caption + QStringLiteral(": ") + boxes.boxes.shown[1].text,
              QStringLiteral(
                  "修復エラー: 設定ファイルを削除できなかったため、修復できませんでした\r\n%1\r\n%2\r\n\r\n"
                  "このファイルを削除してから、もう一度起動してください")
                  .arg(stuck, ErrorText(75)));
    EXPECT_EQ(boxes.boxes.shown[1].icon, MsgIcon::Critical);
    EXPECT_TRUE(QFileInfo(stuck).isDir());
}

TEST_F(ErrorReportTest, AFailureWhileAReportIsMadeEndsAtOnce)
{
    // The box's own event loop runs an event whose guard fails again.
    bool failed = false;
    boxes.onShow = [&] {
        if (!std::exchange(failed, true)) {
            handler.ReportError(5, ErrorText(5), QStringLiteral("frmMain.cmdReLoad_Click"));
        }
    };
    report(6);
    EXPECT_EQ(boxes.boxes.shown.size(), 0u); // the second failure ended the program before the box appeared
    EXPECT_EQ(device.sent.count(QStringLiteral("Stop Midi")), 1);
    EXPECT_EQ(TempDir::read(errLog), ExpectedReport(6, QStringLiteral("frmMain.Form_Load"), {}));
}

TEST(Guard, UnguardedFailureShowsTheStandardRunTimeErrorMessageAndEnds)
{
    FakeMessageBoxes boxes;
    FakeProcessEnd end;
    EXPECT_THROW(EndWithUnguardedFailure(RuntimeError(13), boxes, end), ProgramEnded);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].caption, QStringLiteral("実行時エラー"));
    EXPECT_TRUE(boxes.shown[0].text.contains(QStringLiteral("13")));
    EXPECT_TRUE(boxes.shown[0].text.contains(ErrorText(13)));
    EXPECT_EQ(boxes.shown[0].icon, MsgIcon::Critical);
    EXPECT_TRUE(end.ended);
}

TEST(GuardDeathTest, TheRealHandlerEndsTheProcessAtOnce)
{
    // The process ends inside ReportError: the line after it is never reached.
    TempDir dir;
    EXPECT_EXIT(
        {
            FakeMessageBoxes boxes;
            ImmediateProcessEnd end;
            CentralErrorHandler handler(boxes, end, dir.path(QStringLiteral("calvane.ini")));
            Guarded(handler, "frmMain.Form_Load", [] { throw RuntimeError(ErrNo::Overflow); });
            std::fprintf(stderr, "still running\n");
            std::exit(0);
        },
        ::testing::ExitedWithCode(1), "error 6 .*frmMain\\.Form_Load");
}

} // namespace
