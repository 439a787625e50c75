#pragma once

#include "rename/FileNameConv.h"
#include "rename/RenameSpace.h"
#include "settings/Settings.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace calvane {

enum class OnConflict
{
    Skip,   ///< a file whose name is taken keeps its own (NameExists)
    Number, ///< " (2)", " (3)"... before ".mid" until a name is free
};

struct TitleRenameOptions
{
    Settings settings; ///< Space and LastSpace
    bool replaceRefused = false;
    OnConflict onConflict = OnConflict::Skip;
};

/// The highest number a name gets with OnConflict::Number; past it, NameExists.
constexpr int kHighestConflictNumber = 9999;

/// What became of one file.
struct FileRename
{
    ConvResult result = ConvResult::Renamed;
    bool unchanged = false; ///< Renamed, and it had that name already: nothing was done
    QByteArray newName;     ///< the name afterwards when Renamed
    QByteArray wantedName;  ///< the name that was taken or could not be made (NameExists, AccessFailure)
    std::int32_t error = 0; ///< the run-time error behind NoFile and OtherFailure; 0 for a rule
    /// Not Renamed, and the file was left under this temporary name in its folder
    /// (RenameSpace::Stranded): it is there, not under its old name.
    QByteArray strandedAs;
};

/// Renames folder + name to its title plus ".mid" in the same folder: the title
/// read as the windows read it (without the copyright), the refused characters
/// replaced when asked, then FileNameConv's checks (CheckConvTitle) and a rename
/// that never replaces a file. A file that cannot be read is NoFile when it is
/// gone, else OtherFailure with the read's error. folder is native and ends in "/".
/// A file the space left under a temporary name is not tried under another one.
FileRename RenameToTitle(RenameSpace& space, const QByteArray& folder, const QByteArray& name,
                         const TitleRenameOptions& options);

/// A title read as RenameToTitle reads it (stopping at the title), or the
/// run-time error of a file that cannot be read.
struct TitleRead
{
    QString title;
    std::int32_t error = 0;
};
TitleRead ReadTitleForRename(const QByteArray& path);

/// What RenameToTitle makes of a file whose title could not be read: NoFile
/// when it is gone, else OtherFailure with the read's error.
FileRename UnreadableFile(std::int32_t readError);

/// RenameToTitle with the title given (read before, or corrected by the user):
/// the same replacement, checks and rename.
FileRename RenameToGivenTitle(RenameSpace& space, const QByteArray& folder, const QByteArray& name,
                              const QString& title, const TitleRenameOptions& options);

/// The files of a batch in order, kept compactly (a collection may hold a hundred
/// thousand): each a MIDI file, or a path given that could not be used.
class Batch
{
public:
    qsizetype size() const { return static_cast<qsizetype>(m_items.size()); }
    /// The folder as given, "" or ending in "/": for messages.
    const QByteArray& shownFolder(qsizetype i) const { return m_folders[m_items[i].folder].shown; }
    /// The folder's absolute path without links, ending in "/" (empty for a failure).
    const QByteArray& folder(qsizetype i) const { return m_folders[m_items[i].folder].real; }
    /// The file's name; for a failure, what could not be used.
    QByteArray name(qsizetype i) const { return m_names.sliced(m_items[i].nameAt, m_items[i].nameSize); }
    /// 0, or the run-time error of a path that is missing or a folder that cannot be listed.
    std::int32_t error(qsizetype i) const { return m_items[i].error; }

    /// Starts a folder for the items added after it; id: the folder's identity when
    /// it was listed (none for a failure).
    void addFolder(const QByteArray& shown, const QByteArray& real, std::optional<FolderId> id = std::nullopt)
    {
        m_folders.push_back({shown, real, id});
    }
    void add(const QByteArray& name, std::int32_t error = 0);

    /// Has the disk rename in each folder of the batch only while its path leads to
    /// the folder that was listed (DiskRenameSpace::expectFolder).
    void expectFoldersIn(DiskRenameSpace& disk) const;

private:
    struct Folder
    {
        QByteArray shown;
        QByteArray real;
        std::optional<FolderId> id;
    };
    struct Item
    {
        std::uint32_t folder;
        std::uint32_t nameSize;
        qsizetype nameAt;
        std::int32_t error;
    };
    std::vector<Folder> m_folders;
    QByteArray m_names;
    std::vector<Item> m_items;
};

/// The files of the given paths in order: a file as it is named (whatever its
/// name ends in); a folder's "*.mid" files in any letter case, sorted as the
/// window lists them, and with `recursive` then each subfolder's in turn (links
/// to folders are not followed, hidden names are left out). A file reached twice
/// is listed once, and so is a folder reached by two paths (a bind mount inside
/// the tree): folders are told apart by their device and inode. A path that is
/// not a folder is taken by its name without being opened. `stop` is asked
/// between folders.
Batch CollectBatch(const std::vector<QByteArray>& paths, bool recursive, const std::function<bool()>& stop);

} // namespace calvane
