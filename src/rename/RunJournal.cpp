#include "rename/RunJournal.h"

#include "errors/RuntimeError.h"
#include "rename/JournalIndex.h"

#include <QDateTime>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace calvane {

QString JournalFolderRefusal(const JournalFolderCheck& check)
{
    const QString folder = QString::fromLocal8Bit(check.refusedFolder);
    switch (check.refusal) {
    case JournalRefusal::None:
        return {};
    case JournalRefusal::CannotMake:
        return QStringLiteral("フォルダ %1 を作成できません: %2")
            .arg(folder, QString::fromLocal8Bit(std::strerror(check.err)));
    case JournalRefusal::NotAFolder:
        return QStringLiteral("%1 はフォルダではありません").arg(folder);
    case JournalRefusal::NotOwned:
        return QStringLiteral("フォルダ %1 は他のユーザーのものです").arg(folder);
    case JournalRefusal::WritableByOthers:
        return QStringLiteral("フォルダ %1 には他のユーザーも書き込めます").arg(folder);
    }
    return {};
}

RunJournal::RunJournal(QByteArray run, QByteArray folder, QByteArray undoOf, QByteArray journalFolder,
                       Trash* trash)
    : m_trash(trash ? std::make_unique<DiskTrashSpace>(*trash) : nullptr), m_run(std::move(run)),
      m_folder(std::move(folder)), m_undoOf(std::move(undoOf)), m_journalFolder(std::move(journalFolder))
{}

RunJournal::~RunJournal()
{
    close();
}

JournaledRenameSpace* RunJournal::journal()
{
    if (m_journal || !m_refusal.isEmpty()) {
        return m_journal.get();
    }
    if (m_journalFolder.isEmpty()) {
        // Another user could put a journal there, or change ours: no journal then.
        const JournalFolderCheck check = PrepareJournalFolder();
        m_refusal = JournalFolderRefusal(check);
        if (!m_refusal.isEmpty()) {
            return nullptr;
        }
        m_journalFolder = check.folder;
    }
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const QByteArray stem = m_journalFolder + "rename-" +
                            now.toString(QStringLiteral("yyyyMMdd-HHmmss")).toLatin1() + '-' +
                            QByteArray::number(::getpid());
    QByteArray path;
    struct stat st
    {};
    for (int n = 1; path.isEmpty() || ::lstat(path.constData(), &st) == 0; ++n) {
        path = stem + '-' + QByteArray::number(n) + ".jsonl"; // made new at the rename: O_EXCL
    }
    m_journal = std::make_unique<JournaledRenameSpace>(
        m_disk, path,
        JournalHeaderLine(now.toString(Qt::ISODateWithMs),
                          m_undoOf.isEmpty() ? QByteArray() : JournalIdentity(m_undoOf), {m_run, m_folder}),
        JournaledRenameSpace::OnJournalFailure::RenameAnyway, m_trash.get());
    return m_journal.get();
}

void RunJournal::pruneOnce()
{
    if (!m_pruned && m_journal && m_journal->journaled() > 0) {
        m_pruned = true;
        PruneJournals(m_journalFolder); // the folder keeps the newest, this one among them
    }
}

std::int32_t RunJournal::Rename(const QByteArray& from, const QByteArray& to)
{
    JournaledRenameSpace* ahead = journal();
    const std::int32_t result = ahead ? ahead->Rename(from, to) : m_disk.Rename(from, to);
    pruneOnce();
    return result;
}

std::int32_t RunJournal::MoveToTrash(const QByteArray& path, const BeforeTrashMove& beforeMove)
{
    JournaledRenameSpace* ahead = journal();
    if (!ahead && !m_trash) {
        return ErrorNumberFromErrno(ENOTSUP);
    }
    const std::int32_t result =
        ahead ? ahead->MoveToTrash(path, beforeMove) : m_trash->MoveToTrash(path, beforeMove);
    pruneOnce();
    return result;
}

std::int32_t RunJournal::Restore(const TrashPlace& place, const QByteArray& to)
{
    JournaledRenameSpace* ahead = journal();
    if (!ahead && !m_trash) {
        return ErrorNumberFromErrno(ENOTSUP);
    }
    const std::int32_t result = ahead ? ahead->Restore(place, to) : m_trash->Restore(place, to);
    pruneOnce();
    return result;
}

QString RunJournal::untoldFailure()
{
    if (m_told) {
        return {};
    }
    QString why = m_refusal;
    if (why.isEmpty() && m_journal && m_journal->journalError() != 0) {
        why = QStringLiteral("%1: %2").arg(QString::fromLocal8Bit(m_journal->journalPath()),
                                           QString::fromLocal8Bit(std::strerror(m_journal->journalError())));
    }
    if (why.isEmpty()) {
        return {};
    }
    m_told = true;
    return QStringLiteral("変換の記録を書き込めません（%1）\r\n変換は続けますが、この変換は元に戻せません")
        .arg(why);
}

QByteArray RunJournal::path() const
{
    return m_journal ? m_journal->journalPath() : QByteArray();
}

qsizetype RunJournal::journaled() const
{
    return m_journal ? m_journal->journaled() : 0;
}

int RunJournal::close()
{
    if (!m_journal) {
        return 0;
    }
    const int error = m_journal->close();
    if (m_journal->journaled() == 0 && m_journal->journalError() == 0) {
        ::unlink(m_journal->journalPath().constData()); // nothing to take back: no journal to keep
    }
    return error;
}

} // namespace calvane
