#include "settings/Settings.h"

#include "errors/RuntimeError.h"
#include "platform/Cp932.h"
#include "platform/Directory.h"
#include "platform/Paths.h"
#include "settings/PrivateProfile.h"
#include "settings/basINIControl.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <array>
#include <cstring>
#include <limits>
#include <variant>

namespace calvane {
namespace {

using ViewFlag = bool ViewOptions::*;
using Truth = bool Settings::*;
using Int16 = std::int16_t Settings::*;
using Text = QString Settings::*;
using ReviewTruth = bool ReviewSettings::*;
using ReviewInt16 = std::int16_t ReviewSettings::*;
using ReviewText = QString ReviewSettings::*;

/// A path: read whole, and written without loss (see ReadINIPath, PathToIni).
struct Path
{
    Text field;
    PathValue kind;
};

/// A name the system gives (an output port's): read whole and written without
/// loss as a path is, since a port named "Café MIDI 1" would come back with "?"
/// and no longer match its port. Nothing on disk tells the readings apart: bytes
/// that are UTF-8 beyond ASCII read as UTF-8, others as code page 932.
struct Name
{
    Text field;
};

/// One key of the settings file. The table is in load order; the save order is
/// the same with FastFolderPath moved to the very end.
struct Key
{
    const char* section;
    const char* name;
    std::variant<ViewFlag, Truth, Int16, Text, Path, Name, ReviewTruth, ReviewInt16, ReviewText> field;
};

const std::array<Key, 30> kKeys{{
    {"Main", "MIDIInfo", &ViewOptions::MIDIInfo},
    {"Main", "Preview", &ViewOptions::Preview},
    {"Main", "Front", &ViewOptions::Front},
    {"Conv", "ErrSkip", &Settings::ErrSkip},
    {"Conv", "NoMIDITitle", &Settings::NoMIDITitle},
    {"Conv", "Start", &Settings::Start},
    {"Conv", "Space", &Settings::Space},
    {"Conv", "LastSpace", &Settings::LastSpace},
    {"Edit", "AppointFolder", &Settings::AppointFolder},
    {"Edit", "FastFolderPath", Path{&Settings::FastFolderPath, PathValue::Path}},
    {"Edit", "SaveLastFolder", &Settings::SaveLastFolder},
    {"Edit", "Del", &Settings::Del},
    {"Edit", "chkDel", &Settings::chkDel},
    {"Edit", "DClick", &Settings::DClick},
    {"Edit", "DeviceName", Name{&Settings::DeviceName}},
    {"Edit", "DeviceNum", &Settings::DeviceNum},
    {"Edit", "UsePlayer", &Settings::UsePlayer},
    {"Edit", "ExePath", Path{&Settings::ExePath, PathValue::CommandLine}},
    {"MIDIPlayer", "Repeat", &Settings::Repeat},
    {"Review", "Width", &ReviewSettings::Width},
    {"Review", "Height", &ReviewSettings::Height},
    {"Review", "Columns", &ReviewSettings::Columns},
    {"Review", "Subfolders", &ReviewSettings::Subfolders},
    {"Review", "ReplaceRefused", &ReviewSettings::ReplaceRefused},
    {"Review", "NumberConflicts", &ReviewSettings::NumberConflicts},
    {"Review", "ProblemsOnly", &ReviewSettings::ProblemsOnly},
    {"Review", "Encoding", &ReviewSettings::Encoding},
    {"Review", "Extensions", &ReviewSettings::Extensions},
    {"Review", "Shorten", &ReviewSettings::Shorten},
    {"Review", "TrashIdentical", &ReviewSettings::TrashIdentical},
}};

QString truthWord(bool value)
{
    return value ? QStringLiteral("True") : QStringLiteral("False");
}

/// The review list's keys came later than the file's others: a value that cannot
/// be read there gives the default instead of the damaged-file road.
bool readReviewTruth(const QString& iniPath, const QString& section, const QString& name, bool fallback)
{
    try {
        return ToTruthValue(ReadINIString(iniPath, section, name, truthWord(fallback)));
    } catch (const RuntimeError&) {
        return fallback;
    }
}

std::int16_t readReviewInt16(const QString& iniPath, const QString& section, const QString& name,
                             std::int16_t fallback)
{
    const std::int32_t value = ReadINIInt(iniPath, section, name, fallback);
    return value >= 0 && value <= 32767 ? static_cast<std::int16_t>(value) : fallback;
}

template <class... F> struct Visitor : F...
{
    using F::operator()...;
};
template <class... F> Visitor(F...) -> Visitor<F...>;

} // namespace

bool ToTruthValue(QStringView text)
{
    const QStringView t = text.trimmed();
    if (t.compare(u"true", Qt::CaseInsensitive) == 0) {
        return true;
    }
    if (t.compare(u"false", Qt::CaseInsensitive) == 0) {
        return false;
    }
    static const QRegularExpression number(QStringLiteral(R"(^[+-]?(\d+\.?\d*|\.\d+)([eE][+-]?\d+)?$)"));
    if (!number.match(t.toString()).hasMatch()) {
        throw RuntimeError(ErrNo::TypeMismatch);
    }
    // A number is false exactly when every digit of its mantissa is zero.
    const qsizetype exponent = t.indexOf(u'e', 0, Qt::CaseInsensitive);
    const QStringView mantissa = exponent >= 0 ? t.first(exponent) : t;
    for (QChar c : mantissa) {
        if (c >= u'1' && c <= u'9') {
            return true;
        }
    }
    return false;
}

std::int16_t ToInt16(std::int32_t value)
{
    if (value < std::numeric_limits<std::int16_t>::min() ||
        value > std::numeric_limits<std::int16_t>::max()) {
        throw RuntimeError(ErrNo::Overflow);
    }
    return static_cast<std::int16_t>(value);
}

StoredSettings LoadSettings(const QString& iniPath)
{
    StoredSettings stored; // holds the defaults until each key is read
    for (const Key& key : kKeys) {
        const QString section = QString::fromLatin1(key.section);
        const QString name = QString::fromLatin1(key.name);
        std::visit(Visitor{
                       [&](ViewFlag f) {
                           stored.view.*f =
                               ToTruthValue(ReadINIString(iniPath, section, name, truthWord(stored.view.*f)));
                       },
                       [&](Truth f) {
                           stored.settings.*f = ToTruthValue(
                               ReadINIString(iniPath, section, name, truthWord(stored.settings.*f)));
                       },
                       [&](Int16 f) {
                           stored.settings.*f =
                               ToInt16(ReadINIInt(iniPath, section, name, stored.settings.*f));
                       },
                       [&](Text f) {
                           stored.settings.*f = ReadINIString(iniPath, section, name, stored.settings.*f);
                       },
                       [&](Path p) {
                           stored.settings.*p.field =
                               ReadINIPath(iniPath, section, name, stored.settings.*p.field, p.kind);
                       },
                       [&](Name n) {
                           if (const auto value =
                                   profile::ReadFileValue(iniPath, EncodeCp932(section), EncodeCp932(name))) {
                               stored.settings.*n.field = DecodeUtf8OrCp932(*value);
                           }
                       },
                       [&](ReviewTruth f) {
                           stored.settings.Review.*f =
                               readReviewTruth(iniPath, section, name, stored.settings.Review.*f);
                       },
                       [&](ReviewInt16 f) {
                           stored.settings.Review.*f =
                               readReviewInt16(iniPath, section, name, stored.settings.Review.*f);
                       },
                       [&](ReviewText f) {
                           stored.settings.Review.*f =
                               ReadINIString(iniPath, section, name, stored.settings.Review.*f);
                       },
                   },
                   key.field);
    }
    return stored;
}

int SaveSettings(const QString& iniPath, const StoredSettings& stored, const QString& currentFolder)
{
    std::vector<IniValue> values;
    values.reserve(kKeys.size());
    const Key* fastFolder = nullptr;
    for (const Key& key : kKeys) {
        if (std::holds_alternative<Path>(key.field) &&
            std::get<Path>(key.field).field == &Settings::FastFolderPath) {
            fastFolder = &key;
            continue;
        }
        QString value =
            std::visit(Visitor{
                           [&](ViewFlag f) { return truthWord(stored.view.*f); },
                           [&](Truth f) { return truthWord(stored.settings.*f); },
                           [&](Int16 f) { return QString::number(stored.settings.*f); },
                           [&](Text f) { return stored.settings.*f; },
                           [&](Path p) { return stored.settings.*p.field; },
                           [&](Name n) { return stored.settings.*n.field; },
                           [&](ReviewTruth f) { return truthWord(stored.settings.Review.*f); },
                           [&](ReviewInt16 f) { return QString::number(stored.settings.Review.*f); },
                           [&](ReviewText f) { return stored.settings.Review.*f; },
                       },
                       key.field);
        const bool whole = std::holds_alternative<Path>(key.field) || std::holds_alternative<Name>(key.field);
        values.push_back(
            {QString::fromLatin1(key.section), QString::fromLatin1(key.name), std::move(value), whole});
    }
    const QString folder =
        stored.settings.SaveLastFolder == 1 ? currentFolder : stored.settings.FastFolderPath;
    values.push_back(
        {QString::fromLatin1(fastFolder->section), QString::fromLatin1(fastFolder->name), folder, true});
    // One replacement of the file for all nineteen keys, in the save order.
    return WriteINIStrings(iniPath, values);
}

QString SettingsNotSavedText(const QString& iniPath, int err)
{
    return QStringLiteral("設定を保存できませんでした\r\n%1\r\n%2 (%3)")
        .arg(ShownPath(iniPath), ErrorText(ErrorNumberFromErrno(err)),
             QString::fromLocal8Bit(std::strerror(err)));
}

namespace {

QString IniFileName()
{
    return GetAppBaseName() + QStringLiteral(".ini");
}

} // namespace

namespace {

QString settingsFolderFor(const QString& appFolder, const QString& iniName, const QString& configHome,
                          const QString& home)
{
    if (QFileInfo::exists(WithTrailingSeparator(appFolder) + iniName)) {
        return WithTrailingSeparator(appFolder);
    }
    const QString base = QDir::isAbsolutePath(configHome) ? configHome : home + QStringLiteral("/.config");
    return WithTrailingSeparator(base) + QStringLiteral("calvane/");
}

} // namespace

QString ChooseSettingsFolder(const QString& appFolder, const QString& iniName, const QString& configHome,
                             const QString& home)
{
    const QString folder = settingsFolderFor(appFolder, iniName, configHome, home);
    QDir().mkpath(folder); // a folder that cannot be made shows later: no settings kept, no report written
    return folder;
}

QString SettingsFolder()
{
    return ChooseSettingsFolder(GetAppFolder(), IniFileName(), qEnvironmentVariable("XDG_CONFIG_HOME"),
                                QDir::homePath());
}

QString DefaultIniPath()
{
    return SettingsFolder() + IniFileName();
}

QString ProgramIniPath()
{
    const QString name = QStringLiteral("calvane.ini");
    return settingsFolderFor(GetAppFolder(), name, qEnvironmentVariable("XDG_CONFIG_HOME"),
                             QDir::homePath()) +
           name;
}

} // namespace calvane
