#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>
#include <vector>

namespace calvane {

/// Private-profile ("INI") files over their raw bytes, with the semantics the
/// settings rely on: "[section]" lines open sections; "key=value" lines hold
/// values; section and key names match without regard to ASCII letter case;
/// blanks (space, tab, Ctrl+Z) around names and values are ignored; the first
/// match wins; lines before the first section and lines without "=" are ignored;
/// CR LF, LF and a bare CR each end a line; a UTF-8 byte-order mark at the start
/// is skipped (and kept when the file is written).
namespace profile {

/// The value of the key, or nullopt when the section or key is missing.
/// A present empty value gives an empty array. The value ends at its first NUL.
std::optional<QByteArray> GetValue(QByteArrayView content, QByteArrayView section, QByteArrayView key);

/// The content with the key set: an existing key's line is replaced in place, a new
/// key goes after the last line of its section, a new section at the end of the
/// file. Every line of the result ends in CR LF.
QByteArray SetValue(QByteArrayView content, QByteArrayView section, QByteArrayView key, QByteArrayView value);

/// A value or name that cannot be stored on one line (it holds CR, LF or NUL,
/// or a key holds "=" or starts with "[").
bool IsStorable(QByteArrayView section, QByteArrayView key, QByteArrayView value);

/// Reads one value from a file; a file that is missing or unreadable reads as a missing key.
std::optional<QByteArray> ReadFileValue(const QString& file, QByteArrayView section, QByteArrayView key);

/// Sets one value in a file, creating the file when it is missing. The file is
/// replaced whole (ReplaceFileContent: a temporary file beside it, written and
/// checked, then a rename; a link at the name is followed), so neither a crash
/// nor a full disk ever leaves half a file or an empty one. False when the file
/// could not be written or the value is not storable.
bool WriteFileValue(const QString& file, QByteArrayView section, QByteArrayView key, QByteArrayView value);

struct Entry
{
    QByteArray section;
    QByteArray key;
    QByteArray value;
};

/// Sets the values one after the other, as that many single writes would, and
/// replaces the file once: after a crash the file holds all of them or none.
/// An entry that is not storable is left out (its stored value stays). Returns 0,
/// or the errno of the failure that left the file as it was: a file that exists
/// but cannot be read (never replaced), or a write, sync or rename that failed.
int WriteFileValues(const QString& file, const std::vector<Entry>& entries);

} // namespace profile
} // namespace calvane
