#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace calvane::test {

/// A temporary folder for one test, removed with it.
class TempDir
{
public:
    TempDir() { EXPECT_TRUE(m_dir.isValid()); }
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

    static QByteArray read(const QString& file)
    {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

private:
    QTemporaryDir m_dir;
};

/// The shared corpus of real MIDI files, or an empty string when this clone has none.
inline QString SharedCorpusDir()
{
    const QString corpus = QStringLiteral(CALVANE_SHARED_DIR "/corpus/midi");
    return QFile::exists(corpus) ? corpus : QString();
}

} // namespace calvane::test
