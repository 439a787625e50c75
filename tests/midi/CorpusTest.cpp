#include "TempDir.h"
#include "midi/basMIDIInfo.h"
#include "platform/NativeFile.h"

#include <QDirIterator>

#include <gtest/gtest.h>

using namespace calvane;
using namespace calvane::test;

namespace {

// Real files from public collections: every one is read without an error, and a
// file that starts with a header chunk gives exactly that chunk's numbers.
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
        const MidiInfoRead read = ReadMIDIInfo(NativePath(path));
        ASSERT_EQ(read.error, 0) << path.toStdString();
        const QByteArray bytes = ReadWholeOrdinaryFile(NativePath(path)).bytes;
        if (bytes.startsWith("MThd") && bytes.size() >= 14) {
            auto be16 = [&](int at) {
                return static_cast<std::int16_t>(static_cast<unsigned char>(bytes[at]) << 8 |
                                                 static_cast<unsigned char>(bytes[at + 1]));
            };
            EXPECT_EQ(read.info.Format, be16(8)) << path.toStdString();
            EXPECT_EQ(read.info.Tracks, be16(10)) << path.toStdString();
            EXPECT_EQ(read.info.Division, be16(12)) << path.toStdString();
        }
        titled += read.info.Title.isEmpty() ? 0 : 1;
        ++files;
    }
    EXPECT_GT(files, 50);
    EXPECT_GT(titled, 0);
}

} // namespace
