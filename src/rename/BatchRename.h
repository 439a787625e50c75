#pragma once

#include "platform/TextCodecs.h"
#include "rename/FileNameConv.h"
#include "rename/RenameSpace.h"
#include "settings/Settings.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace calvane {

class TrashSpace;

enum class OnConflict
{
    Skip,           ///< a file whose name is taken keeps its own (NameExists)
    Number,         ///< " (2)", " (3)"... before the extension until a name is free
    TrashIdentical, ///< as Skip, but a file whose name is taken by one of the same bytes goes to the trash
};

struct TitleRenameOptions
{
    Settings settings; ///< Space and LastSpace
    bool replaceRefused = false;
    OnConflict onConflict = OnConflict::Skip;
    /// A title too long for a name is cut at a character boundary so that the name fits.
    bool shorten = false;
    /// How titles are read (ReadTitleForRename).
    TextEncoding encoding = TextEncoding::Auto;
};

/// The highest number a name gets with OnConflict::Number; past it, NameExists.
constexpr int kHighestConflictNumber = 9999;

/// What became of one file.
struct FileRename
{
    ConvResult result = ConvResult::Renamed;
    bool unchanged = false; ///< Renamed, and it had that name already: nothing was done
    QByteArray newName;     ///< the name afterwards when Renamed
    QByteArray wantedName;  ///< the name that was taken or could not be made (NameExists, AccessFailure,
                            ///< TitleTooLong)
    /// the run-time error behind NoFile and OtherFailure (and a NameExists whose
    /// copy the trash refused); 0 for a rule
    std::int32_t error = 0;
    QByteArray identicalTo;     ///< a name taken by a file with the same bytes (the first such)
    std::int32_t tooLongBy = 0; ///< TitleTooLong: the bytes too many
    bool trashed = false;       ///< NameExists, identical: the file went to the trash
    /// Not Renamed, and the file was left under this temporary name in its folder
    /// (RenameSpace::Stranded): it is there, not under its old name.
    QByteArray strandedAs;
};

/// A file's title read for a rename: as the windows read it (stopping at the
/// title, without the copyright), in the given encoding, or the run-time error
/// of a file that cannot be read; its bytes as stored, and whether they may be
/// EUC-JP (MayBeEucJp).
struct TitleRead
{
    QString title;
    std::int32_t error = 0;
    QByteArray bytes;
    bool mayBeEucJp = false;
};
TitleRead ReadTitleForRename(const QByteArray& path, TextEncoding encoding = TextEncoding::Auto);

/// What a rename makes of a file whose title could not be read: NoFile when it
/// is gone, else OtherFailure with the read's error.
FileRename UnreadableFile(std::int32_t readError);

/// Renames folder + name (folder native, ending in "/") to the title given (read
/// by ReadTitleForRename, or corrected by the user) in the same folder: the refused characters replaced when
/// asked, then FileNameConv's checks (CheckConvTitle), the new name's length (TitleTooLong, or the title
/// shortened when asked), and a rename that never replaces a file. The new name keeps the file's extension in
/// lower case (NewNameExtension). When a name is taken by a file with the same bytes, identicalTo says which;
/// with OnConflict::TrashIdentical the file then goes into `trash` (which that
/// option needs) instead of being renamed.
FileRename RenameToGivenTitle(RenameSpace& space, const QByteArray& folder, const QByteArray& name,
                              const QString& title, const TitleRenameOptions& options,
                              TrashSpace* trash = nullptr);

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
/// name ends in); a folder's files with one of the extensions (lower case,
/// without the dot; any letter case on disk), sorted as the window lists them,
/// and with `recursive` then each subfolder's in turn (links to folders are not
/// followed, hidden names are left out). A file reached twice is listed once, and
/// so is a folder reached by two paths (a bind mount inside the tree): folders
/// are told apart by their device and inode. A path that is not a folder is taken
/// by its name without being opened. `stop` is asked between folders.
Batch CollectBatch(const std::vector<QByteArray>& paths, bool recursive, const std::function<bool()>& stop,
                   const QStringList& extensions = {QStringLiteral("mid")});

} // namespace calvane
