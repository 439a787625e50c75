#include "rename/RenameJournal.h"

#include "FullDisk.h"
#include "QtPrint.h"
#include "TempDir.h"
#include "errors/RuntimeError.h"
#include "platform/NativeFile.h"

#include <QFile>

#include <gtest/gtest.h>
#include <optional>

using namespace calvane;
using namespace calvane::test;

namespace {

const QByteArray kHeader = JournalHeaderLine(QStringLiteral("2026-12-07T10:00:00Z"));

// Any bytes of a name come back as they went in, whatever the encoding.
TEST(RenameJournal, EntriesReadBackByteForByte)
{
    using Kind = JournalEntry::Kind;
    const std::vector<JournalEntry> entries = {
        {"/music/track01.mid", "/music/春の海.mid"},
        {"/music/\x8b\xc8.mid", "/music/曲.mid"},                          // a Shift_JIS name
        {"/\x83\x70\x83\x58/a \"b\"\\.mid", "/\x83\x70\x83\x58/c\nd.mid"}, // quotes, a line feed
        {"/m/\xff\xfe.mid", "/m/\x01.mid"},
        // A copy into the trash and back out of it, names not UTF-8.
        {"/m/\x8b\xc8.mid", "/home/u/.local/share/Trash/files/\x8b\xc8.2.mid", Kind::Trash,
         "/home/u/.local/share/Trash/info/\x8b\xc8.2.mid.trashinfo"},
        {"/v/.Trash-0/files/a.mid", "/v/m/a.mid", Kind::Restore, "/v/.Trash-0/info/a.mid.trashinfo"},
    };
    QByteArray text = JournalHeaderLine(QStringLiteral("now"), "/state/\x8b\xc8.jsonl");
    for (const JournalEntry& e : entries) {
        text += JournalEntryLine(e);
    }
    EXPECT_EQ(text.count('\n'), 7);
    const JournalRead read = ReadJournal(text);
    EXPECT_EQ(read.error, QString());
    EXPECT_EQ(read.entries, entries);
}

TEST(RenameJournal, OnlyALastLineCutOffIsLeftOutAnyOtherFaultRefusesTheWhole)
{
    const QByteArray good = JournalEntryLine({"/m/a.mid", "/m/A.mid"});
    struct Row
    {
        QByteArray text;
        qsizetype entries;
        qsizetype errorLine; ///< 0: usable
        bool lastLineCut;
    };
    const Row rows[] = {
        {kHeader, 0, 0, false},
        {kHeader + good + "\n\n" + good, 2, 0, false}, // blank lines; a whole last line without its end
        {kHeader + good + good.first(20), 1, 0, true},
        {kHeader + good + good.first(20) + "\n" + good, 0, 3, false},
        {good, 0, 1, false}, // no header
        {"", 0, 1, false},
        {"{\"journal\": \"calvane-rename\", \"version\": 2}\n" + good, 0, 1, false},
        {kHeader + "{\"from\": \"/m/a.mid\"}\n", 0, 2, false},
        {kHeader + "{\"from\": \"m/a.mid\", \"to\": \"m/b.mid\"}\n", 0, 2, false},   // relative
        {kHeader + "{\"from\": \"/m/a.mid\", \"to\": \"/n/a.mid\"}\n", 0, 2, false}, // another folder
        {kHeader + "{\"from\": \"/m/a.mid\", \"to\": \"/m/..\"}\n", 0, 2, false},    // no name
        {kHeader + "{\"from\": \"/m/a\", \"to\": \"/m/b\", \"to_hex\": \"2f6d2f00\"}\n", 0, 2,
         false}, // a NUL
        {kHeader + "{\"from\": \"/m/a\", \"to\": \"/m/b\", \"to_hex\": \"2f6d2f6\"}\n", 0, 2,
         false}, // odd hex
        {kHeader + "[1, 2]\n", 0, 2, false},
        // The trash's kinds: a path and its record in a trash folder, nothing else.
        {kHeader + "{\"kind\": \"trash\", \"from\": \"/m/a.mid\", \"to\": \"/t/files/a.mid\", "
                   "\"info\": \"/t/info/a.mid.trashinfo\"}\n",
         1, 0, false},
        {kHeader + "{\"kind\": \"restore\", \"from\": \"/t/files/a.mid\", \"to\": \"/m/a.mid\", "
                   "\"info\": \"/t/info/a.mid.trashinfo\"}\n",
         1, 0, false},
        {kHeader + "{\"kind\": \"copy\", \"from\": \"/m/a.mid\", \"to\": \"/m/b.mid\"}\n", 0, 2, false},
        {kHeader + "{\"kind\": \"trash\", \"from\": \"/m/a.mid\", \"to\": \"/t/files/a.mid\"}\n", 0, 2,
         false}, // no record
        {kHeader + "{\"kind\": \"trash\", \"from\": \"/m/a.mid\", \"to\": \"/t/files/a.mid\", "
                   "\"info\": \"/etc/passwd\"}\n",
         0, 2, false}, // a record that is not the file's
        {kHeader + "{\"kind\": \"trash\", \"from\": \"/m/a.mid\", \"to\": \"/m/b.mid\", "
                   "\"info\": \"/info/b.mid.trashinfo\"}\n",
         0, 2, false}, // not into a trash
        {kHeader + "{\"kind\": \"restore\", \"from\": \"/m/a.mid\", \"to\": \"/t/files/a.mid\", "
                   "\"info\": \"/t/info/a.mid.trashinfo\"}\n",
         0, 2, false}, // the wrong way round
    };
    for (const Row& row : rows) {
        const JournalRead read = ReadJournal(row.text);
        EXPECT_EQ(static_cast<qsizetype>(read.entries.size()), row.entries) << row.text.toStdString();
        EXPECT_EQ(read.errorLine, row.errorLine) << row.text.toStdString();
        EXPECT_EQ(read.error.isEmpty(), row.errorLine == 0) << row.text.toStdString();
        EXPECT_EQ(read.lastLineCut, row.lastLineCut) << row.text.toStdString();
    }
}

/// A space (and trash) that answers as told and notes what the journal held at
/// each step. The trash puts its files at /t/files/NAME.
class ScriptedSpace final : public RenameSpace, public TrashSpace
{
public:
    explicit ScriptedSpace(QString journal) : m_journal(std::move(journal)) {}
    std::int32_t Rename(const QByteArray& from, const QByteArray& to) override
    {
        seenAtRename.push_back(TempDir::read(m_journal));
        renamed.push_back({from, to});
        return answer;
    }
    bool Exists(const QByteArray& path) override { return existing.contains(path); }
    std::int32_t MoveToTrash(const QByteArray& path, const BeforeTrashMove& beforeMove) override
    {
        const QByteArray name = path.sliced(path.lastIndexOf('/') + 1);
        const TrashPlace place{"/t/files/" + name, "/t/info/" + name + ".trashinfo"};
        if (beforeMove && !beforeMove(place)) {
            return ErrNo::InvalidCall;
        }
        seenAtRename.push_back(TempDir::read(m_journal));
        renamed.push_back({path, place.file, JournalEntry::Kind::Trash, place.info});
        return answer;
    }
    std::int32_t Restore(const TrashPlace& place, const QByteArray& to) override
    {
        seenAtRename.push_back(TempDir::read(m_journal));
        renamed.push_back({place.file, to, JournalEntry::Kind::Restore, place.info});
        return answer;
    }

    std::int32_t answer = 0;
    QList<QByteArray> existing;
    std::vector<QByteArray> seenAtRename;
    std::vector<JournalEntry> renamed;

private:
    QString m_journal;
};

// Each rename's line is in the file before the rename is asked for; a rename that
// fails takes its line back; nothing is made until the first rename.
TEST(JournaledRenameSpace, WritesEachLineBeforeItsRenameAndTakesBackTheLineOfAFailedOne)
{
    TempDir dir;
    const QString path = dir.path(QStringLiteral("run.jsonl"));
    ScriptedSpace disk(path);
    JournaledRenameSpace journal(disk, NativePath(path), kHeader,
                                 JournaledRenameSpace::OnJournalFailure::Refuse);
    EXPECT_FALSE(QFile::exists(path));

    const JournalEntry first{"/m/1.mid", "/m/One.mid"};
    const JournalEntry second{"/m/2.mid", "/m/Two.mid"};
    const JournalEntry third{"/m/3.mid", "/m/Three.mid"};
    EXPECT_EQ(journal.Rename(first.from, first.to), 0);
    disk.answer = ErrNo::FileAlreadyExists;
    EXPECT_EQ(journal.Rename(second.from, second.to), ErrNo::FileAlreadyExists);
    disk.answer = 0;
    EXPECT_EQ(journal.Rename(third.from, third.to), 0);
    EXPECT_EQ(journal.close(), 0);

    ASSERT_EQ(disk.seenAtRename.size(), 3u);
    EXPECT_EQ(disk.seenAtRename[0], kHeader + JournalEntryLine(first));
    EXPECT_EQ(disk.seenAtRename[1], kHeader + JournalEntryLine(first) + JournalEntryLine(second));
    EXPECT_EQ(disk.seenAtRename[2], kHeader + JournalEntryLine(first) + JournalEntryLine(third));
    EXPECT_EQ(ReadJournal(TempDir::read(path)).entries, (std::vector<JournalEntry>{first, third}));
    EXPECT_EQ(journal.journaled(), 2);
}

// A move into the trash is journaled when its place is known and before the file
// moves, and a move out of it before the file moves back; a refused one takes its
// line back. Without a trash, neither is done.
TEST(JournaledRenameSpace, WritesTheTrashsLinesBeforeTheFileMovesAndTakesBackAFailedOnesLine)
{
    TempDir dir;
    const QString path = dir.path(QStringLiteral("run.jsonl"));
    ScriptedSpace disk(path);
    JournaledRenameSpace journal(disk, NativePath(path), kHeader,
                                 JournaledRenameSpace::OnJournalFailure::Refuse, &disk);
    const JournalEntry trashed{"/m/copy.mid", "/t/files/copy.mid", JournalEntry::Kind::Trash,
                               "/t/info/copy.mid.trashinfo"};
    const JournalEntry restored{"/t/files/copy.mid", "/m/copy.mid", JournalEntry::Kind::Restore,
                                "/t/info/copy.mid.trashinfo"};
    EXPECT_EQ(journal.MoveToTrash(trashed.from), 0);
    disk.answer = ErrNo::FileAlreadyExists;
    EXPECT_EQ(journal.Restore({restored.from, restored.info}, restored.to), ErrNo::FileAlreadyExists);
    disk.answer = 0;
    EXPECT_EQ(journal.Restore({restored.from, restored.info}, restored.to), 0);
    journal.close();
    ASSERT_EQ(disk.seenAtRename.size(), 3u);
    EXPECT_EQ(disk.seenAtRename[0], kHeader + JournalEntryLine(trashed));
    EXPECT_EQ(disk.seenAtRename[1], kHeader + JournalEntryLine(trashed) + JournalEntryLine(restored));
    EXPECT_EQ(ReadJournal(TempDir::read(path)).entries, (std::vector<JournalEntry>{trashed, restored}));
    EXPECT_EQ(journal.journaled(), 2);

    ScriptedSpace plainDisk(path);
    JournaledRenameSpace noTrash(plainDisk, NativePath(dir.path(QStringLiteral("other.jsonl"))), kHeader,
                                 JournaledRenameSpace::OnJournalFailure::Refuse);
    EXPECT_NE(noTrash.MoveToTrash("/m/copy.mid"), 0);
    EXPECT_TRUE(plainDisk.renamed.empty());
}

// A journal that cannot be made or written: no rename without its line, or (for the
// window, whose renames must not wait on their undo) renames without one; a file
// made whose header could not be written does not stay.
TEST(JournaledRenameSpace, AJournalThatCannotBeWrittenRefusesTheRenameOrLetsItGoOnAsTold)
{
    struct Row
    {
        const char* what;
        bool folderMissing; ///< else the file system is full from the first byte
        JournaledRenameSpace::OnJournalFailure onFailure;
        std::int32_t expected;
        int renames; ///< asked of the disk
    };
    using F = JournaledRenameSpace::OnJournalFailure;
    const Row rows[] = {
        {"no folder, refuse", true, F::Refuse, ErrNo::PathFileAccessError, 0},
        {"no folder, go on", true, F::RenameAnyway, 0, 2},
        {"full, refuse", false, F::Refuse, ErrNo::DiskFull, 0},
        {"full, go on", false, F::RenameAnyway, 0, 2},
    };
    for (const Row& row : rows) {
        TempDir dir;
        const QString path =
            dir.path(row.folderMissing ? QStringLiteral("gone/run.jsonl") : QStringLiteral("run.jsonl"));
        ScriptedSpace disk(path);
        JournaledRenameSpace journal(disk, NativePath(path), kHeader, row.onFailure);
        std::int32_t a = 0;
        std::int32_t b = 0;
        {
            std::optional<FullDisk> full;
            if (!row.folderMissing) {
                full.emplace(); // each write fails (EFBIG)
            }
            a = journal.Rename("/m/1.mid", "/m/One.mid");
            b = journal.Rename("/m/2.mid", "/m/Two.mid");
        }
        EXPECT_EQ(a, row.expected) << row.what;
        EXPECT_EQ(b, row.expected) << row.what;
        EXPECT_EQ(static_cast<int>(disk.renamed.size()), row.renames) << row.what;
        EXPECT_NE(journal.journalError(), 0) << row.what;
        EXPECT_EQ(journal.journaled(), 0) << row.what;
        EXPECT_FALSE(QFile::exists(path)) << row.what;
    }
}

// A line whose new name is absent while its old one is there was written by a run
// stopped before that step: the undo leaves it; every other line is taken back: a
// rename renamed back, a copy put back from the trash, a file put back from the
// trash moved into it again.
TEST(JournaledRenameSpace, UndoTakesAnEntryWhoseRenameNeverHappenedAsNeverDone)
{
    using Kind = JournalEntry::Kind;
    const JournalEntry rename{"/m/1.mid", "/m/One.mid"};
    const JournalEntry trash{"/m/copy.mid", "/t/files/copy.mid", Kind::Trash, "/t/info/copy.mid.trashinfo"};
    const JournalEntry restore{"/t/files/copy.mid", "/m/copy.mid", Kind::Restore,
                               "/t/info/copy.mid.trashinfo"};
    struct Row
    {
        JournalEntry entry;
        QList<QByteArray> existing;
        std::int32_t diskAnswer;
        UndoOutcome outcome;
        JournalEntry asked; ///< of the space or the trash; none when left
    };
    const Row rows[] = {
        {rename, {"/m/1.mid"}, 0, UndoOutcome::NeverDone, {}},
        {rename, {"/m/One.mid"}, 0, UndoOutcome::Done, {rename.to, rename.from}},
        {rename,
         {"/m/One.mid", "/m/1.mid"},
         ErrNo::FileAlreadyExists,
         UndoOutcome::Failed,
         {rename.to, rename.from}},
        {rename, {}, ErrNo::FileNotFound, UndoOutcome::Failed, {rename.to, rename.from}},
        {trash, {"/m/copy.mid"}, 0, UndoOutcome::NeverDone, {}},
        {trash, {"/t/files/copy.mid"}, 0, UndoOutcome::Done, restore},
        {trash, {}, ErrNo::FileNotFound, UndoOutcome::Failed, restore}, // the trash was emptied
        {restore, {"/t/files/copy.mid"}, 0, UndoOutcome::NeverDone, {}},
        {restore, {"/m/copy.mid"}, 0, UndoOutcome::Done, trash},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.entry.from.toStdString() + " " + row.existing.join(' ').toStdString());
        ScriptedSpace disk(QString{});
        disk.existing = row.existing;
        disk.answer = row.diskAnswer;
        const UndoResult undone = UndoJournalEntry(disk, disk, row.entry);
        EXPECT_EQ(undone.outcome, row.outcome);
        EXPECT_EQ(undone.error, row.diskAnswer);
        EXPECT_EQ(disk.renamed.size(), row.asked.from.isEmpty() ? 0u : 1u);
        if (!row.asked.from.isEmpty() && !disk.renamed.empty()) {
            EXPECT_EQ(disk.renamed[0], row.asked);
        }
    }
}

} // namespace
