// Deleting the selected file: the Delete key (any shift state) and the Edit
// menu's item, to the trash or from the disk, with and without the question,
// while the player plays or not; the failures and their messages; names that
// are not UTF-8.

#include "MainWindowFixture.h"
#include "platform/Directory.h"

#include <QMenuBar>

#include <sys/stat.h>

using namespace calvane;
using namespace calvane::test;

namespace {

const QString kMode = QStringLiteral("status Midi mode");
const QStringList kStopAndClose{QStringLiteral("Stop Midi"), QStringLiteral("Close Midi")};
const QString kSpecified = QStringLiteral("MIDIファイルが指定されました (停止中)");
const QString kDeleted = QStringLiteral("削除されました (停止中)");
const QString kFailed = QStringLiteral("削除中にエラーが発生しました (停止中)");
const QByteArray kSjis = "\x8b\xc8.mid"; // "曲.mid" in Shift_JIS

// The boxes as "caption icon: text": ? question (yn: Yes and No), ! warning, x critical.
QString question(const char* name)
{
    return QStringLiteral("削除 ?yn: ") + QString::fromUtf8(name) +
           QStringLiteral("\r\n\r\nこのファイルを削除してもよろしいですか "
                          "\r\n(ファイルはディスクから完全に削除されます)");
}
QString readOnly(const char* name)
{
    return QStringLiteral("削除 !: ") + QString::fromUtf8(name) +
           QStringLiteral("\r\n\r\nこのファイルは読み取り専用のファイルなので削除できません");
}
const QString kNotDeleted = QStringLiteral("削除 x: エラーのため削除できませんでした");
const QString kNoFile = QStringLiteral("削除エラー x: ファイルが削除でません");

/// Where the selected file ends up.
enum class Left
{
    OnDisk,
    InTrash,
    Gone
};

class DeleteTest : public MainWindowTest
{
protected:
    /// The file (by its bytes) selected and loaded beside b.mid, the player in the
    /// given mode with the picture, timer and time a playing file has; later.mid
    /// arrives after the list was read, so a re-read list shows it.
    void selectLoaded(const QByteArray& file, const char* mode, std::int16_t Del, std::int16_t chkDel)
    {
        const int fd = ::open((NativePath(music) + '/' + file).constData(), O_CREAT | O_WRONLY, 0644);
        ASSERT_GE(fd, 0);
        ::close(fd);
        addMidi(QStringLiteral("b.mid"), "B");
        start();
        clickEntry(ShownName(PathFromNative(file)));
        state.settings.Del = Del;
        state.settings.chkDel = chkDel;
        device.setMode(QString::fromLatin1(mode));
        window->cmdPlay->setProperty("picture", 101);
        timer.setInterval(1);
        window->lblPosition->setText(QStringLiteral("00:12.345"));
        addMidi(QStringLiteral("later.mid"), "L");
        device.sent.clear();
        window->filFile->setFocus();
    }

    void pressDelete(Qt::KeyboardModifiers shift = Qt::NoModifier)
    {
        QTest::keyClick(window->filFile, Qt::Key_Delete, shift);
    }

    bool refreshed() const { return listed().contains(QStringLiteral("later.mid")); }

    QStringList boxesWithIcons() const
    {
        QStringList out;
        for (const ShownBox& box : boxes.shown) {
            const QString yesNo = box.buttons == MsgButtons::YesNo ? QStringLiteral("yn") : QString();
            out.append(box.caption + u' ' + QChar::fromLatin1("x!i?"[static_cast<int>(box.icon)]) + yesNo +
                       QStringLiteral(": ") + box.text);
        }
        return out;
    }

    Left whereIs(const QByteArray& file) const
    {
        if (IsOrdinaryFile(NativePath(music) + '/' + file)) {
            return Left::OnDisk;
        }
        return IsOrdinaryFile(trash.folder + '/' + file) ? Left::InTrash : Left::Gone;
    }
};

// --- Del × chkDel × answer × the player's mode, and the failures -------------------

enum class Spoil
{
    Intact,
    ReadOnly, ///< mode 0444
    Missing,  ///< removed by another program after it was listed
    Refusing  ///< the trash answers EACCES
};

struct Row
{
    const char* name;
    QByteArray file;
    Spoil spoil;
    std::int16_t Del;
    std::int16_t chkDel;
    MsgResult answer; ///< to the question, when it is asked
    const char* mode;
    Qt::KeyboardModifiers shift;
    QString box; ///< empty: none
    Left left;
    QString status; ///< set with stop and close sent; empty: unchanged, nothing sent
    bool refreshed;
};

void PrintTo(const Row& row, std::ostream* os)
{
    *os << row.name;
}

class DeleteTable : public DeleteTest, public ::testing::WithParamInterface<Row>
{};

TEST_P(DeleteTable, BoxesDiskTrashPlayerStatusAndList)
{
    const Row& row = GetParam();
    selectLoaded(row.file, row.mode, row.Del, row.chkDel);
    const QByteArray target = NativePath(music) + '/' + row.file;
    if (row.spoil == Spoil::ReadOnly) {
        ASSERT_EQ(::chmod(target.constData(), 0444), 0);
    } else if (row.spoil == Spoil::Missing) {
        ASSERT_EQ(::unlink(target.constData()), 0);
    } else if (row.spoil == Spoil::Refusing) {
        trash.failWith = EACCES;
    }
    boxes.answers = {row.answer};
    const int selected = window->filFile->listIndex();
    pressDelete(row.shift);

    EXPECT_EQ(boxesWithIcons(), row.box.isEmpty() ? QStringList() : QStringList{row.box});
    EXPECT_EQ(whereIs(row.file), row.left);
    EXPECT_EQ(whereIs("b.mid"), Left::OnDisk);
    const bool toTrash = row.Del == 0 && row.spoil != Spoil::Missing;
    EXPECT_EQ(trash.given, toTrash ? QList<QByteArray>{target} : QList<QByteArray>());
    EXPECT_EQ(device.sent, QStringList{kMode} + (row.status.isEmpty() ? QStringList() : kStopAndClose));
    EXPECT_EQ(window->lblStatus->text(), row.status.isEmpty() ? kSpecified : row.status);
    // A file stopped for its deletion leaves the panel stopped: the play picture,
    // no timer; otherwise the panel is left as it was.
    const bool halted = !row.status.isEmpty();
    EXPECT_EQ(window->cmdPlay->property("picture").toInt(), halted ? 102 : 101);
    EXPECT_EQ(timer.interval(), halted ? 0 : 1);
    EXPECT_EQ(window->lblPosition->text(), QStringLiteral("00:12.345"));
    // A re-read list has nothing selected, and the name box agrees.
    EXPECT_EQ(refreshed(), row.refreshed);
    EXPECT_EQ(window->filFile->listIndex(), row.refreshed ? -1 : selected);
    EXPECT_EQ(window->txtFileName->text().isEmpty(), row.refreshed);
    EXPECT_TRUE(reporter.reports.empty());
    for (const QByteArray& left : {target, trash.folder + '/' + row.file}) {
        ::unlink(left.constData()); // the clean-up cannot name a Shift_JIS file
    }
}

constexpr auto Yes = MsgResult::Yes;
constexpr auto No = MsgResult::No;
constexpr auto Plain = Qt::NoModifier;
constexpr auto Shift = Qt::ShiftModifier;
using enum Spoil;

// clang-format off
INSTANTIATE_TEST_SUITE_P(Rows, DeleteTable, ::testing::Values(
    //  name                   file     spoil      Del chk answer mode     shift  box                 left           status    refreshed
    Row{"TrashAsksNothing",    "a.mid", Intact,    0,  1,  No,  "stopped", Plain,  {},                Left::InTrash, {},       true},
    Row{"TrashWhilePlaying",   "a.mid", Intact,    0,  0,  No,  "playing", Shift,  {},                Left::InTrash, kDeleted, true},
    Row{"AskedYes",            "a.mid", Intact,    1,  1,  Yes, "stopped", Plain,  question("a.mid"), Left::Gone,    {},       true},
    Row{"AskedNoWhilePlaying", "a.mid", Intact,    1,  1,  No,  "playing", Plain,  question("a.mid"), Left::OnDisk,  {},       false},
    Row{"AtOnceWhilePlaying",  "a.mid", Intact,    1,  0,  No,  "playing", Plain,  {},                Left::Gone,    kDeleted, true},
    // The paused file is let go of with the file: nothing is left to play.
    Row{"OtherChkDelPaused",   "a.mid", Intact,    1,  2,  No,  "paused",  Shift,  {},                Left::Gone,    kDeleted, true},
    Row{"PausedToTrash",       "a.mid", Intact,    0,  1,  No,  "paused",  Plain,  {},                Left::InTrash, kDeleted, true},
    // Nothing deleted, nothing changed: the list, the boxes and the player stay.
    Row{"OtherDelNothing",     "a.mid", Intact,    2,  1,  Yes, "playing", Plain,  {},                Left::OnDisk,  {},       false},
    Row{"ReadOnlyPlaying",     "a.mid", ReadOnly,  1,  0,  Yes, "playing", Plain,  readOnly("a.mid"), Left::OnDisk,  kFailed,  false},
    // The trash takes a read-only file: it can be restored from there.
    Row{"ReadOnlyToTrash",     "a.mid", ReadOnly,  0,  1,  Yes, "stopped", Plain,  {},                Left::InTrash, {},       true},
    Row{"MissingFromDisk",     "a.mid", Missing,   1,  0,  Yes, "playing", Plain,  kNotDeleted,       Left::Gone,    kFailed,  false},
    // The trash road's own message, and nothing else: no file was deleted.
    Row{"MissingFromTrash",    "a.mid", Missing,   0,  1,  Yes, "playing", Plain,  kNoFile,           Left::Gone,    {},       false},
    Row{"TrashRefusesPlaying", "a.mid", Refusing,  0,  1,  Yes, "playing", Plain,  kNotDeleted,       Left::OnDisk,  kFailed,  false},
    Row{"TrashRefusesPaused",  "a.mid", Refusing,  0,  1,  Yes, "paused",  Plain,  kNotDeleted,       Left::OnDisk,  {},       false},
    Row{"ShiftJisAsked",       kSjis,   Intact,    1,  1,  Yes, "stopped", Plain,  question("曲.mid"), Left::Gone,    {},       true},
    Row{"ShiftJisToTrash",     kSjis,   Intact,    0,  1,  Yes, "stopped", Plain,  {},                Left::InTrash, {},       true},
    Row{"ShiftJisReadOnly",    kSjis,   ReadOnly,  1,  0,  Yes, "stopped", Plain,  readOnly("曲.mid"), Left::OnDisk,  {},       false}),
    [](const ::testing::TestParamInfo<Row>& info) { return std::string(info.param.name); });
// clang-format on

// --- The target and the ways in ---------------------------------------------------

TEST_F(DeleteTest, AFolderEndingInASeparatorGetsNoSecondOne)
{
    selectLoaded("a.mid", "stopped", 0, 1);
    window->filFile->setFolder(music + u'/'); // as a root folder is named
    window->filFile->Refresh();
    clickEntry(QStringLiteral("a.mid"));
    pressDelete();
    EXPECT_EQ(trash.given, QList<QByteArray>{NativePath(music + QStringLiteral("/a.mid"))});
}

TEST_F(DeleteTest, NothingHappensWithoutASelectionOrForAnotherKey)
{
    selectLoaded("a.mid", "playing", 1, 0);
    QTest::keyClick(window->filFile, Qt::Key_Backspace);
    QTest::keyClick(window->filFile, Qt::Key_D, Qt::ControlModifier);
    window->filFile->Refresh(); // nothing selected
    for (const std::int16_t Del : {0, 1}) {
        state.settings.Del = Del;
        pressDelete();
        pressDelete(Qt::ShiftModifier);
    }
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_TRUE(device.sent.isEmpty());
    EXPECT_TRUE(trash.given.isEmpty());
    EXPECT_EQ(whereIs("a.mid"), Left::OnDisk);
}

TEST_F(DeleteTest, TheEditMenuItemDeletesAsTheKeyDoes)
{
    selectLoaded("a.mid", "playing", 1, 1);
    // From the file list's pop-up menu, chosen with the keyboard.
    bool chosen = false;
    QTimer::singleShot(0, [&] {
        if (auto* popup = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
            chosen = window->mnuDel->isEnabled();
            popup->setActiveAction(window->mnuDel);
            QTest::keyClick(popup, Qt::Key_Return);
        }
    });
    clickEntry(QStringLiteral("a.mid"), Qt::RightButton);
    EXPECT_TRUE(chosen);
    EXPECT_EQ(boxesWithIcons(), QStringList{question("a.mid")});
    EXPECT_EQ(whereIs("a.mid"), Left::Gone);
    EXPECT_EQ(window->lblStatus->text(), kDeleted);

    // From the menu bar: a click opens the menu, the item's access key chooses it.
    clickEntry(QStringLiteral("b.mid"));
    state.settings.chkDel = 0;
    QMenuBar* bar = window->menuBar();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(window->mnuEdit->menuAction()).center());
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_EQ(menu, window->mnuEdit);
    EXPECT_TRUE(window->mnuDel->isEnabled());
    QTest::keyClick(menu, Qt::Key_D);
    EXPECT_EQ(whereIs("b.mid"), Left::Gone);
    EXPECT_EQ(listed(), QStringList{QStringLiteral("later.mid")});
}

} // namespace
