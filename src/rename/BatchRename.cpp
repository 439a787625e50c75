#include "rename/BatchRename.h"

#include "errors/RuntimeError.h"
#include "midi/basMIDIInfo.h"
#include "platform/Directory.h"
#include "platform/NativeFile.h"
#include "platform/RenameNoReplace.h"
#include "rename/NewName.h"
#include "rename/TrashSpace.h"
#include "rename/basFileNameControl.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace calvane {
namespace {

/// The most a title read takes at once: titles stand at the start of a file, so
/// one small read finds nearly all of them.
constexpr qint64 kTitlePieceBytes = qint64{64} << 10;

/// The absolute path of a folder without links, ending in "/"; empty with errno set.
QByteArray realFolder(const QByteArray& folder)
{
    char* real = ::realpath(folder.isEmpty() ? "." : folder.constData(), nullptr);
    if (!real) {
        return {};
    }
    QByteArray out(real);
    std::free(real);
    return out.endsWith('/') ? out : out + '/';
}

class Collector
{
public:
    Collector(bool recursive, const std::function<bool()>& stop, const QStringList& extensions)
        : m_recursive(recursive), m_stop(stop), m_extensions(extensions)
    {
        for (const QString& extension : extensions) {
            m_suffixes << u'.' + extension;
        }
    }

    void addPath(const QByteArray& path)
    {
        struct stat st
        {};
        if (path.isEmpty() || path.contains('\0') || ::stat(path.constData(), &st) != 0) {
            fail(path,
                 path.isEmpty() || path.contains('\0') ? ErrNo::FileNotFound : ErrorNumberFromErrno(errno));
            return;
        }
        if (S_ISDIR(st.st_mode)) {
            const QByteArray real = realFolder(path);
            if (real.isEmpty()) {
                fail(path, ErrorNumberFromErrno(errno));
                return;
            }
            addFolder(path.endsWith('/') ? path : path + '/', real, {st.st_dev, st.st_ino});
            return;
        }
        const qsizetype slash = path.lastIndexOf('/');
        const QByteArray shown = path.first(slash + 1);
        const QByteArray name = path.sliced(slash + 1);
        if (shown != m_fileFolderShown ||
            m_fileFolder.isEmpty()) { // files of one folder (a shell's *.mid) share it
            m_fileFolder = realFolder(shown);
            m_fileFolderId = FolderIdOf(m_fileFolder);
            if (m_fileFolder.isEmpty() || !m_fileFolderId) {
                fail(path, ErrorNumberFromErrno(errno));
                return;
            }
            m_fileFolderShown = shown;
            batch.addFolder(shown, m_fileFolder, m_fileFolderId);
        }
        // Once only: given before, or in a folder listed before.
        const bool listed = m_folders.contains(key(*m_fileFolderId)) && S_ISREG(st.st_mode) &&
                            !name.startsWith('.') && HasExtension(name, m_extensions);
        if (listed || m_given.contains(m_fileFolder + name)) {
            return;
        }
        m_given.insert(m_fileFolder + name);
        batch.add(name);
    }

    Batch batch;

private:
    static QByteArray key(const FolderId& id)
    {
        return QByteArray::number(static_cast<qulonglong>(id.device)) + ':' +
               QByteArray::number(static_cast<qulonglong>(id.inode));
    }

    void fail(const QByteArray& path, std::int32_t error)
    {
        batch.addFolder({}, {});
        batch.add(path, error);
        m_fileFolder.clear();
    }

    void addFolder(const QByteArray& shown, const QByteArray& real, const FolderId& id)
    {
        // A folder met again under another path (a bind mount) is listed once.
        if (m_stop() || m_folders.contains(key(id))) {
            return;
        }
        m_folders.insert(key(id));
        std::vector<std::pair<QByteArray, FolderId>> subfolders;
        {
            FolderListing listing;
            try {
                listing = ListFolder(PathFromNative(real), m_suffixes);
            } catch (const RuntimeError& failure) {
                fail(shown, failure.number());
                return;
            }
            batch.addFolder(shown, real, id);
            m_fileFolder.clear();
            for (qsizetype i = 0; i < listing.files.size(); ++i) {
                const QByteArray name = NativePath(listing.files.name(i));
                if (m_given.isEmpty() || !m_given.contains(real + name)) {
                    batch.add(name);
                }
            }
            if (m_recursive) {
                for (qsizetype i = 0; i < listing.folders.size(); ++i) {
                    const QByteArray name = NativePath(listing.folders.name(i));
                    struct stat st
                    {};
                    if (::lstat((real + name).constData(), &st) == 0 && S_ISDIR(st.st_mode)) {
                        subfolders.push_back({name, {st.st_dev, st.st_ino}});
                    }
                }
            }
        } // the listing goes before the subfolders are listed
        for (const auto& [name, subId] : subfolders) {
            addFolder(shown + name + '/', real + name + '/', subId);
        }
    }

    const bool m_recursive;
    const std::function<bool()>& m_stop;
    const QStringList& m_extensions;
    QStringList m_suffixes;       ///< the extensions with their dots, as the listing takes them
    QSet<QByteArray> m_given;     ///< files given by their paths
    QSet<QByteArray> m_folders;   ///< folders listed, by device and inode
    QByteArray m_fileFolderShown; ///< the folder of the last file given, as given
    QByteArray m_fileFolder;      ///< and as the batch's last folder holds it; empty when that is another
    std::optional<FolderId> m_fileFolderId;
};

} // namespace

TitleRead ReadTitleForRename(const QByteArray& path, TextEncoding encoding)
{
    MidiInfoRead read = ReadMIDIInfo(path, kTitlePieceBytes, MidiTexts::TitleOnly, encoding);
    if (read.error != 0) {
        return {QString(), read.error, {}, false};
    }
    const bool hint = MayBeEucJp(read.titleBytes, encoding);
    return {std::move(read.info.Title), 0, std::move(read.titleBytes), hint};
}

FileRename UnreadableFile(std::int32_t readError)
{
    FileRename out;
    out.result = readError == ErrNo::FileNotFound ? ConvResult::NoFile : ConvResult::OtherFailure;
    out.error = readError;
    return out;
}

FileRename RenameToGivenTitle(RenameSpace& space, const QByteArray& folder, const QByteArray& name,
                              const QString& title, const TitleRenameOptions& options, TrashSpace* trash)
{
    FileRename out;
    const QByteArray from = folder + name;
    const long nameMax = NameMaxOf(folder);
    QString given = options.replaceRefused ? ReplaceRefusedChars(title) : title;
    if (options.shorten && given.size() > nameMax) {
        given = ShortenToBytes(given, nameMax); // no name holds more characters than bytes
    }
    const ConvOutcome checked = CheckConvTitle(PathFromNative(name), given, options.settings);
    if (checked.result != ConvResult::Renamed && checked.result != ConvResult::TitleTooLong) {
        out.result = checked.result;
        return out;
    }
    const QByteArray base = checked.title.toUtf8();
    const QByteArray extension = NewNameExtension(name);
    const int last = options.onConflict == OnConflict::Number ? kHighestConflictNumber : 1;
    for (int number = 1;; ++number) {
        const QByteArray suffix = number == 1 ? QByteArray() : " (" + QByteArray::number(number) + ")";
        QByteArray candidate = base + suffix + extension;
        if (candidate.size() > nameMax) {
            QString cut;
            if (options.shorten) {
                cut = ShortenToBytes(checked.title, nameMax - suffix.size() - extension.size());
                while (options.settings.LastSpace && cut.endsWith(u' ')) {
                    cut.chop(1); // LastSpace holds for what the cut leaves at the end
                }
            }
            if (cut.isEmpty()) {
                out.result = ConvResult::TitleTooLong;
                out.wantedName = candidate;
                out.tooLongBy = static_cast<std::int32_t>(candidate.size() - nameMax);
                return out;
            }
            candidate = cut.toUtf8() + suffix + extension;
        }
        const std::int32_t error = candidate == name ? 0 : space.Rename(from, folder + candidate);
        if (error == 0) {
            out.result = ConvResult::Renamed;
            out.unchanged = candidate == name;
            out.newName = candidate;
            return out;
        }
        out.result = ConvResultOfFailure(error);
        out.strandedAs = space.Stranded();
        if (!out.strandedAs.isEmpty()) {
            // Left under a temporary name: it is not tried under another one.
            out.strandedAs = out.strandedAs.sliced(out.strandedAs.lastIndexOf('/') + 1);
        } else if (out.result == ConvResult::NameExists) {
            if (out.identicalTo.isEmpty() && IsIdenticalCopy(space, from, folder + candidate)) {
                out.identicalTo = candidate;
            }
            if (options.onConflict == OnConflict::TrashIdentical && !out.identicalTo.isEmpty()) {
                if (!trash) {
                    throw RuntimeError(ErrNo::InvalidCall);
                }
                out.wantedName = candidate;
                out.error = trash->MoveToTrash(from);
                out.trashed = out.error == 0;
                return out;
            }
            if (number < last) {
                continue;
            }
        }
        if (out.result == ConvResult::NameExists || out.result == ConvResult::AccessFailure) {
            out.wantedName = candidate;
        } else {
            out.error = error;
        }
        return out;
    }
}

void Batch::add(const QByteArray& name, std::int32_t error)
{
    m_items.push_back({static_cast<std::uint32_t>(m_folders.size() - 1),
                       static_cast<std::uint32_t>(name.size()), m_names.size(), error});
    m_names += name;
}

void Batch::expectFoldersIn(DiskRenameSpace& disk) const
{
    for (const Folder& folder : m_folders) {
        if (!folder.real.isEmpty()) {
            disk.expectFolder(folder.real, folder.id);
        }
    }
}

Batch CollectBatch(const std::vector<QByteArray>& paths, bool recursive, const std::function<bool()>& stop,
                   const QStringList& extensions)
{
    Collector collector(recursive, stop, extensions);
    for (const QByteArray& path : paths) {
        if (stop()) {
            break;
        }
        collector.addPath(path);
    }
    return std::move(collector.batch);
}

} // namespace calvane
