#include "rename/BatchRename.h"

#include "errors/RuntimeError.h"
#include "midi/basMIDIInfo.h"
#include "platform/Directory.h"
#include "platform/NativeFile.h"
#include "platform/RenameNoReplace.h"
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

bool endsWithMidNoCase(const QByteArray& name)
{
    return name.size() >= 4 && name.last(4).compare(".mid", Qt::CaseInsensitive) == 0;
}

class Collector
{
public:
    Collector(bool recursive, const std::function<bool()>& stop) : m_recursive(recursive), m_stop(stop) {}

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
                            !name.startsWith('.') && endsWithMidNoCase(name);
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
                listing = ListFolder(PathFromNative(real), u".mid");
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
    QSet<QByteArray> m_given;     ///< files given by their paths
    QSet<QByteArray> m_folders;   ///< folders listed, by device and inode
    QByteArray m_fileFolderShown; ///< the folder of the last file given, as given
    QByteArray m_fileFolder;      ///< and as the batch's last folder holds it; empty when that is another
    std::optional<FolderId> m_fileFolderId;
};

} // namespace

TitleRead ReadTitleForRename(const QByteArray& path)
{
    const MidiInfoRead read = ReadMIDIInfo(path, kTitlePieceBytes, MidiTexts::TitleOnly);
    return {read.error == 0 ? read.info.Title : QString(), read.error};
}

FileRename UnreadableFile(std::int32_t readError)
{
    FileRename out;
    out.result = readError == ErrNo::FileNotFound ? ConvResult::NoFile : ConvResult::OtherFailure;
    out.error = readError;
    return out;
}

FileRename RenameToTitle(RenameSpace& space, const QByteArray& folder, const QByteArray& name,
                         const TitleRenameOptions& options)
{
    const TitleRead read = ReadTitleForRename(folder + name);
    if (read.error != 0) {
        return UnreadableFile(read.error);
    }
    return RenameToGivenTitle(space, folder, name, read.title, options);
}

FileRename RenameToGivenTitle(RenameSpace& space, const QByteArray& folder, const QByteArray& name,
                              const QString& title, const TitleRenameOptions& options)
{
    FileRename out;
    const QByteArray from = folder + name;
    const ConvOutcome checked = CheckConvTitle(
        PathFromNative(name), options.replaceRefused ? ReplaceRefusedChars(title) : title, options.settings);
    if (checked.result != ConvResult::Renamed) {
        out.result = checked.result;
        return out;
    }
    const QByteArray base = checked.title.toUtf8();
    const int last = options.onConflict == OnConflict::Number ? kHighestConflictNumber : 1;
    for (int number = 1;; ++number) {
        const QByteArray candidate =
            number == 1 ? base + ".mid" : base + " (" + QByteArray::number(number) + ").mid";
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
            out.strandedAs = out.strandedAs.sliced(out.strandedAs.lastIndexOf('/') + 1);
        } else if (out.result == ConvResult::NameExists && number < last) {
            continue;
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

Batch CollectBatch(const std::vector<QByteArray>& paths, bool recursive, const std::function<bool()>& stop)
{
    Collector collector(recursive, stop);
    for (const QByteArray& path : paths) {
        if (stop()) {
            break;
        }
        collector.addPath(path);
    }
    return std::move(collector.batch);
}

} // namespace calvane
