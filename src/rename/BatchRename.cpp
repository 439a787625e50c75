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

QByteArray folderOf(const QByteArray& path)
{
    const qsizetype slash = path.lastIndexOf('/');
    return slash >= 0 ? path.first(slash + 1) : QByteArray("./");
}

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
            addFolder(path.endsWith('/') ? path : path + '/', real);
            return;
        }
        const qsizetype slash = path.lastIndexOf('/');
        const QByteArray shown = path.first(slash + 1);
        const QByteArray name = path.sliced(slash + 1);
        if (shown != m_fileFolderShown ||
            m_fileFolder.isEmpty()) { // files of one folder (a shell's *.mid) share it
            m_fileFolder = realFolder(shown);
            if (m_fileFolder.isEmpty()) {
                fail(path, ErrorNumberFromErrno(errno));
                return;
            }
            m_fileFolderShown = shown;
            batch.addFolder(shown, m_fileFolder);
        }
        // Once only: given before, or in a folder listed before.
        const bool listed = m_folders.contains(m_fileFolder) && S_ISREG(st.st_mode) &&
                            !name.startsWith('.') && endsWithMidNoCase(name);
        if (listed || m_given.contains(m_fileFolder + name)) {
            return;
        }
        m_given.insert(m_fileFolder + name);
        batch.add(name);
    }

    Batch batch;

private:
    void fail(const QByteArray& path, std::int32_t error)
    {
        batch.addFolder({}, {});
        batch.add(path, error);
        m_fileFolder.clear();
    }

    void addFolder(const QByteArray& shown, const QByteArray& real)
    {
        if (m_stop() || m_folders.contains(real)) {
            return;
        }
        m_folders.insert(real);
        std::vector<QByteArray> subfolders;
        {
            FolderListing listing;
            try {
                listing = ListFolder(PathFromNative(real), u".mid");
            } catch (const RuntimeError& failure) {
                fail(shown, failure.number());
                return;
            }
            batch.addFolder(shown, real);
            m_fileFolder.clear();
            for (qsizetype i = 0; i < listing.files.size(); ++i) {
                const QByteArray name = NativePath(listing.files.name(i));
                if (m_given.isEmpty() || !m_given.contains(real + name)) {
                    batch.add(name);
                }
            }
            if (m_recursive) {
                for (qsizetype i = 0; i < listing.folders.size(); ++i) {
                    subfolders.push_back(NativePath(listing.folders.name(i)));
                }
            }
        } // the listing goes before the subfolders are listed
        for (const QByteArray& name : subfolders) {
            struct stat st
            {};
            if (::lstat((real + name).constData(), &st) == 0 && S_ISDIR(st.st_mode)) {
                addFolder(shown + name + '/', real + name + '/');
            }
        }
    }

    const bool m_recursive;
    const std::function<bool()>& m_stop;
    QSet<QByteArray> m_given;     ///< files given by their paths
    QSet<QByteArray> m_folders;   ///< folders listed
    QByteArray m_fileFolderShown; ///< the folder of the last file given, as given
    QByteArray m_fileFolder;      ///< and as the batch's last folder holds it; empty when that is another
};

} // namespace

std::int32_t DiskRenameSpace::Rename(const QByteArray& from, const QByteArray& to)
{
    try {
        RenameNoReplace(from, to);
        return 0;
    } catch (const RuntimeError& failure) {
        return failure.number();
    }
}

bool PlannedRenameSpace::exists(const QByteArray& path) const
{
    struct stat st
    {};
    return m_made.contains(path) || (!m_gone.contains(path) && ::lstat(path.constData(), &st) == 0);
}

std::int32_t PlannedRenameSpace::folderRefuses(const QByteArray& folder, qsizetype nameBytes)
{
    auto nameMax = m_nameMax.find(folder);
    if (nameMax == m_nameMax.end()) {
        const long max = ::pathconf(folder.constData(), _PC_NAME_MAX);
        nameMax = m_nameMax.insert(folder, max > 0 ? max : NAME_MAX);
    }
    if (nameBytes > *nameMax) {
        return RenameErrorNumber(ENAMETOOLONG);
    }
    return 0;
}

std::int32_t PlannedRenameSpace::Rename(const QByteArray& from, const QByteArray& to)
{
    if (from.contains('\0') || to.contains('\0')) {
        return ErrNo::BadFileName;
    }
    const QByteArray folder = folderOf(to);
    if (const std::int32_t tooLong = folderRefuses(folder, to.size() - to.lastIndexOf('/') - 1)) {
        return tooLong;
    }
    if (!exists(from)) {
        return ErrNo::FileNotFound;
    }
    if (from == to) {
        return 0;
    }
    const bool caseOnly = !m_made.contains(to) && !m_gone.contains(from) && IsSameDirectoryEntry(from, to);
    if (exists(to) && !caseOnly) {
        return ErrNo::FileAlreadyExists;
    }
    auto folderError = m_folderError.find(folder);
    if (folderError == m_folderError.end()) {
        const std::int32_t error = ::access(folder.constData(), W_OK) == 0 ? 0 : RenameErrorNumber(errno);
        folderError = m_folderError.insert(folder, error);
    }
    if (*folderError != 0) {
        return *folderError;
    }
    m_gone.insert(from);
    m_made.remove(from);
    m_made.insert(to);
    m_gone.remove(to);
    return 0;
}

FileRename RenameToTitle(RenameSpace& space, const QByteArray& folder, const QByteArray& name,
                         const TitleRenameOptions& options)
{
    FileRename out;
    const QByteArray from = folder + name;
    const MidiInfoRead read = ReadMIDIInfo(from, kTitlePieceBytes, MidiTexts::TitleOnly);
    if (read.error != 0) {
        out.result = read.error == ErrNo::FileNotFound ? ConvResult::NoFile : ConvResult::OtherFailure;
        out.error = read.error;
        return out;
    }
    const QString& title = read.info.Title;
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
        if (out.result == ConvResult::NameExists && number < last) {
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
