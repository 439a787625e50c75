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

/// Writes the value (as code page 932). True on success.
bool WriteINIString(const QString& file, const QString& section, const QString& key, const QString& value);

struct IniValue
{
    QString section;
    QString key;
    QString value;
};

/// Writes the values in their order with one replacement of the file. True when all were written.
bool WriteINIStrings(const QString& file, const std::vector<IniValue>& values);

} // namespace calvane
