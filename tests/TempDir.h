#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <cstdio>
#include <gtest/gtest.h>
#include <vector>

namespace calvane::test {

/// A temporary folder for one test, removed with it.
class TempDir
{
public:
    TempDir() { EXPECT_TRUE(m_dir.isValid()); }
    ~TempDir()
    {
        // QTemporaryDir cannot remove what it cannot name: names that are not UTF-8.
        for (const QByteArray& file : m_nativeFiles) {
            std::remove(file.constData());
        }
    }
    QString path(const QString& name) const { return m_dir.filePath(name); }
    QString root() const { return m_dir.path(); }

    QString write(const QString& name, const QByteArray& bytes) const
    {
        const QString p = path(name);
        QFile f(p);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return p;
    }

    /// A file named by its bytes (which need not be UTF-8); returns its native path.
    QByteArray writeNative(const QByteArray& name, const QByteArray& bytes)
    {
        const QByteArray p = QFile::encodeName(m_dir.path()) + '/' + name;
        FILE* f = std::fopen(p.constData(), "wb");
        EXPECT_NE(f, nullptr);
        if (f) {
            std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), f);
            std::fclose(f);
        }
        m_nativeFiles.push_back(p);
        return p;
    }

    static QByteArray read(const QString& file)
    {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

private:
    QTemporaryDir m_dir;
    std::vector<QByteArray> m_nativeFiles;
};

/// The shared corpus of real MIDI files, or an empty string when this clone has none.
inline QString SharedCorpusDir()
{
    const QString corpus = QStringLiteral(CALVANE_SHARED_DIR "/corpus/midi");
    return QFile::exists(corpus) ? corpus : QString();
}

} // namespace calvane::test
