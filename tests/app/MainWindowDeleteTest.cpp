// Deleting the selected file: the Delete key (any shift state) and the Edit
// menu's item, to the trash or from the disk, with and without the question,
// while the player plays or not; the failures and their messages.

#include "MainWindowFixture.h"

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

QString question(const QString& name)
{
    return QStringLiteral("削除: ") + name +
           QStringLiteral("\r\n\r\nこのファイルを削除してもよろしいですか "
                          "\r\n(ファイルはディスクから完全に削除されます)");
}

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
    /// a.mid selected (and loaded) in the player's mode; the play picture and the
    /// timer as a playing file has them; later.mid arrives after the list was read.
    void selectA(const QString& mode, std::int16_t Del, std::int16_t chkDel)
    {
        addMidi(QStringLiteral("a.mid"), "A");
        addMidi(QStringLiteral("b.mid"), "B");
        start();
        clickEntry(QStringLiteral("a.mid"));
        state.settings.Del = Del;
        state.settings.chkDel = chkDel;
        device.setMode(mode);
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

    /// The player's display, which deletion never changes.
    void expectPlayerDisplayKept() const
    {
        EXPECT_EQ(window->cmdPlay->property("picture").toInt(), 101);
        EXPECT_EQ(timer.interval(), 1);
        EXPECT_EQ(window->lblPosition->text(), QStringLiteral("00:12.345"));
    }

    Left whereIs(const QString& name) const
    {
        if (QFile::exists(music + u'/' + name)) {
            return Left::OnDisk;
        }
        return QFile::exists(dir.path(QStringLiteral("trash/") + name)) ? Left::InTrash : Left::Gone;
    }
};

// --- Del × chkDel × answer × the player's mode -----------------------------------

struct Row
{
    const char* name;
    std::int16_t Del;
    std::int16_t chkDel;
    MsgResult answer; ///< to the question, when it is asked
    const char* mode;
    Qt::KeyboardModifiers shift;
    bool asked;
    Left left;
    bool stopped; ///< stop and close sent, "削除されました (停止中)"
    bool refreshed;
};

class DeleteTable : public DeleteTest, public ::testing::WithParamInterface<Row>
{};

TEST_P(DeleteTable, BoxesDiskTrashPlayerStatusAndList)
{
    const Row& row = GetParam();
    selectA(QString::fromLatin1(row.mode), row.Del, row.chkDel);
    boxes.answers = {row.answer};
    pressDelete(row.shift);

    EXPECT_EQ(shownBoxes(), row.asked ? QStringList{question(QStringLiteral("a.mid"))} : QStringList());
    if (row.asked) {
        EXPECT_EQ(boxes.shown[0].icon, MsgIcon::Question);
        EXPECT_EQ(boxes.shown[0].buttons, MsgButtons::YesNo);
    }
    EXPECT_EQ(whereIs(QStringLiteral("a.mid")), row.left);
    EXPECT_EQ(trash.given.size(), row.left == Left::InTrash ? 1 : 0);
    EXPECT_EQ(whereIs(QStringLiteral("b.mid")), Left::OnDisk);
    EXPECT_EQ(device.sent, QStringList{kMode} + (row.stopped ? kStopAndClose : QStringList()));
    EXPECT_EQ(window->lblStatus->text(), row.stopped ? kDeleted : kSpecified);
    expectPlayerDisplayKept();
    EXPECT_EQ(refreshed(), row.refreshed);
    // A re-read list has nothing selected, and the name box agrees.
    EXPECT_EQ(window->filFile->listIndex(), row.refreshed ? -1 : 0);
    EXPECT_EQ(window->txtFileName->text(), row.refreshed ? QString() : QStringLiteral("a.mid"));
    EXPECT_TRUE(reporter.reports.empty());
}

constexpr auto Yes = MsgResult::Yes;
constexpr auto No = MsgResult::No;
constexpr auto None = Qt::NoModifier;
constexpr auto Shift = Qt::ShiftModifier;

INSTANTIATE_TEST_SUITE_P(
    Rows, DeleteTable,
    ::testing::Values(
        // name, Del, chkDel, answer, mode, shift, asked, left, stopped, refreshed
        Row{"TrashWithoutQuestion", 0, 1, Yes, "stopped", None, false, Left::InTrash, false, true},
        Row{"TrashWhilePlayingShift", 0, 0, Yes, "playing", Shift, false, Left::InTrash, true, true},
        Row{"AskedYes", 1, 1, Yes, "stopped", None, true, Left::Gone, false, true},
        Row{"AskedNoWhilePlaying", 1, 1, No, "playing", None, true, Left::OnDisk, false, false},
        Row{"AtOnceWhilePlaying", 1, 0, Yes, "playing", None, false, Left::Gone, true, true},
        Row{"OtherChkDelAsksNothingPausedKept", 1, 2, No, "paused", Shift, false, Left::Gone, false, true},
        Row{"OtherDelDeletesNothing", 2, 1, Yes, "playing", None, false, Left::OnDisk, true, true}),
    [](const ::testing::TestParamInfo<Row>& info) { return std::string(info.param.name); });

// --- Failures: the handler's own messages, never the error handler ---------------

enum class Spoil
{
    ReadOnly,     ///< mode 0444
    Missing,      ///< removed by another program after it was listed
    TrashRefuses, ///< the trash answers EACCES
};

struct FailureRow
{
    const char* name;
    Spoil spoil;
    std::int16_t Del;
    const char* mode;
    QString box; ///< "caption: text"; empty: none
    MsgIcon icon;
    Left left;
    QString status; ///< empty: unchanged
    bool refreshed;
};

class DeleteFailures : public DeleteTest, public ::testing::WithParamInterface<FailureRow>
{};

TEST_P(DeleteFailures, ShowTheirMessageAndStopAPlayingFile)
{
    const FailureRow& row = GetParam();
    selectA(QString::fromLatin1(row.mode), row.Del, 0);
    const QByteArray a = NativePath(music + QStringLiteral("/a.mid"));
    switch (row.spoil) {
    case Spoil::ReadOnly:
        ASSERT_EQ(::chmod(a.constData(), 0444), 0);
        break;
    case Spoil::Missing:
        ASSERT_EQ(::unlink(a.constData()), 0);
        break;
    case Spoil::TrashRefuses:
        trash.failWith = EACCES;
        break;
    }
    pressDelete();

    EXPECT_EQ(shownBoxes(), row.box.isEmpty() ? QStringList() : QStringList{row.box});
    if (!boxes.shown.empty()) {
        EXPECT_EQ(boxes.shown[0].icon, row.icon);
        EXPECT_EQ(boxes.shown[0].buttons, MsgButtons::Ok);
    }
    EXPECT_EQ(whereIs(QStringLiteral("a.mid")), row.left);
    EXPECT_EQ(whereIs(QStringLiteral("b.mid")), Left::OnDisk);
    const bool playing = QString::fromLatin1(row.mode) == QStringLiteral("playing");
    EXPECT_EQ(device.sent, QStringList{kMode} + (playing ? kStopAndClose : QStringList()));
    EXPECT_EQ(window->lblStatus->text(), row.status.isEmpty() ? kSpecified : row.status);
    expectPlayerDisplayKept();
    EXPECT_EQ(refreshed(), row.refreshed);
    EXPECT_TRUE(reporter.reports.empty());
    EXPECT_FALSE(end.ended);
}

const QString kReadOnly =
    QStringLiteral("削除: a.mid\r\n\r\nこのファイルは読み取り専用のファイルなので削除できません");
const QString kNotDeleted = QStringLiteral("削除: エラーのため削除できませんでした");
const QString kNoFile = QStringLiteral("削除エラー: ファイルが削除でません");

INSTANTIATE_TEST_SUITE_P(Rows, DeleteFailures,
                         ::testing::Values(
                             // name, spoil, Del, mode, box, icon, left, status, refreshed
                             FailureRow{"ReadOnlyWhilePlaying", Spoil::ReadOnly, 1, "playing", kReadOnly,
                                        MsgIcon::Warning, Left::OnDisk, kFailed, false},
                             // The trash takes a read-only file: it can be restored from there.
                             FailureRow{"ReadOnlyToTheTrash",
                                        Spoil::ReadOnly,
                                        0,
                                        "stopped",
                                        {},
                                        MsgIcon::Critical,
                                        Left::InTrash,
                                        {},
                                        true},
                             FailureRow{"MissingFromTheDisk", Spoil::Missing, 1, "playing", kNotDeleted,
                                        MsgIcon::Critical, Left::Gone, kFailed, false},
                             // The trash road's own message; the deletion then goes on as if it had deleted.
                             FailureRow{"MissingFromTheTrash", Spoil::Missing, 0, "playing", kNoFile,
                                        MsgIcon::Critical, Left::Gone, kDeleted, true},
                             FailureRow{"TrashRefusesWhilePlaying", Spoil::TrashRefuses, 0, "playing",
                                        kNotDeleted, MsgIcon::Critical, Left::OnDisk, kFailed, false},
                             FailureRow{"TrashRefusesStatusKept",
                                        Spoil::TrashRefuses,
                                        0,
                                        "paused",
                                        kNotDeleted,
                                        MsgIcon::Critical,
                                        Left::OnDisk,
                                        {},
                                        false}),
                         [](const ::testing::TestParamInfo<FailureRow>& info) {
                             return std::string(info.param.name);
                         });

// --- The target and the ways in ---------------------------------------------------

TEST_F(DeleteTest, NamesThatAreNotUtf8AreDeletedByTheirBytesOnBothRoads)
{
    const QByteArray first = NativePath(music) + "/\x8b\xc8.mid";          // "曲.mid" in Shift_JIS
    const QByteArray second = NativePath(music) + "/\x8b\xc8\x96\xbc.mid"; // "曲名.mid"
    for (const QByteArray& raw : {first, second}) {
        const int fd = ::open(raw.constData(), O_CREAT | O_WRONLY, 0644);
        ASSERT_GE(fd, 0);
        ::close(fd);
    }
    start();
    state.settings.Del = 1;
    state.settings.chkDel = 1;
    clickEntry(QStringLiteral("曲.mid"));
    pressDelete();
    EXPECT_EQ(shownBoxes(), QStringList{question(QStringLiteral("曲.mid"))});
    EXPECT_FALSE(IsOrdinaryFile(first));

    state.settings.Del = 0;
    clickEntry(QStringLiteral("曲名.mid"));
    pressDelete();
    EXPECT_EQ(trash.given, QList<QByteArray>{second});
    EXPECT_FALSE(IsOrdinaryFile(second));
    EXPECT_TRUE(IsOrdinaryFile(trash.folder + "/\x8b\xc8\x96\xbc.mid"));
    EXPECT_EQ(listed(), QStringList());
    EXPECT_EQ(boxes.shown.size(), 1u);
    ::unlink((trash.folder + "/\x8b\xc8\x96\xbc.mid").constData()); // the clean-up cannot name it
}

TEST_F(DeleteTest, AFolderEndingInASeparatorGetsNoSecondOne)
{
    addMidi(QStringLiteral("a.mid"), "A");
    start();
    state.settings.Del = 0;
    window->filFile->setFolder(music + u'/'); // as a root folder is named
    window->filFile->Refresh();
    clickEntry(QStringLiteral("a.mid"));
    pressDelete();
    EXPECT_EQ(trash.given, QList<QByteArray>{NativePath(music + QStringLiteral("/a.mid"))});
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(DeleteTest, WithNothingSelectedNothingHappensOnEitherRoad)
{
    addMidi(QStringLiteral("a.mid"), "A");
    start();
    window->filFile->setFocus();
    device.sent.clear();
    for (const std::int16_t Del : {0, 1}) {
        state.settings.Del = Del;
        state.settings.chkDel = 1;
        pressDelete();
        pressDelete(Qt::ShiftModifier);
    }
    // Other keys do nothing either, with a file selected.
    clickEntry(QStringLiteral("a.mid"));
    device.sent.clear();
    QTest::keyClick(window->filFile, Qt::Key_Backspace);
    QTest::keyClick(window->filFile, Qt::Key_D, Qt::ControlModifier);
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_TRUE(device.sent.isEmpty());
    EXPECT_TRUE(trash.given.isEmpty());
    EXPECT_EQ(listed(), QStringList{QStringLiteral("a.mid")});
}

TEST_F(DeleteTest, TheEditMenuItemDeletesAsTheKeyDoes)
{
    selectA(QStringLiteral("playing"), 1, 1);
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
    EXPECT_EQ(shownBoxes(), QStringList{question(QStringLiteral("a.mid"))});
    EXPECT_EQ(whereIs(QStringLiteral("a.mid")), Left::Gone);
    EXPECT_EQ(window->lblStatus->text(), kDeleted);
    EXPECT_TRUE(refreshed());

    // From the menu bar: a click opens the menu, the item's access key chooses it.
    clickEntry(QStringLiteral("b.mid"));
    state.settings.chkDel = 0;
    QMenuBar* bar = window->menuBar();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(window->mnuEdit->menuAction()).center());
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_EQ(menu, window->mnuEdit);
    EXPECT_TRUE(window->mnuDel->isEnabled());
    QTest::keyClick(menu, Qt::Key_D);
    EXPECT_EQ(whereIs(QStringLiteral("b.mid")), Left::Gone);
    EXPECT_EQ(listed(), QStringList{QStringLiteral("later.mid")});
}

} // namespace
