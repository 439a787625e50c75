#include "midi/basMIDIInfo.h"

#include "Fakes.h"
#include "MidiBytes.h"
#include "StepReading.h"
#include "TempDir.h"
#include "Unreadable.h"
#include "platform/NativeFile.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <string_view>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace calvane;
using namespace calvane::test;

namespace {

MidiFileInfo info(std::int16_t format, std::int16_t tracks, std::int16_t division, const QString& title = {},
                  const QString& copyright = {})
{
    return MidiFileInfo{format, tracks, division, title, copyright};
}

} // namespace

namespace calvane {
void PrintTo(const MidiFileInfo& i, std::ostream* os)
{
    *os << "{" << i.Format << ", " << i.Tracks << ", " << i.Division << ", \"" << i.Title.toStdString()
        << "\", \"" << i.Copyright.toStdString() << "\"}";
}
} // namespace calvane

namespace {

TEST(ParseMIDIInfo, WorkedExample)
{
    const QByteArray file = hex("4D546864 00000006 0001 0002 01E0") +
                            hex("4D54726B 0000000C 00 FF03 04 536F6E67 00 FF2F00") + track(kEndOfTrack);
    EXPECT_EQ(ParseMIDIInfo(file), info(1, 2, 480, QStringLiteral("Song")));
}

TEST(ParseMIDIInfo, FilesWithoutAUsableHeaderGiveTheEmptyRecord)
{
    EXPECT_EQ(ParseMIDIInfo(QByteArray()), MidiFileInfo{});
    EXPECT_EQ(ParseMIDIInfo(QByteArray("RIFF....some other data")), MidiFileInfo{});
    // A header cut short: 13 bytes from "MThd" on.
    EXPECT_EQ(ParseMIDIInfo(header(1, 2, 480).first(13)), MidiFileInfo{});
    // Exactly 14 bytes are enough for the numbers.
    EXPECT_EQ(ParseMIDIInfo(header(1, 2, 480)), info(1, 2, 480));
}

TEST(ParseMIDIInfo, HeaderNumbersAreSigned16Bit)
{
    // SMPTE division E7 28 (-25 fps, 40 ticks per frame), and a format/track count with the top bit set.
    EXPECT_EQ(ParseMIDIInfo(header(0, 1, 0xE728) + track(kEndOfTrack)).Division, -6360);
    const MidiFileInfo big = ParseMIDIInfo(header(0x8000, 0xFFFF, 0x7FFF));
    EXPECT_EQ(big.Format, -32768);
    EXPECT_EQ(big.Tracks, -1);
    EXPECT_EQ(big.Division, 32767);
}

TEST(ParseMIDIInfo, HeaderWithoutTrackGivesTheNumbersAndEmptyTexts)
{
    EXPECT_EQ(ParseMIDIInfo(header(1, 3, 96) + meta(0x03, "Lost")), info(1, 3, 96));
}

TEST(ParseMIDIInfo, TheEarlierOfTextEventAndTrackNameWins)
{
    const QByteArray textFirst =
        header(1, 1, 480) + track(meta(0x01, "Text") + meta(0x03, "Name") + kEndOfTrack);
    EXPECT_EQ(ParseMIDIInfo(textFirst).Title, QStringLiteral("Text"));
    const QByteArray nameFirst =
        header(1, 1, 480) + track(meta(0x03, "Name") + meta(0x01, "Text") + kEndOfTrack);
    EXPECT_EQ(ParseMIDIInfo(nameFirst).Title, QStringLiteral("Name"));
}

TEST(ParseMIDIInfo, OnlyTheFirstTrackCounts)
{
    // No title in the first track, a track name in the second: no title, no fall-back.
    const QByteArray file = header(1, 2, 480) + track(kEndOfTrack) +
                            track(meta(0x03, "Second") + meta(0x02, "(c) Later") + kEndOfTrack);
    EXPECT_EQ(ParseMIDIInfo(file), info(1, 2, 480));

    // Copyright only after the second "MTrk" is empty while the title is still found.
    const QByteArray both = header(1, 2, 480) + track(meta(0x03, "First") + kEndOfTrack) +
                            track(meta(0x02, "(c) Later") + kEndOfTrack);
    EXPECT_EQ(ParseMIDIInfo(both), info(1, 2, 480, QStringLiteral("First")));

    // With a single "MTrk" the search runs to the end of the file, past the track's stated length.
    const QByteArray single =
        header(0, 1, 480) + track(kEndOfTrack) + meta(0x02, "(c) Tail") + meta(0x01, "T");
    EXPECT_EQ(ParseMIDIInfo(single), info(0, 1, 480, QStringLiteral("T"), QStringLiteral("(c) Tail")));
}

TEST(ParseMIDIInfo, MarkersAreSearchedAsPlainBytes)
{
    // Bytes before "MThd" (a RIFF wrapper) are skipped; "MTrk" is searched from offset 0.
    const QByteArray riff = QByteArray("RIFF\x10\x00\x00\x00RMIDdata", 16) + header(0, 1, 96) +
                            track(meta(0x03, "Wrapped") + meta(0x02, "C") + kEndOfTrack);
    EXPECT_EQ(ParseMIDIInfo(riff), info(0, 1, 96, QStringLiteral("Wrapped"), QStringLiteral("C")));

    // A delta time 8F FF followed by a status byte 03 before the real track name: that
    // FF 03 pair is the prefix and the byte after it (00) the length, so the title is empty.
    const QByteArray delta = header(0, 1, 96) + track(hex("8F FF 03 00 FF 03 04") + "Real" + kEndOfTrack);
    EXPECT_EQ(ParseMIDIInfo(delta).Title, QString());

    const QByteArray lengthLooksLikePrefix = header(0, 1, 96) + track(hex("FF 03 02") + "AB" + kEndOfTrack);
    EXPECT_EQ(ParseMIDIInfo(lengthLooksLikePrefix).Title, QStringLiteral("AB"));
}

struct CountCase
{
    const char* name;
    QByteArray events; ///< the first track's bytes, from the prefix on
    QString title;
};

class MetaTextCount : public ::testing::TestWithParam<CountCase>
{};

// A text's count: one byte below 0x80, or a variable-length quantity of two to
// four bytes whose text fits the file; anything else (five bytes, a text past the
// end, count bytes cut off) takes the first count byte as the length.
TEST_P(MetaTextCount, ReadsTheTextItCounts)
{
    const CountCase& c = GetParam();
    const QByteArray file = header(0, 1, 96) + track(c.events);
    EXPECT_EQ(ParseMIDIInfo(file).Title, c.title);
    EXPECT_EQ(ReadBySteps(std::string_view(file.constData(), file.size())).info.Title, c.title);
    const QByteArray copyright =
        header(0, 1, 96) + track(meta(0x03, "T") + c.events.sliced(1).replace(0, 2, "\xff\x02"));
    EXPECT_EQ(ParseMIDIInfo(copyright).Copyright, c.title) << "the copyright's count alike";
}

const QByteArray kText(300, 'x');
const QByteArray kNinetyKanji = QByteArray("\x92\xb7").repeated(90); // 180 bytes in Shift_JIS

INSTANTIATE_TEST_SUITE_P(
    Counts, MetaTextCount,
    ::testing::Values(
        CountCase{"OneByte", hex("00 FF 03 05") + "Hello" + kEndOfTrack, QStringLiteral("Hello")},
        CountCase{"OneByteCutOff", hex("00 FF 03 7F") + "short", QStringLiteral("short")},
        CountCase{"Empty", hex("00 FF 03 00") + kEndOfTrack, QString()},
        CountCase{"TwoBytes", hex("00 FF 03 81 00") + kText, QString(128, u'x')},
        CountCase{"TwoBytesNinetyKanji", hex("00 FF 03 81 34") + kNinetyKanji + kEndOfTrack,
                  QString(90, u'長')},
        CountCase{"ThreeBytes", hex("00 FF 03 80 82 2C") + kText + kEndOfTrack, QString(300, u'x')},
        CountCase{"FourBytes", hex("00 FF 03 80 80 82 2C") + kText, QString(300, u'x')},
        CountCase{"FiveBytesAreNoCount", hex("00 FF 03 81 81 81 81 05") + kText,
                  QStringLiteral("＝\uFFFD\u0005") + QString(125, u'x')}, // 81 81 is "＝" in Shift_JIS
        CountCase{"TextPastTheEnd", hex("00 FF 03 81 00") + "short",
                  QString(QChar(u'\0')) + QStringLiteral("short")},
        CountCase{"CountCutOff", hex("00 FF 03 81"), QString()},
        CountCase{"CountMissing", hex("00 FF 03"), QString()}),
    [](const ::testing::TestParamInfo<CountCase>& info) { return std::string(info.param.name); });

TEST(ParseMIDIInfo, TextsAreKeptAsTheyAre)
{
    // "  曲名 " with blanks around it, and a NUL inside the copyright.
    const QByteArray file = header(1, 1, 480) + track(meta(0x03, hex("20 20 8BC8 96BC 20")) +
                                                      meta(0x02, QByteArray("(C)\0X", 5)));
    const MidiFileInfo i = ParseMIDIInfo(file);
    EXPECT_EQ(i.Title, QString::fromUtf16(u"  曲名 "));
    EXPECT_EQ(i.Copyright, QString::fromUtf16(u"(C)\0X", 5));
}

// Well-formed UTF-8 with a character beyond ASCII is UTF-8; anything else code page 932.
TEST(DecodeMetaText, Utf8WhenTheBytesAreUtf8BeyondAsciiElseShiftJis)
{
    struct Row
    {
        const char* bytes;
        const char16_t* text;
    };
    const Row rows[] = {
        {"8BC8 96BC", u"曲名"},              // Shift_JIS: 8B is no UTF-8 lead byte
        {"E698A5 E381AE E6B5B7", u"春の海"}, // UTF-8
        {"4CC3B37065 7A", u"López"},         // UTF-8, not "Lﾃｳpez"
        {"536F6E67", u"Song"},               // ASCII reads alike either way
        {"E698A5 00", u"春"},                // a C string's NUL is ASCII (checked below)
        {"F09F8EB5", u"\U0001F3B5"},         // four bytes: a surrogate pair
        {"C3BD", u"ý"},                      // half-width "ﾃｽ" in pairs: UTF-8 wins
        {"CFB2 20 D2B2", u"ϲ Ҳ"},            // "ﾏｲ ﾒｲ" likewise
        {"C3BD C4", u"ﾃｽﾄ"},                 // a kana without its pair: Shift_JIS
        {"C0AF", u"ﾀｯ"},                     // an overlong form is no UTF-8
        {"EDA080", u"恝\u0080"},             // nor is a surrogate
        {"E69B", u"譖"},                     // a UTF-8 character cut short by the count
    };
    for (const Row& row : rows) {
        const QByteArray bytes = hex(row.bytes);
        QString expected = QString::fromUtf16(row.text);
        if (bytes.endsWith('\0')) {
            expected += QChar(u'\0');
        }
        EXPECT_EQ(DecodeMetaText(bytes), expected) << row.bytes;
        EXPECT_EQ(ParseMIDIInfo(header(0, 1, 96) + track(meta(0x03, bytes) + meta(0x02, bytes))),
                  info(0, 1, 96, expected, expected))
            << row.bytes;
    }
}

struct ReadingCase
{
    const char* bytes;
    TextEncoding encoding;
    const char16_t* text;
    bool mayBeEucJp;
};

class TitleReading : public ::testing::TestWithParam<ReadingCase>
{};

// Each reading of a title's bytes, and where the code page 932 reading may really
// be EUC-JP: a hint only, the reading stays.
TEST_P(TitleReading, ReadsInTheEncodingAndHintsAtEucJp)
{
    const ReadingCase& c = GetParam();
    const QByteArray bytes = hex(c.bytes);
    EXPECT_EQ(DecodeMetaText(bytes, c.encoding), QString::fromUtf16(c.text));
    EXPECT_EQ(MayBeEucJp(bytes, c.encoding), c.mayBeEucJp);
    TempDir dir;
    const QString path =
        dir.write(QStringLiteral("t.mid"), header(0, 1, 96) + track(meta(0x03, bytes) + meta(0x02, bytes)));
    const MidiInfoRead read =
        ReadMIDIInfo(NativePath(path), 1 << 20, MidiTexts::TitleAndCopyright, c.encoding);
    EXPECT_EQ(read.info.Title, QString::fromUtf16(c.text));
    EXPECT_EQ(read.info.Copyright, QString::fromUtf16(c.text));
    EXPECT_EQ(read.titleBytes, bytes);
}

using E = TextEncoding;
INSTANTIATE_TEST_SUITE_P(Encodings, TitleReading,
                         ::testing::Values(
                             // 春の海 in EUC-JP: half-width katakana in Shift_JIS, hence the hint.
                             ReadingCase{"BDD5 A4CE B3A4", E::Auto, u"ｽﾕ､ﾎｳ､", true},
                             ReadingCase{"BDD5 A4CE B3A4", E::Cp932, u"ｽﾕ､ﾎｳ､", true},
                             ReadingCase{"BDD5 A4CE B3A4", E::EucJp, u"春の海", false},
                             ReadingCase{"BDD5 A4CE B3A4", E::Cp1252, u"½Õ¤Î³¤", false},
                             ReadingCase{"BDD5 A4CE B3A4", E::Utf8, u"\uFFFD\u0564\u03B3\uFFFD", false},
                             // "Ténor Café" in CP1252: no hint, it is no EUC-JP.
                             ReadingCase{"54E96E6F72 20 436166E9", E::Auto, u"T駭or Caf\uFFFD", false},
                             ReadingCase{"54E96E6F72 20 436166E9", E::Cp1252, u"Ténor Café", false},
                             ReadingCase{"54E96E6F72 20 436166E9", E::EucJp, u"T\uFFFDnor Caf\uFFFD", false},
                             // Half-width katakana that is no EUC-JP ("ﾃｽﾄ": C4 has no pair): no hint.
                             ReadingCase{"C3BD C4", E::Auto, u"ﾃｽﾄ", false},
                             // Shift_JIS and UTF-8 kanji: never a hint.
                             ReadingCase{"8F74 82CC 8A43", E::Auto, u"春の海", false},
                             ReadingCase{"8F74 82CC 8A43", E::Cp932, u"春の海", false},
                             ReadingCase{"E698A5 E381AE E6B5B7", E::Auto, u"春の海", false},
                             ReadingCase{"E698A5 E381AE E6B5B7", E::Utf8, u"春の海", false},
                             ReadingCase{"8FB0A1", E::EucJp, u"丂", false}, // the three-byte plane of EUC-JP
                             ReadingCase{"536F6E67", E::EucJp, u"Song", false},
                             ReadingCase{"81 8D", E::Cp1252, u"\uFFFD\uFFFD", false}, // undefined in CP1252
                             ReadingCase{"A4", E::EucJp, u"\uFFFD", false}));         // cut off

TEST(TextEncodingName, NamesReadBackInAnyCase)
{
    for (const E e : {E::Auto, E::Cp932, E::Utf8, E::EucJp, E::Cp1252}) {
        EXPECT_EQ(TextEncodingFromName(TextEncodingName(e)), e);
        EXPECT_EQ(TextEncodingFromName(TextEncodingName(e).toUpper()), e);
    }
    EXPECT_FALSE(TextEncodingFromName("shift_jis").has_value());
    EXPECT_FALSE(TextEncodingFromName("").has_value());
}

TEST(GetMIDIInfo, ReadsAFile)
{
    TempDir dir;
    const QString file = dir.write(QStringLiteral("song.mid"), header(1, 1, 480) + track(meta(0x03, "Tune")));
    FakeMessageBoxes boxes;
    FakeErrorReporter reporter;
    EXPECT_EQ(GetMIDIInfo(file, boxes, reporter), info(1, 1, 480, QStringLiteral("Tune")));
    EXPECT_TRUE(boxes.shown.empty());
}

TEST(GetMIDIInfo, MissingHiddenAndUnreadableFilesShowTheMessageAndGiveTheEmptyRecord)
{
    TempDir dir;
    const QString hidden = dir.write(QStringLiteral(".hidden.mid"), header(1, 1, 480));
    // A FIFO and a device count as missing and do not block: there is no file to read.
    const QString fifo = dir.path(QStringLiteral("pipe.mid"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QStringList paths{dir.path(QStringLiteral("missing.mid")), hidden, dir.root(), fifo,
                            QStringLiteral("/dev/zero")};
    for (const QString& path : paths) {
        FakeMessageBoxes boxes;
        FakeErrorReporter reporter;
        EXPECT_EQ(GetMIDIInfo(path, boxes, reporter), MidiFileInfo{}) << path.toStdString();
        ASSERT_EQ(boxes.shown.size(), 1u) << path.toStdString();
        EXPECT_EQ(boxes.shown[0].text, QStringLiteral("MIDI情報の取得に失敗しました"));
        EXPECT_EQ(boxes.shown[0].caption, QStringLiteral("GetMIDIInfo"));
        EXPECT_EQ(boxes.shown[0].icon, MsgIcon::Critical);
        EXPECT_EQ(boxes.shown[0].buttons, MsgButtons::Ok);
        EXPECT_TRUE(reporter.reports.empty());
    }
}

TEST(GetMIDIInfoDeathTest, AFileThatCannotBeOpenedShowsTheSameMessageAndGivesTheEmptyRecord)
{
    TempDir dir;
    const QString locked = WriteLockedFile(dir, QStringLiteral("locked.mid"), header(1, 1, 480));
    EXPECT_EQ(ReadMIDIInfo(NativePath(dir.path(QStringLiteral("none.mid")))).error, 53);
    EXPECT_EXIT(
        {
            if (!GiveUpRoot()) {
                std::_Exit(2);
            }
            FakeMessageBoxes boxes;
            FakeErrorReporter reporter;
            const bool empty = GetMIDIInfo(locked, boxes, reporter) == MidiFileInfo{};
            const bool box =
                boxes.shown.size() == 1 && boxes.shown[0].caption == QStringLiteral("GetMIDIInfo");
            std::_Exit(
                empty && box && reporter.reports.empty() && ReadMIDIInfo(NativePath(locked)).error == 75 ? 0
                                                                                                         : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

// The file is read in bounded pieces: whatever their size, markers, prefixes,
// header numbers and texts that cross the end of a piece read as from memory.
TEST(ReadMIDIInfo, AnyPieceSizeReadsAsTheWholeBuffer)
{
    TempDir dir;
    const QByteArray files[] = {
        hex("4D546864 00000006 0001 0002 01E0 4D54726B 0000000C 00 FF03 04 536F6E67 00 FF2F00") +
            track(kEndOfTrack),
        QByteArray("RIFF\x10\x00\x00\x00RMIDdata", 16) + header(0, 1, 96) +
            track(meta(0x02, "(c) C") + meta(0x01, "Wrapped") + kEndOfTrack),
        header(1, 2, 480) + track(kEndOfTrack) + track(meta(0x03, "Second") + kEndOfTrack),
        header(1, 2, 480) + track(meta(0x03, "First") + kEndOfTrack) + track(meta(0x02, "(c) Later")),
        header(0, 1, 96) + track(hex("8F FF 03 00 FF 03 04") + "Real" + kEndOfTrack),
        header(0, 1, 96) + track(hex("00 FF 03 81") + QByteArray(200, 'x')),
        header(0, 1, 96) + track(hex("00 FF 03 81 34") + QByteArray(180, 'x') + meta(0x02, "(c)")),
        header(0, 1, 96) + track(meta(0x01, "T") + hex("00 FF 02 80 80 82 2C") + QByteArray(300, 'c')),
        header(0, 1, 96) + track(hex("00 FF 03 83 80") + QByteArray(200, 'x')), // past the end
        header(0, 1, 96) + track(hex("00 FF 01 02 FF")),                        // the text runs into the end
        header(0, 1, 96) + track(hex("00 FF 03")),
        header(1, 3, 96) + meta(0x03, "Lost"),
        header(1, 2, 480).first(13),
        QByteArray("MThMThdMTr"),
        QByteArray(),
    };
    for (qsizetype i = 0; i < qsizetype(std::size(files)); ++i) {
        const QByteArray& bytes = files[i];
        const QString path = dir.write(QStringLiteral("f%1.mid").arg(i), bytes);
        const StepReading expected = ReadBySteps(std::string_view(bytes.constData(), bytes.size()));
        EXPECT_EQ(ParseMIDIInfo(bytes), expected.info) << i;
        for (const qint64 piece : {1, 2, 3, 4, 5, 7, 13, 64, 1 << 20}) {
            const MidiInfoRead read = ReadMIDIInfo(NativePath(path), piece);
            EXPECT_EQ(read.error, 0) << i << " piece " << piece;
            EXPECT_EQ(read.info, expected.info) << i << " piece " << piece;
            EXPECT_EQ(read.hasHeader, expected.hasHeader) << i << " piece " << piece;
            const MidiInfoRead title = ReadMIDIInfo(NativePath(path), piece, MidiTexts::TitleOnly);
            EXPECT_EQ(title.info, MidiFileInfo({expected.info.Format,
                                                expected.info.Tracks,
                                                expected.info.Division,
                                                expected.info.Title,
                                                {}}))
                << i << " piece " << piece;
        }
    }
}

/// A sparse file of the given size holding the given bytes at their offsets.
QString sparseFile(const TempDir& dir, const QString& name, qint64 size,
                   const std::vector<std::pair<qint64, QByteArray>>& parts)
{
    const QString path = dir.path(name);
    const int fd = ::open(QFile::encodeName(path).constData(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
    EXPECT_GE(fd, 0);
    EXPECT_EQ(::ftruncate(fd, size), 0);
    for (const auto& [offset, bytes] : parts) {
        EXPECT_EQ(::pwrite(fd, bytes.constData(), static_cast<size_t>(bytes.size()), offset), bytes.size());
    }
    ::close(fd);
    return path;
}

long peakResidentKib()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// Four gibibytes, nearly all of them a hole: the reader finds what lies beyond the
// hole, at offsets past 32 bits, without taking the file into memory.
TEST(ReadMIDIInfo, ASparseFileOfFourGibibytesIsReadWithoutLoadingIt)
{
    TempDir dir;
    const qint64 far = (qint64{4} << 30) + 7;
    const QByteArray song = header(1, 1, 480) + track(meta(0x03, "Late") + kEndOfTrack);
    const QString titleBeyond = sparseFile(
        dir, QStringLiteral("beyond.mid"), far + 64,
        {{0, header(1, 2, 96) + "MTrk"}, {far, meta(0x03, "Far") + meta(0x02, "(c)") + kEndOfTrack}});
    const QString allBeyond = sparseFile(dir, QStringLiteral("late.mid"), far + song.size(), {{far, song}});
    const QString nothing = sparseFile(dir, QStringLiteral("hole.mid"), far, {});

    const long before = peakResidentKib();
    const MidiInfoRead beyond = ReadMIDIInfo(NativePath(titleBeyond));
    EXPECT_EQ(beyond.error, 0);
    EXPECT_EQ(beyond.info, info(1, 2, 96, QStringLiteral("Far"), QStringLiteral("(c)")));
    const MidiInfoRead late = ReadMIDIInfo(NativePath(allBeyond));
    EXPECT_EQ(late.info, info(1, 1, 480, QStringLiteral("Late")));
    const MidiInfoRead hole = ReadMIDIInfo(NativePath(nothing));
    EXPECT_EQ(hole.error, 0);
    EXPECT_FALSE(hole.hasHeader);
    EXPECT_LT(peakResidentKib() - before, 256 * 1024) << "the file was taken into memory";

    FakeMessageBoxes boxes;
    FakeErrorReporter reporter;
    EXPECT_EQ(GetMIDIInfo(allBeyond, boxes, reporter).Title, QStringLiteral("Late"));
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_TRUE(reporter.reports.empty());
}

} // namespace
