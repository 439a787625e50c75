// The single-file rename from the main window: the road of one rename, every
// refusal message, the ways to start it and the halt of playback.

#include "MainWindowFixture.h"
#include "Unreadable.h"

#include <QClipboard>

#include <algorithm>

using namespace calvane;
using namespace calvane::test;

namespace {

class ConvTest : public MainWindowTest
{
protected:
    void SetUp() override
    {
        MainWindowTest::SetUp();
        addMidi(QStringLiteral("track01.mid"), "\x8f\x74\x82\xcc\x8a\x43"); // "春の海"
        addMidi(QStringLiteral("zz.mid"), "Other");
    }

    /// Types the title into the title box (keys exist for ASCII only; other text is set).
    void typeTitle(const QString& title)
    {
        window->txtConvFileName->clear();
        if (std::all_of(title.begin(), title.end(), [](QChar c) { return c.unicode() < 0x80; })) {
            QTest::keyClicks(window->txtConvFileName, title);
        } else {
            window->txtConvFileName->setText(title);
        }
    }

    void convert() { QTest::mouseClick(window->cmdConv, Qt::LeftButton); }

    /// The one message box shown, as "caption: text"; its icon and button checked.
    QString theMessage() const
    {
        EXPECT_EQ(boxes.shown.size(), 1u);
        if (boxes.shown.empty()) {
            return {};
        }
        EXPECT_EQ(boxes.shown[0].icon, MsgIcon::Warning);
        EXPECT_EQ(boxes.shown[0].buttons, MsgButtons::Ok);
        return shownBoxes().first();
    }
};

TEST_F(ConvTest, TheRoadOfOneRename)
{
    start();
    clickEntry(QStringLiteral("track01.mid"));
    EXPECT_EQ(window->txtConvFileName->text(), QStringLiteral("春の海"));
    QTest::keyClick(window->txtConvFileName, Qt::Key_End);
    QTest::keyClicks(window->txtConvFileName, QStringLiteral(" (live)"));
    device.sent.clear();
    convert();

    EXPECT_EQ(listed(), QStringList({QStringLiteral("zz.mid"), QStringLiteral("春の海 (live).mid")}));
    EXPECT_EQ(window->filFile->listIndex(), -1);
    EXPECT_EQ(window->txtFileName->text(), QString());
    EXPECT_EQ(window->txtConvFileName->text(), QString());
    EXPECT_EQ(window->txtFormat->text(), QStringLiteral("0"));
    EXPECT_EQ(window->txtTrack->text(), QStringLiteral("0"));
    EXPECT_EQ(window->txtDivision->text(), QStringLiteral("0"));
    EXPECT_EQ(window->txtTime->text(), QStringLiteral("00:00.0"));
    EXPECT_EQ(window->txtCopyright->text(), QString());
    EXPECT_EQ(window->lblTempo->text(), QStringLiteral("0"));
    EXPECT_EQ(window->lblStatus->text(), QStringLiteral("MIDIファイルが指定されました (停止中)"));
    EXPECT_EQ(device.sent, QStringList({QStringLiteral("status Midi mode"), QStringLiteral("Close Midi")}));
    EXPECT_TRUE(boxes.shown.empty());

    // The name box is empty now: converting again refuses.
    convert();
    EXPECT_EQ(theMessage(), QStringLiteral("変換: MIDIファイルが選択されていません "));
}

TEST_F(ConvTest, ATitleStoredInUtf8IsShownAndBecomesTheName)
{
    addMidi(QStringLiteral("utf8.mid"), "\xe3\x81\x95\xe3\x81\x8f\xe3\x82\x89"); // さくら
    start();
    clickEntry(QStringLiteral("utf8.mid"));
    EXPECT_EQ(window->txtConvFileName->text(), QStringLiteral("さくら"));
    convert();
    EXPECT_TRUE(listed().contains(QStringLiteral("さくら.mid")));
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(ConvTest, NoFileSelectedIsRefusedAndTheTitleBoxGetsTheFocus)
{
    start();
    window->filFile->setFocus();
    QTest::keyClick(window.get(), Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(theMessage(), QStringLiteral("変換: MIDIファイルが選択されていません "));
    EXPECT_TRUE(window->txtConvFileName->hasFocus());
    EXPECT_EQ(device.sent, QStringList({QStringLiteral("status Midi mode"), QStringLiteral("Close Midi")}));
}

TEST_F(ConvTest, AnEmptyOrAllSpaceTitleIsRefused)
{
    start();
    clickEntry(QStringLiteral("track01.mid"));
    typeTitle(QStringLiteral(" \u3000 "));
    convert();
    EXPECT_EQ(theMessage(), QStringLiteral("変換: MIDIタイトルが入力されていません"));
    EXPECT_EQ(window->txtConvFileName->text(), QString());
    EXPECT_TRUE(window->txtConvFileName->hasFocus());
    EXPECT_TRUE(listed().contains(QStringLiteral("track01.mid")));
}

TEST_F(ConvTest, ARefusedCharacterIsSelectedAndTheTrimmedTitleStays)
{
    start();
    clickEntry(QStringLiteral("track01.mid"));
    typeTitle(QStringLiteral("abc?d  "));
    window->filFile->setFocus();
    convert();
    EXPECT_EQ(theMessage(), QStringLiteral("変換: MIDIタイトルに不正な文字が入力されています"));
    EXPECT_EQ(window->txtConvFileName->text(), QStringLiteral("abc?d"));
    EXPECT_EQ(window->txtConvFileName->selectionStart(), 3);
    EXPECT_EQ(window->txtConvFileName->selectedText(), QStringLiteral("?"));
    EXPECT_TRUE(window->txtConvFileName->hasFocus());
}

TEST_F(ConvTest, ANameThatIsTakenIsRefusedAndNeitherFileChanges)
{
    start();
    clickEntry(QStringLiteral("track01.mid"));
    typeTitle(QStringLiteral("zz"));
    convert();
    EXPECT_EQ(theMessage(), QStringLiteral("変換: 同名のファイルが存在します"));
    EXPECT_EQ(listed(), QStringList({QStringLiteral("track01.mid"), QStringLiteral("zz.mid")}));
    EXPECT_EQ(TempDir::read(music + QStringLiteral("/zz.mid")), MidiWithTitle("Other", "(C) Example"));
    EXPECT_TRUE(window->txtConvFileName->hasFocus());
}

// A name longer than the file system takes is result 5 with its own message, how
// many bytes too long, and the title box to shorten it in; a folder this user may
// not write in is the access message, and the focus stays.
TEST_F(ConvTest, ANameTooLongSaysByHowMuchAndAFolderThatCannotBeWrittenGivesTheAccessMessage)
{
    struct Case
    {
        QString title;
        bool readOnlyFolder;
        QString message;
        bool titleFocused;
    };
    const Case cases[] = {
        {QString(200, u'長'), false, QStringLiteral("変換: MIDIタイトルが長すぎます（349 バイト超過）"),
         true},
        {QStringLiteral("Fine"), true,
         QStringLiteral("変換: ファイルにアクセスできません\r\n"
                        "読み取り専用または書き込み不可のメディアに記憶されています"),
         false},
    };
    for (const Case& c : cases) {
        start();
        boxes.shown.clear();
        clickEntry(QStringLiteral("track01.mid"));
        window->txtConvFileName->setText(c.title);
        window->filFile->setFocus();
        if (c.readOnlyFolder) {
            ASSERT_TRUE(QFile::setPermissions(music, QFile::ReadOwner | QFile::ExeOwner));
            const WithoutRootRights user;
            if (!user.active()) {
                QFile::setPermissions(music, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
                GTEST_SKIP() << "root's rights cannot be given up here";
            }
            convert();
        } else {
            convert();
        }
        QFile::setPermissions(music, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        EXPECT_EQ(theMessage(), c.message) << c.title.size();
        EXPECT_EQ(window->txtConvFileName->hasFocus(), c.titleFocused);
        EXPECT_TRUE(listed().contains(QStringLiteral("track01.mid")));
        EXPECT_TRUE(reporter.reports.empty());
    }
}

TEST_F(ConvTest, AFileAnotherProgramMovedAwayIsNoFileAndTheProgramGoesOn)
{
    start();
    clickEntry(QStringLiteral("track01.mid"));
    QFile::rename(music + QStringLiteral("/track01.mid"), dir.path(QStringLiteral("moved.mid")));
    convert();
    EXPECT_EQ(theMessage(), QStringLiteral("変換: MIDIファイルが選択されていません "));
    EXPECT_TRUE(window->txtConvFileName->hasFocus());
    EXPECT_TRUE(reporter.reports.empty());
    EXPECT_TRUE(QFile::exists(dir.path(QStringLiteral("moved.mid"))));
}

TEST_F(ConvTest, EnterAndCtrlCInTheTitleBoxConvert)
{
    QApplication::clipboard()->setText(QStringLiteral("clipboard"));
    start();
    clickEntry(QStringLiteral("track01.mid"));
    typeTitle(QStringLiteral("First"));
    QTest::keyClick(window->txtConvFileName, Qt::Key_Return);
    EXPECT_TRUE(listed().contains(QStringLiteral("First.mid")));

    clickEntry(QStringLiteral("zz.mid"));
    typeTitle(QStringLiteral("Second"));
    window->txtConvFileName->selectAll();
    QTest::keyClick(window->txtConvFileName, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(listed(), QStringList({QStringLiteral("First.mid"), QStringLiteral("Second.mid")}));
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("clipboard")); // converted, not copied
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(ConvTest, ConvertingStopsAPlayingFileEvenWhenTheTitleIsRefused)
{
    start();
    clickEntry(QStringLiteral("track01.mid"));
    window->cmdPlay->setProperty("picture", 101);
    timer.setInterval(1);
    device.setMode(QStringLiteral("playing"));
    device.sent.clear();
    typeTitle(QStringLiteral("a|b"));
    window->mnuConv->trigger();

    EXPECT_EQ(device.sent, QStringList({QStringLiteral("status Midi mode"), QStringLiteral("Stop Midi"),
                                        QStringLiteral("Close Midi")}));
    EXPECT_EQ(window->lblStatus->text(), QStringLiteral("変換作業のため停止します"));
    EXPECT_EQ(window->cmdPlay->property("picture").toInt(), 102);
    EXPECT_EQ(timer.interval(), 0);
    EXPECT_EQ(theMessage(), QStringLiteral("変換: MIDIタイトルに不正な文字が入力されています"));
}

TEST_F(ConvTest, AShiftJisNamedFileIsRenamedToAUtf8Name)
{
    const QByteArray raw = NativePath(music) + "/\x8b\xc8.mid";
    const int fd = ::open(raw.constData(), O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(fd, 0);
    const QByteArray bytes = MidiWithTitle("\x8b\xc8\x82\xcc\x96\xbc");
    ASSERT_EQ(::write(fd, bytes.constData(), static_cast<size_t>(bytes.size())), bytes.size());
    ::close(fd);
    start();
    clickEntry(QStringLiteral("曲.mid"));
    convert();
    EXPECT_TRUE(listed().contains(QStringLiteral("曲の名.mid")));
    EXPECT_FALSE(QFile::exists(QString::fromLatin1(raw)));
    EXPECT_EQ(TempDir::read(music + QStringLiteral("/曲の名.mid")), bytes);
    EXPECT_TRUE(boxes.shown.empty());
}

} // namespace
