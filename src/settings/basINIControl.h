#pragma once

#include <QString>

#include <cstdint>
#include <vector>

namespace calvane {

/// Longest value text a read gives back, in bytes of code page 932.
constexpr int kIniReplyBytes = 127;

/// The key's value read as a number: its leading decimal digits (after an optional
/// sign), 0 when there are none; the default when the key is missing.
std::int32_t ReadINIInt(const QString& file, const QString& section, const QString& key, std::int32_t def);

/// The key's value text (at most 127 bytes of code page 932); the default when the key is missing.
QString ReadINIString(const QString& file, const QString& section, const QString& key, const QString& def);

/// What a stored path names on disk: the value itself, or the program of a command line.
enum class PathValue
{
    Path,
    CommandLine,
};

/// A path as the settings file keeps it: in code page 932 when that holds it
/// exactly, else as the file system's own bytes (a name that is not UTF-8 comes
/// back as its bytes), so that no path is stored damaged by "?".
QByteArray PathToIni(const QString& path);

/// A stored path, read whole (a cut path would name another folder). It is the
/// code page 932 reading of the value, unless that names nothing that exists
/// while the file system's reading of the same bytes does. The default when the
/// key is missing.
QString ReadINIPath(const QString& file, const QString& section, const QString& key, const QString& def,
                    PathValue kind = PathValue::Path);

/// Writes the value (as code page 932). True on success.
bool WriteINIString(const QString& file, const QString& section, const QString& key, const QString& value);

struct IniValue
{
    QString section;
    QString key;
    QString value;
    bool isPath = false; ///< written by PathToIni
};

/// Writes the values in their order with one replacement of the file (a value that
/// cannot stand on one line is left out). 0, or the errno of the failure that left
/// the file as it was.
int WriteINIStrings(const QString& file, const std::vector<IniValue>& values);

} // namespace calvane
