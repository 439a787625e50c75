#include "rename/RenameJournal.h"

#include "errors/RuntimeError.h"
#include "platform/JsonText.h"
#include "platform/NativeFile.h"

#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace calvane {
namespace {

constexpr const char* kJournalTag = "calvane-rename";
constexpr int kVersion = 1;

/// A path of an entry: its "_hex" bytes when given, else its text as UTF-8.
std::optional<QByteArray> pathField(const QJsonObject& line, const QString& field)
{
    const QJsonValue hex = line.value(field + QStringLiteral("_hex"));
    if (!hex.isUndefined()) {
        const QString digits = hex.toString();
        const bool valid = !digits.isEmpty() && digits.size() % 2 == 0 &&
                           std::all_of(digits.begin(), digits.end(), [](QChar c) {
                               return c.unicode() < 0x80 && std::isxdigit(c.unicode());
                           });
        return valid ? std::optional(QByteArray::fromHex(digits.toLatin1())) : std::nullopt;
    }
    const QJsonValue text = line.value(field);
    return text.isString() ? std::optional(text.toString().toUtf8()) : std::nullopt;
}

/// An absolute path of a name other than "." and ".." without NUL.
bool isRenamablePath(const QByteArray& path)
{
    if (!path.startsWith('/') || path.contains('\0')) {
        return false;
    }
    const QByteArray name = path.sliced(path.lastIndexOf('/') + 1);
    return !name.isEmpty() && name != "." && name != "..";
}

QByteArray folderOf(const QByteArray& path)
{
    return path.first(path.lastIndexOf('/') + 1);
}

/// A file in a trash's "files" folder and its record in the "info" folder beside it.
bool isTrashRecord(const QByteArray& file, const QByteArray& info)
{
    const QByteArray folder = folderOf(file);
    const QByteArray name = file.sliced(folder.size());
    return isRenamablePath(file) && folder.endsWith("/files/") &&
           info == folder.chopped(6) + "info/" + name + ".trashinfo";
}

const char* kindName(JournalEntry::Kind kind)
{
    return kind == JournalEntry::Kind::Trash ? "trash" : "restore";
}

} // namespace

QByteArray JournalHeaderLine(const QString& startedIso, QByteArrayView undoOf, const JournalOrigin& origin)
{
    QByteArray line = QByteArray("{\"journal\": \"") + kJournalTag +
                      "\", \"version\": " + QByteArray::number(kVersion) +
                      ", \"started\": " + JsonString(startedIso);
    if (!undoOf.isEmpty()) {
        line += ", " + JsonPathFields("undo_of", undoOf);
    }
    if (!origin.run.isEmpty()) {
        line += ", \"program\": \"calvane\", \"run\": " + JsonString(QString::fromLatin1(origin.run)) + ", " +
                JsonPathFields("folder", origin.folder);
    }
    return line + "}\n";
}

QByteArray JournalEntryLine(const JournalEntry& entry)
{
    QByteArray line = "{";
    if (entry.kind != JournalEntry::Kind::Rename) {
        line += QByteArray("\"kind\": \"") + kindName(entry.kind) + "\", ";
    }
    line += JsonPathFields("from", entry.from) + ", " + JsonPathFields("to", entry.to);
    if (entry.kind != JournalEntry::Kind::Rename) {
        line += ", " + JsonPathFields("info", entry.info);
    }
    return line + "}\n";
}

std::optional<QByteArray> JournalPathField(const QJsonObject& line, const QString& field)
{
    return pathField(line, field);
}

JournalRead ReadJournal(QByteArrayView text)
{
    JournalRead read;
    const QList<QByteArray> lines = text.toByteArray().split('\n');
    bool header = false;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QByteArray& line = lines[i];
        if (line.trimmed().isEmpty()) {
            continue;
        }
        // The text after the last line end: a line whose writing was cut off.
        const bool unended = i == lines.size() - 1;
        QJsonParseError parseError{};
        const QJsonDocument doc = QJsonDocument::fromJson(line, &parseError);
        const QJsonObject object = doc.object();
        QString error;
        if (parseError.error != QJsonParseError::NoError || !doc.isObject()) {
            error = QStringLiteral("not a JSON object");
        } else if (!header) {
            if (object.value(QStringLiteral("journal")).toString() != QLatin1String(kJournalTag)) {
                error = QStringLiteral("not a journal of calvane-rename");
            } else if (object.value(QStringLiteral("version")).toInt(-1) != kVersion) {
                error = QStringLiteral("a journal version this program does not know");
            } else {
                header = true;
                continue;
            }
        } else {
            const QJsonValue kindValue = object.value(QStringLiteral("kind"));
            const QString kindText = kindValue.toString();
            const auto from = pathField(object, QStringLiteral("from"));
            const auto to = pathField(object, QStringLiteral("to"));
            const auto info = pathField(object, QStringLiteral("info"));
            JournalEntry entry;
            if (!kindValue.isUndefined() && kindText != QLatin1String("trash") &&
                kindText != QLatin1String("restore")) {
                error = QStringLiteral("an entry of a kind this program does not know");
            } else if (!from || !to) {
                error = QStringLiteral("an entry without its two paths");
            } else if (kindValue.isUndefined()) {
                if (!isRenamablePath(*from) || !isRenamablePath(*to) || folderOf(*from) != folderOf(*to)) {
                    error = QStringLiteral("an entry that is not a rename inside one folder");
                } else {
                    read.entries.push_back({*from, *to});
                    continue;
                }
            } else {
                const bool trash = kindText == QLatin1String("trash");
                const QByteArray& inTrash = trash ? *to : *from;
                const QByteArray& outside = trash ? *from : *to;
                if (!info || !isRenamablePath(outside) || !isTrashRecord(inTrash, *info)) {
                    error = QStringLiteral("an entry that is not a move into or out of a trash");
                } else {
                    read.entries.push_back(
                        {*from, *to, trash ? JournalEntry::Kind::Trash : JournalEntry::Kind::Restore, *info});
                    continue;
                }
            }
        }
        if (unended && header) {
            read.lastLineCut = true;
            break;
        }
        read.entries.clear();
        read.error = error;
        read.errorLine = i + 1;
        return read;
    }
    if (!header) {
        read.error = QStringLiteral("not a journal of calvane-rename");
        read.errorLine = 1;
    }
    return read;
}

JournalFile::~JournalFile()
{
    close();
}

int JournalFile::create(const QByteArray& nativePath, const QByteArray& headerLine)
{
    close();
    m_fd = ::open(nativePath.constData(), O_WRONLY | O_CREAT | O_EXCL | O_APPEND | O_CLOEXEC, 0600);
    if (m_fd < 0) {
        return errno;
    }
    m_size = 0;
    m_sizeBeforeLast = 0;
    const int err = append(headerLine);
    if (err != 0) {
        ::close(m_fd); // a journal without its header is no journal: it goes
        m_fd = -1;
        ::unlink(nativePath.constData());
    }
    return err;
}

int JournalFile::append(const QByteArray& line)
{
    const ssize_t written = ::write(m_fd, line.constData(), static_cast<size_t>(line.size()));
    if (written == line.size()) {
        m_sizeBeforeLast = m_size;
        m_size += written;
        return 0;
    }
    const int err = written < 0 ? errno : ENOSPC;
    if (written > 0 && ::ftruncate(m_fd, m_size) != 0) {
        // The part stays; the reader leaves out a last line it cannot read.
    }
    return err;
}

int JournalFile::dropLastLine()
{
    if (m_fd < 0 || m_size == m_sizeBeforeLast) {
        return 0;
    }
    if (::ftruncate(m_fd, m_sizeBeforeLast) != 0) {
        return errno;
    }
    m_size = m_sizeBeforeLast;
    return 0;
}

int JournalFile::close()
{
    if (m_fd < 0) {
        return 0;
    }
    int err = ::fdatasync(m_fd) == 0 ? 0 : errno;
    if (::close(m_fd) != 0 && err == 0) {
        err = errno;
    }
    m_fd = -1;
    return err == EINVAL ? 0 : err; // a file system without sync has nothing to flush
}

JournaledRenameSpace::JournaledRenameSpace(RenameSpace& disk, QByteArray journalPath, QByteArray headerLine,
                                           OnJournalFailure onFailure, TrashSpace* trash)
    : m_disk(disk), m_trash(trash), m_path(std::move(journalPath)), m_header(std::move(headerLine)),
      m_onFailure(onFailure)
{}

bool JournaledRenameSpace::writeAhead(const QByteArray& line)
{
    if (m_error == 0 && !m_file.isOpen()) {
        m_error = m_file.create(m_path, m_header);
    }
    if (m_error == 0) {
        m_error = m_file.append(line);
    }
    return m_error == 0;
}

std::int32_t JournaledRenameSpace::journalFailure() const
{
    const bool full = m_error == ENOSPC || m_error == EDQUOT || m_error == EFBIG;
    return full ? ErrNo::DiskFull : ErrNo::PathFileAccessError;
}

void JournaledRenameSpace::stepDone(bool lined, std::int32_t result)
{
    if (!lined) {
        return;
    }
    if (result == 0) {
        ++m_journaled;
    } else {
        m_file.dropLastLine(); // should that fail, the undo finds the step never done
    }
}

std::int32_t JournaledRenameSpace::Rename(const QByteArray& from, const QByteArray& to)
{
    const bool lined = writeAhead(JournalEntryLine({from, to}));
    if (!lined && m_onFailure == OnJournalFailure::Refuse) {
        return journalFailure();
    }
    const std::int32_t result = m_disk.Rename(from, to);
    stepDone(lined, result);
    if (lined && result != 0) {
        if (const QByteArray stranded = m_disk.Stranded(); !stranded.isEmpty()) {
            // The file stands under a temporary name: the undo takes it back from there.
            m_error = m_file.append(JournalEntryLine({from, stranded}));
            m_journaled += m_error == 0 ? 1 : 0;
        }
    }
    return result;
}

std::int32_t JournaledRenameSpace::MoveToTrash(const QByteArray& path, const BeforeTrashMove& beforeMove)
{
    if (!m_trash) {
        return ErrorNumberFromErrno(ENOTSUP);
    }
    bool lined = false;
    bool refused = false;
    const std::int32_t result = m_trash->MoveToTrash(path, [&](const TrashPlace& place) {
        lined = writeAhead(JournalEntryLine({path, place.file, JournalEntry::Kind::Trash, place.info}));
        refused = !lined && m_onFailure == OnJournalFailure::Refuse;
        return !refused && (!beforeMove || beforeMove(place));
    });
    if (refused) {
        return journalFailure();
    }
    stepDone(lined, result);
    return result;
}

std::int32_t JournaledRenameSpace::Restore(const TrashPlace& place, const QByteArray& to)
{
    if (!m_trash) {
        return ErrorNumberFromErrno(ENOTSUP);
    }
    const bool lined =
        writeAhead(JournalEntryLine({place.file, to, JournalEntry::Kind::Restore, place.info}));
    if (!lined && m_onFailure == OnJournalFailure::Refuse) {
        return journalFailure();
    }
    const std::int32_t result = m_trash->Restore(place, to);
    stepDone(lined, result);
    return result;
}

UndoResult UndoJournalEntry(RenameSpace& space, TrashSpace& trash, const JournalEntry& entry)
{
    if (!space.Exists(entry.to) && space.Exists(entry.from)) {
        return {UndoOutcome::NeverDone, 0};
    }
    struct stat st
    {};
    if (::lstat(entry.to.constData(), &st) == 0 && !S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode)) {
        return {UndoOutcome::Failed, ErrNo::FileNotFound}; // no run of ours moved a folder or a device
    }
    std::int32_t error = 0;
    switch (entry.kind) {
    case JournalEntry::Kind::Rename:
        error = space.Rename(entry.to, entry.from);
        break;
    case JournalEntry::Kind::Trash:
        error = trash.Restore({entry.to, entry.info}, entry.from);
        break;
    case JournalEntry::Kind::Restore:
        error = trash.MoveToTrash(entry.to);
        break;
    }
    return {error == 0 ? UndoOutcome::Done : UndoOutcome::Failed, error};
}

QByteArray JournalFolder()
{
    QByteArray base = qgetenv("XDG_STATE_HOME");
    if (!base.startsWith('/')) {
        base = NativePath(QDir::homePath()) + "/.local/state";
    }
    const QByteArray folder = base + "/calvane/";
    // Each missing folder on the way made in turn; a failure shows when the journal is created.
    for (qsizetype slash = folder.indexOf('/', 1); slash > 0; slash = folder.indexOf('/', slash + 1)) {
        ::mkdir(folder.first(slash).constData(), 0700);
    }
    return folder;
}

namespace {

/// Whether others than the user may write: anyone, or a group other than the user's
/// primary one (a group of the user's own is common where each user has one).
bool writableByOthers(const struct stat& st)
{
    return (st.st_mode & S_IWOTH) != 0 || ((st.st_mode & S_IWGRP) != 0 && st.st_gid != ::getgid());
}

/// The folder above a path's last name may let others swap that name only when sticky.
JournalRefusal parentRefusal(const QByteArray& path, QByteArray& parent, int& err)
{
    QByteArray trimmed = path;
    while (trimmed.size() > 1 && trimmed.endsWith('/')) {
        trimmed.chop(1);
    }
    const qsizetype slash = trimmed.lastIndexOf('/');
    parent = slash <= 0 ? QByteArray(slash == 0 ? "/" : ".") : trimmed.first(slash);
    struct stat st
    {};
    if (::stat(parent.constData(), &st) != 0) {
        err = errno;
        return JournalRefusal::CannotMake;
    }
    return writableByOthers(st) && (st.st_mode & S_ISVTX) == 0 ? JournalRefusal::WritableByOthers
                                                               : JournalRefusal::None;
}

} // namespace

JournalFolderCheck PrepareJournalFolder()
{
    JournalFolderCheck check;
    check.folder = JournalFolder();
    check.refusedFolder = check.folder;
    struct stat st
    {};
    // Without its "/": a final "/" would take the link to the folder it leads to.
    if (::lstat(check.folder.chopped(1).constData(), &st) != 0) {
        check.err = errno;
        check.refusal = JournalRefusal::CannotMake;
    } else if (!S_ISDIR(st.st_mode)) {
        check.refusal = JournalRefusal::NotAFolder;
    } else if (st.st_uid != ::geteuid()) {
        check.refusal = JournalRefusal::NotOwned;
    } else if (writableByOthers(st)) {
        check.refusal = JournalRefusal::WritableByOthers;
    } else {
        check.refusal = parentRefusal(check.folder, check.refusedFolder, check.err);
    }
    return check;
}

JournalRefusal CheckJournalToUndo(const QByteArray& journalPath)
{
    struct stat st
    {};
    if (::stat(journalPath.constData(), &st) != 0) {
        return JournalRefusal::CannotMake;
    }
    if (!S_ISREG(st.st_mode)) {
        return JournalRefusal::NotAFolder;
    }
    if (st.st_uid != ::geteuid()) {
        return JournalRefusal::NotOwned;
    }
    if (writableByOthers(st)) {
        return JournalRefusal::WritableByOthers;
    }
    QByteArray parent;
    int err = 0;
    return parentRefusal(journalPath, parent, err);
}

QString JournalRefusalText(JournalRefusal refusal)
{
    switch (refusal) {
    case JournalRefusal::CannotMake:
        return QStringLiteral("it cannot be made or read");
    case JournalRefusal::NotAFolder:
        return QStringLiteral("it is not what it should be (a link, or another kind of file)");
    case JournalRefusal::NotOwned:
        return QStringLiteral("it belongs to another user");
    case JournalRefusal::WritableByOthers:
        return QStringLiteral("other users may write in it");
    case JournalRefusal::None:
        break;
    }
    return {};
}

} // namespace calvane
