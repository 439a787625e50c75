#include "rename/RenameJournal.h"

#include "QtPrint.h"

#include <gtest/gtest.h>

using namespace calvane;

namespace {

const QByteArray kHeader = JournalHeaderLine(QStringLiteral("2026-12-07T10:00:00Z"));

// Any bytes of a name come back as they went in, whatever the encoding.
TEST(RenameJournal, EntriesReadBackByteForByte)
{
    const std::vector<JournalEntry> entries = {
        {"/music/track01.mid", "/music/春の海.mid"},
        {"/music/\x8b\xc8.mid", "/music/曲.mid"},                          // a Shift_JIS name
        {"/\x83\x70\x83\x58/a \"b\"\\.mid", "/\x83\x70\x83\x58/c\nd.mid"}, // quotes, a line feed
        {"/m/\xff\xfe.mid", "/m/\x01.mid"},
    };
    QByteArray text = JournalHeaderLine(QStringLiteral("now"), "/state/\x8b\xc8.jsonl");
    for (const JournalEntry& e : entries) {
        text += JournalEntryLine(e);
    }
    EXPECT_EQ(text.count('\n'), 5);
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
    };
    for (const Row& row : rows) {
        const JournalRead read = ReadJournal(row.text);
        EXPECT_EQ(static_cast<qsizetype>(read.entries.size()), row.entries) << row.text.toStdString();
        EXPECT_EQ(read.errorLine, row.errorLine) << row.text.toStdString();
        EXPECT_EQ(read.error.isEmpty(), row.errorLine == 0) << row.text.toStdString();
        EXPECT_EQ(read.lastLineCut, row.lastLineCut) << row.text.toStdString();
    }
}

} // namespace
