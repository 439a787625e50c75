#include "settings/basINIControl.h"

#include "platform/Cp932.h"
#include "platform/NativeFile.h"
#include "settings/PrivateProfile.h"

#include <QProcess>

#include <limits>

namespace calvane {
namespace {

/// Cuts the value to the reply area. A double-byte character that the cut would
/// split is left out whole rather than decoded as half a character.
QByteArray cutToReply(QByteArray value)
{
    if (value.size() <= kIniReplyBytes) {
        return value;
    }
    qsizetype end = 0;
    for (qsizetype i = 0; i < kIniReplyBytes;) {
        const auto c = static_cast<unsigned char>(value[i]);
        const bool lead = (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
        const qsizetype width = lead ? 2 : 1;
        if (i + width > kIniReplyBytes) {
            break;
        }
        i += width;
        end = i;
    }
    value.truncate(end);
    return value;
}

/// The part of a stored value that names something on disk.
QString namedPath(const QString& value, PathValue kind)
{
    return kind == PathValue::CommandLine ? QProcess::splitCommand(value).value(0) : value;
}

} // namespace

std::int32_t ReadINIInt(const QString& file, const QString& section, const QString& key, std::int32_t def)
{
    const auto value = profile::ReadFileValue(file, EncodeCp932(section), EncodeCp932(key));
    if (!value) {
        return def;
    }
    qsizetype i = 0;
    bool negative = false;
    if (i < value->size() && ((*value)[i] == '-' || (*value)[i] == '+')) {
        negative = (*value)[i] == '-';
        ++i;
    }
    std::int64_t n = 0;
    for (; i < value->size() && (*value)[i] >= '0' && (*value)[i] <= '9'; ++i) {
        n = std::min<std::int64_t>(n * 10 + ((*value)[i] - '0'), std::int64_t{1} << 32);
    }
    n = negative ? -n : n;
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(n, std::numeric_limits<std::int32_t>::min(),
                                                              std::numeric_limits<std::int32_t>::max()));
}

QString ReadINIString(const QString& file, const QString& section, const QString& key, const QString& def)
{
    auto value = profile::ReadFileValue(file, EncodeCp932(section), EncodeCp932(key));
    if (!value) {
        return def;
    }
    return DecodeCp932(cutToReply(std::move(*value)));
}

QByteArray PathToIni(const QString& path)
{
    const QByteArray cp932 = EncodeCp932(path);
    return DecodeCp932(cp932) == path ? cp932 : NativePath(path);
}

QString ReadINIPath(const QString& file, const QString& section, const QString& key, const QString& def,
                    PathValue kind)
{
    const auto value = profile::ReadFileValue(file, EncodeCp932(section), EncodeCp932(key));
    if (!value) {
        return def;
    }
    QString cp932 = DecodeCp932(*value);
    QString native = PathFromNative(*value);
    if (cp932 == native || PathExists(namedPath(cp932, kind)) || !PathExists(namedPath(native, kind))) {
        return cp932;
    }
    return native;
}

bool WriteINIString(const QString& file, const QString& section, const QString& key, const QString& value)
{
    return profile::WriteFileValue(file, EncodeCp932(section), EncodeCp932(key), EncodeCp932(value));
}

int WriteINIStrings(const QString& file, const std::vector<IniValue>& values)
{
    std::vector<profile::Entry> entries;
    entries.reserve(values.size());
    for (const IniValue& v : values) {
        entries.push_back({EncodeCp932(v.section), EncodeCp932(v.key),
                           v.isPath ? PathToIni(v.value) : EncodeCp932(v.value)});
    }
    return profile::WriteFileValues(file, entries);
}

} // namespace calvane
