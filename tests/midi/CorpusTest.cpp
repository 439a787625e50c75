#include "StepReading.h"
#include "TempDir.h"
#include "midi/basMIDIInfo.h"
#include "platform/NativeFile.h"

#include <QDirIterator>

#include <gtest/gtest.h>
#include <string_view>

using namespace calvane;
using namespace calvane::test;

namespace {

// Real files from public collections: every one is read without an error, and
// whether read whole or in small pieces it gives what a plain reading of the
// reader's steps gives for its bytes.
TEST(Corpus, EveryRealFileReadsCleanly)
{
    const QString corpus = SharedCorpusDir();
    if (corpus.isEmpty()) {
        GTEST_SKIP() << "no shared corpus in this clone";
    }
    int files = 0;
    int titled = 0;
    QDirIterator it(corpus, {QStringLiteral("*.mid"), QStringLiteral("*.midi"), QStringLiteral("*.rmi")},
                    QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QByteArray bytes = ReadWholeOrdinaryFile(NativePath(path)).bytes;
        const StepReading expected = ReadBySteps(std::string_view(bytes.constData(), bytes.size()));
        for (const qint64 piece : {qint64{3}, qint64{1} << 20}) {
            const MidiInfoRead read = ReadMIDIInfo(NativePath(path), piece);
            ASSERT_EQ(read.error, 0) << path.toStdString();
            EXPECT_TRUE(read.info == expected.info) << path.toStdString() << " piece " << piece;
            EXPECT_EQ(read.hasHeader, expected.hasHeader) << path.toStdString();
        }
        titled += expected.info.Title.isEmpty() ? 0 : 1;
        ++files;
    }
    EXPECT_GT(files, 50);
    EXPECT_GT(titled, 0);
}

// Real texts of both kinds: titles written in UTF-8 by a tool of today, and a
// track name in Shift_JIS (in a later track, so taken from its event's bytes).
TEST(Corpus, Utf8AndShiftJisTextsReadAsTheirWritersMeant)
{
    const QString corpus = SharedCorpusDir();
    if (corpus.isEmpty()) {
        GTEST_SKIP() << "no shared corpus in this clone";
    }
    const auto read = [&](const char* file) { return ReadMIDIInfo(NativePath(corpus + u'/' + file)).info; };
    EXPECT_EQ(read("kujirahand-sakuramml-c/sakura2.mid").Title, QStringLiteral("\"さくらさくら\""));
    EXPECT_EQ(read("kujirahand-sakuramml-c/4u.mid").Title, QStringLiteral("\"騎士団は荒野を行く\""));
    EXPECT_TRUE(read("FluidSynth-fluidsynth/circled-TEST.mid").Copyright.endsWith(u"Pedro López-Cabanillas"));
    EXPECT_EQ(read("Tonejs-Midi/bach_846.mid").Copyright, QStringLiteral("Copyright ｩ 1996  Bernd Krueger."));

    const QByteArray bytes =
        ReadWholeOrdinaryFile(NativePath(corpus + "/VOICEVOX-voicevox/timeSig.mid")).bytes;
    const qsizetype name = bytes.indexOf("\xFF\x03", bytes.indexOf("MTrk", bytes.indexOf("MTrk") + 1));
    ASSERT_GT(name, 0);
    EXPECT_EQ(DecodeMetaText(bytes.sliced(name + 3, static_cast<unsigned char>(bytes[name + 2]))),
              QStringLiteral("トラック1"));
}

} // namespace
