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

} // namespace
