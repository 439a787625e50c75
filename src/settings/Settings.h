#pragma once

#include <QString>
#include <QStringView>

#include <cstdint>

namespace calvane {

/// The review list's window and options, section Review: its size in pixels (0:
/// its own), the widths of its columns ("120,200,..."; empty: its own) and the
/// options of its menu: the reading of titles as calvane-rename's --encoding
/// names it, the extensions of the files listed as --ext takes them.
struct ReviewSettings
{
    std::int16_t Width = 0;
    std::int16_t Height = 0;
    QString Columns;
    bool Subfolders = false;
    bool ReplaceRefused = false;
    bool NumberConflicts = false;
    bool ProblemsOnly = false;
    QString Encoding = QStringLiteral("auto");
    QString Extensions = QStringLiteral("mid");
    bool Shorten = false;
    bool TrashIdentical = false;

    bool operator==(const ReviewSettings&) const = default;
};

/// The in-memory settings; field names are the keys of the settings file.
/// A default-constructed record holds every default.
struct Settings
{
    bool ErrSkip = false;
    bool NoMIDITitle = false;
    bool Start = false;
    bool Space = true;
    bool LastSpace = true;
    std::int16_t AppointFolder = 1;
    QString FastFolderPath;
    std::int16_t SaveLastFolder = 1;
    std::int16_t Del = 0;
    std::int16_t chkDel = 1;
    std::int16_t DClick = 0;
    QString DeviceName = QStringLiteral("MIDI Mapper");
    std::int16_t DeviceNum = 0;
    std::int16_t UsePlayer = 0;
    QString ExePath;
    std::int16_t Repeat = 0;
    ReviewSettings Review;

    bool operator==(const Settings&) const = default;
};

/// The check marks of the three view-option menu items, kept in section Main.
struct ViewOptions
{
    bool MIDIInfo = true; ///< mnuShowMIDIInfo
    bool Preview = true;  ///< mnuPreview
    bool Front = false;   ///< mnuFront

    bool operator==(const ViewOptions&) const = default;
};

struct StoredSettings
{
    ViewOptions view;
    Settings settings;
};

/// A stored truth value: True or False in any letter case, or any decimal number
/// (0 false, anything else true). Other text, the empty text included, raises 13.
bool ToTruthValue(QStringView text);

/// Narrows a stored integer to 16 bits; out of range raises 6.
std::int16_t ToInt16(std::int32_t value);

/// Reads every key in the load order, each conversion applied as it is read.
/// Raises RuntimeError 13 for an unreadable truth value and 6 for an integer out of range.
StoredSettings LoadSettings(const QString& iniPath);

/// Writes every key in the save order; FastFolderPath goes last and holds
/// currentFolder when SaveLastFolder is 1. Returns 0, or the errno of the failure
/// that left the file as it was (a full disk, a folder that cannot be written).
int SaveSettings(const QString& iniPath, const StoredSettings& stored, const QString& currentFolder);

/// The text of the box that says the settings could not be saved: the message,
/// the file and the system's reason.
QString SettingsNotSavedText(const QString& iniPath, int err);

/// The one folder of the settings file and of the error report ErrLog.txt, ending
/// in "/": appFolder when it already holds iniName (portable use: the user put the
/// file there), else "calvane/" in the user's configuration folder, made when
/// missing. That folder is configHome when it is an absolute path (the XDG rule),
/// else home + "/.config".
QString ChooseSettingsFolder(const QString& appFolder, const QString& iniName, const QString& configHome,
                             const QString& home);

/// ChooseSettingsFolder for this executable, its base name with ".ini",
/// $XDG_CONFIG_HOME and the home folder.
QString SettingsFolder();

/// The settings file: SettingsFolder(), the executable's base name, ".ini".
QString DefaultIniPath();

/// The desktop program's settings file, calvane.ini, as a tool installed beside
/// it finds it: by the rule of ChooseSettingsFolder, but nothing is made.
QString ProgramIniPath();

} // namespace calvane
