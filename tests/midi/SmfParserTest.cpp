#include "midi/SmfParser.h"

#include "MidiBytes.h"
#include "TempDir.h"
#include "platform/NativeFile.h"

#include <QDirIterator>

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <malloc.h>

using namespace calvane;
using namespace calvane::test;
using ::testing::ElementsAre;

namespace {

/// An event of a song as the output gets it.
struct Played
{
    std::int64_t timeUs;
    QByteArray bytes;
};

/// The song's events in the order they play, read through with a cursor (the tempo
/// changes left out).
std::vector<Played> eventsOf(const SmfSong& song)
{
    std::vector<Played> out;
    for (SmfCursor cursor(song); const SmfEvent* e = cursor.peek(); cursor.advance()) {
        if (e->kind == SmfEvent::Kind::Tempo) {
            continue;
        }
        const auto bytes = e->kind == SmfEvent::Kind::Message
                               ? std::span<const std::uint8_t>(e->message, e->messageSize)
                               : e->sysex;
        out.push_back({e->timeUs, QByteArray(reinterpret_cast<const char*>(bytes.data()),
                                             static_cast<qsizetype>(bytes.size()))});
    }
    return out;
}

/// Each event as "time: hex bytes".
std::vector<std::string> timeline(const SmfSong& song)
{
    std::vector<std::string> out;
    for (const Played& e : eventsOf(song)) {
        out.push_back(std::to_string(e.timeUs) + ": " + e.bytes.toHex(' ').toStdString());
    }
    return out;
}

SmfSong parse(const QByteArray& bytes)
{
    std::optional<SmfSong> song = ParseSmf(bytes);
    EXPECT_TRUE(song.has_value());
    return song.value_or(SmfSong{});
}

TEST(ParseSmf, TempoChangesGiveTimesLengthAndTempo)
{
    const SmfSong song = parse(tempoChangeSong());
    EXPECT_EQ(song.lengthUs, 6'000'000);
    ASSERT_EQ(eventsOf(song).size(), 16u);
    EXPECT_EQ(eventsOf(song)[1].timeUs, 500'000);   // first note off: a quarter at 120 BPM
    EXPECT_EQ(eventsOf(song)[8].timeUs, 2'000'000); // fifth note on
    EXPECT_EQ(eventsOf(song)[9].timeUs, 3'000'000); // a quarter at 60 BPM
    EXPECT_EQ(song.TempoAt(0), 120);
    EXPECT_EQ(song.TempoAt(1'999'999), 120);
    EXPECT_EQ(song.TempoAt(2'000'000), 60);
    EXPECT_EQ(song.TempoAt(6'000'000), 60);
}

TEST(ParseSmf, SmpteDivisionRunsAtItsFrameRate)
{
    const SmfSong song = parse(smpteSong());
    EXPECT_EQ(song.lengthUs, 6'000'000);
    EXPECT_EQ(song.smpteFramesPerSecond, 25);
    EXPECT_EQ(song.TempoAt(0), 120);
    EXPECT_THAT(timeline(song), ElementsAre("0: 90 3c 64", "6000000: 80 3c 40"));

    // 29 is 29.97 frames per second: 30 frames of 1 tick last 1001 ms; tempo events do not
    // time the song but still give its beats per minute.
    const SmfSong drop =
        parse(header(0, 1, 0xE301) + track(tempoEvent(0, 250000) + event(30, "903C64") + kEndOfTrack));
    EXPECT_EQ(eventsOf(drop)[0].timeUs, 1'001'000);
    EXPECT_EQ(drop.TempoAt(0), 240);
}

TEST(ParseSmf, NoTempoEventMeans120Bpm)
{
    const SmfSong song = parse(header(0, 1, 96) + track(event(96, "903C64") + kEndOfTrack));
    EXPECT_EQ(eventsOf(song)[0].timeUs, 500'000);
    EXPECT_EQ(song.TempoAt(0), 120);
    // 60e6 / 461539 = 129.99993: the nearest whole number.
    EXPECT_EQ(parse(header(0, 1, 96) + track(tempoEvent(0, 461539) + kEndOfTrack)).TempoAt(0), 130);
}

TEST(ParseSmf, RunningStatusAlsoAcrossMetaAndSystemExclusive)
{
    const SmfSong song =
        parse(header(0, 1, 1000) + track(event(0, "903C64") + event(0, "3E64") + event(0, "FF0100") +
                                         event(0, "4064") + event(0, "F003 7E7FF7") + event(0, "4300") +
                                         event(0, "C005") + event(0, "06") + kEndOfTrack));
    EXPECT_THAT(timeline(song), ElementsAre("0: 90 3c 64", "0: 90 3e 64", "0: 90 40 64", "0: f0 7e 7f f7",
                                            "0: 90 43 00", "0: c0 05", "0: c0 06"));
}

TEST(ParseSmf, SystemExclusiveIsWholeAndEscapesBeginWithAStatus)
{
    struct Case
    {
        const char* what;
        QByteArray events;
        std::vector<std::string> timeline;
    };
    const Case cases[] = {
        {"whole in one packet", event(0, "F005 7E7F0901F7"), {"0: f0 7e 7f 09 01 f7"}},
        {"split: one message at the time of its last packet",
         event(0, "F003 431200") + event(10, "F703 431200") + event(0, "FF0100") + event(10, "F704 431200F7"),
         {"10000: f0 43 12 00 43 12 00 43 12 00 f7"}},
        {"split into escapes, the first with the F0",
         event(0, "F703 F04312") + event(5, "F702 00F7"),
         {"2500: f0 43 12 00 f7"}},
        {"an escape with nothing open: its bytes",
         event(0, "F701 F6") + event(0, "F702 903C"),
         {"0: f6", "0: 90 3c"}},
        {"an escape of data bytes alone, of an end alone, or of none: nothing",
         event(0, "F702 3C40") + event(0, "F701 F7") + event(0, "F700"),
         {}},
        {"cut off by a channel message",
         event(0, "F002 4312") + event(5, "903C64") + event(0, "F701 F7"),
         {"2500: 90 3c 64"}},
        {"cut off by a new message", event(0, "F002 4312") + event(5, "F003 7E7FF7"), {"2500: f0 7e 7f f7"}},
        {"never ended in its track", event(0, "F002 4312") + event(5, "F701 10"), {}},
    };
    for (const Case& c : cases) {
        const SmfSong song = parse(header(0, 1, 1000) + track(c.events + kEndOfTrack));
        EXPECT_EQ(timeline(song), c.timeline) << c.what;
    }
    // An open message does not reach into the next track.
    EXPECT_THAT(timeline(parse(header(1, 2, 1000) + track(event(0, "F002 4312") + kEndOfTrack) +
                               track(event(0, "F701 F7") + event(0, "F701 F6") + kEndOfTrack))),
                ElementsAre("0: f6"));
}

TEST(ParseSmf, ChunkLengthsAreHonouredAndOtherChunksSkipped)
{
    // The first track has no end of track: only its chunk length ends it. Read on, the
    // "Junk" chunk after it would give a note (delta 'J', running status, 'u', 'n').
    const QByteArray junk = QByteArray("Junk") + hex("00000004") + hex("FFFFFFFF");
    const SmfSong song = parse(header(1, 2, 1000) + junk + track(event(0, "903C64")) + junk +
                               track(event(2000, "913C64") + kEndOfTrack));
    EXPECT_THAT(timeline(song), ElementsAre("0: 90 3c 64", "1000000: 91 3c 64"));
    EXPECT_EQ(song.lengthUs, 1'000'000);

    // A header chunk longer than six bytes: the tracks start after it.
    const QByteArray longHeader = hex("4D546864 00000008 0000 0001 03E8 ABCD");
    EXPECT_THAT(timeline(parse(longHeader + track(event(0, "903C64") + kEndOfTrack))),
                ElementsAre("0: 90 3c 64"));
}

TEST(ParseSmf, FormatOneMergesTracksUnderTheFirstTracksTempo)
{
    const QByteArray conductor = track(tempoEvent(0, 1'000'000) + kEndOfTrack);
    const QByteArray a = track(event(0, "C000") + event(480, "903C64") + kEndOfTrack);
    const QByteArray b = track(event(480, "913E64") + event(480, "813E40") + kEndOfTrack);
    const SmfSong song = parse(header(1, 3, 480) + conductor + a + b);
    EXPECT_THAT(timeline(song),
                ElementsAre("0: c0 00", "1000000: 90 3c 64", "1000000: 91 3e 64", "2000000: 81 3e 40"));
    EXPECT_EQ(song.TempoAt(0), 60);
}

TEST(ParseSmf, FormatTwoPlaysItsFirstTrack)
{
    const SmfSong song = parse(header(2, 2, 480) + track(event(0, "903C64") + kEndOfTrack) +
                               track(event(0, "913C64") + event(4800, "813C40") + kEndOfTrack));
    EXPECT_THAT(timeline(song), ElementsAre("0: 90 3c 64"));
    EXPECT_EQ(song.lengthUs, 0);
}

TEST(ParseSmf, TheHeadersTrackCountLimitsTheTracks)
{
    const QByteArray tracks =
        track(event(0, "903C64") + kEndOfTrack) + track(event(0, "913C64") + kEndOfTrack);
    EXPECT_EQ(eventsOf(parse(header(1, 1, 480) + tracks)).size(), 1u);
    EXPECT_EQ(eventsOf(parse(header(1, 5, 480) + tracks)).size(), 2u);
    EXPECT_EQ(eventsOf(parse(header(1, 0, 480) + tracks)).size(), 0u);
}

TEST(ParseSmf, LengthIsTheLastEventOfAnyKind)
{
    // A text event and the end of track count as events.
    EXPECT_EQ(
        parse(header(0, 1, 1000) + track(event(0, "903C64") + event(500, "FF0100") + kEndOfTrack)).lengthUs,
        250'000);
    EXPECT_EQ(parse(header(0, 1, 1000) + track(event(0, "903C64") + event(700, "FF2F00"))).lengthUs, 350'000);
}

TEST(ParseSmf, WhatCannotBeAStandardMidiFileIsRefused)
{
    const QByteArray body = track(event(0, "903C64") + kEndOfTrack);
    EXPECT_FALSE(ParseSmf(QByteArray()));
    EXPECT_FALSE(ParseSmf(QByteArray("just some text")));
    EXPECT_FALSE(ParseSmf(header(0, 1, 480).first(13)));
    EXPECT_FALSE(ParseSmf(QByteArray("xx") + header(0, 1, 480) + body)); // the header must come first
    EXPECT_FALSE(ParseSmf(hex("4D546864 00000005 0000 0001 01E0") + body));
    EXPECT_FALSE(ParseSmf(header(3, 1, 480) + body));
    EXPECT_FALSE(ParseSmf(header(0, 1, 0) + body));
    EXPECT_FALSE(ParseSmf(header(0, 1, 0xE900) + body)); // 23 frames per second
    EXPECT_FALSE(ParseSmf(header(0, 1, 0xE700) + body)); // 0 ticks per frame
    EXPECT_FALSE(ParseSmf(QByteArray("RIFF\x10\0\0\0WAVEdata", 16) + header(0, 1, 480) + body));
    EXPECT_TRUE(ParseSmf(header(0, 1, 480)));
}

TEST(ParseSmf, RiffMidiFilesPlayTheirDataChunk)
{
    const QByteArray smf = header(0, 1, 1000) + track(event(10, "903C64") + kEndOfTrack);
    auto le32 = [](unsigned n) {
        QByteArray b;
        for (int shift : {0, 8, 16, 24}) {
            b += static_cast<char>((n >> shift) & 0xFF);
        }
        return b;
    };
    const QByteArray info = QByteArray("LIST") + le32(3) + "abc" + QByteArray(1, '\0'); // odd: padded
    const QByteArray riff = QByteArray("RIFF") +
                            le32(4 + static_cast<unsigned>(info.size() + 8 + smf.size())) + "RMID" + info +
                            "data" + le32(static_cast<unsigned>(smf.size())) + smf;
    EXPECT_THAT(timeline(parse(riff)), ElementsAre("5000: 90 3c 64"));
}

TEST(ParseSmf, DamagedTracksPlayWhatCameBefore)
{
    const QByteArray good = event(0, "903C64") + event(100, "803C40");
    auto firstTrack = [&](const QByteArray& damage) {
        return timeline(parse(header(0, 1, 1000) + track(good + damage + event(0, "903E64") + kEndOfTrack)));
    };
    const std::vector<std::string> before{"0: 90 3c 64", "50000: 80 3c 40"};
    EXPECT_EQ(firstTrack(event(0, "F1 00")), before);         // system common message
    EXPECT_EQ(firstTrack(event(0, "FE")), before);            // real-time message
    EXPECT_EQ(firstTrack(event(0, "90 3C F0")), before);      // a status where data belongs
    EXPECT_EQ(firstTrack(hex("FFFFFFFF7F")), before);         // delta time of five bytes
    EXPECT_EQ(firstTrack(event(0, "FF01 FFFFFF7F")), before); // meta event longer than the chunk
    EXPECT_EQ(firstTrack(event(0, "F0 FFFFFF7F")), before);   // system exclusive longer than the chunk

    // Data without any status first, and a track cut inside an event.
    EXPECT_TRUE(eventsOf(parse(header(0, 1, 1000) + track(event(0, "3C64") + kEndOfTrack))).empty());
    EXPECT_EQ(timeline(parse(header(0, 1, 1000) + track(good + event(0, "90")))), before);
    // A chunk length beyond the file: read to the file's end.
    QByteArray cut = header(0, 1, 1000) + track(good + kEndOfTrack);
    cut.truncate(cut.size() - 4);
    EXPECT_EQ(timeline(parse(cut)), before);
}

TEST(ParseSmf, HugeTimesSaturate)
{
    // Deltas of 0x0FFFFFFF ticks at 16.7 s a tick: far beyond 24 days.
    QByteArray events = tempoEvent(0, 0xFFFFFF);
    for (int i = 0; i < 4; ++i) {
        events += event(0x0FFFFFFF, "903C64");
    }
    const SmfSong song = parse(header(0, 1, 1) + track(events + kEndOfTrack));
    for (const Played& e : eventsOf(song)) {
        EXPECT_EQ(e.timeUs, kMaxSongTimeUs);
    }
    EXPECT_EQ(song.lengthUs, kMaxSongTimeUs);
}

/// The bytes the heap holds for the program now.
std::size_t heapInUse()
{
    const struct mallinfo2 info = ::mallinfo2();
    return info.uordblks + info.hblkhd;
}

// A song is its file's bytes: a million events packed two bytes each cost no record
// apiece while the song is read through, played from the middle or its tempo asked.
TEST(ParseSmf, ASongKeepsItsFileNotARecordPerEvent)
{
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "the sanitizer's allocator does not say what the heap holds";
#else
    constexpr int kEvents = 1'000'000;
    QByteArray events = event(0, "C005");
    events.reserve(kEvents * 2 + 16);
    for (int i = 1; i < kEvents; ++i) {
        events += '\1'; // a tick apart
        events += static_cast<char>(i % 128);
    }
    const QByteArray file = header(0, 1, 480) + track(events + kEndOfTrack);
    events.clear();
    events.squeeze();
    const std::size_t before = heapInUse();
    const std::optional<SmfSong> song = ParseSmf(file);
    ASSERT_TRUE(song);
    SmfCursor cursor(*song);
    cursor.skipTo(song->lengthUs / 2, false);
    EXPECT_EQ(cursor.eventsPassed(), static_cast<std::uint64_t>(kEvents / 2));
    EXPECT_EQ(song->TempoAt(song->lengthUs), 120);
    const std::size_t grown = heapInUse() - before;
    EXPECT_LT(grown, std::size_t{1} << 20) << "bytes the song holds beside its file";
#endif
}

// Real files from public collections: none crashes the parser, and what it gives is in order.
TEST(ParseSmf, EveryRealFileParsesOrIsRefused)
{
    const QString corpus = SharedCorpusDir();
    if (corpus.isEmpty()) {
        GTEST_SKIP() << "no shared corpus in this clone";
    }
    int played = 0;
    QDirIterator it(corpus, {QStringLiteral("*.mid"), QStringLiteral("*.midi"), QStringLiteral("*.rmi")},
                    QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const std::optional<SmfSong> song = ParseSmf(ReadWholeOrdinaryFile(NativePath(path)).bytes);
        if (!song) {
            continue;
        }
        ++played;
        const std::vector<Played> events = eventsOf(*song);
        EXPECT_TRUE(std::is_sorted(events.begin(), events.end(), [](const Played& a, const Played& b) {
            return a.timeUs < b.timeUs;
        })) << path.toStdString();
        EXPECT_TRUE(events.empty() || events.back().timeUs <= song->lengthUs) << path.toStdString();
        EXPECT_GT(song->TempoAt(0), 0) << path.toStdString();
    }
    EXPECT_GT(played, 80);
}

} // namespace
