#include "gui/desktop/Help.h"

#include "platform/NativeFile.h"
#include "rename/basFileNameControl.h"

#include <QDir>

namespace calvane {

QStringList HelpFileCandidates(const QString& exeFolder, const QString& baseName)
{
    const QString folder = WithTrailingSeparator(exeFolder);
    const QString name = baseName + QStringLiteral(".html");
    return {folder + name, QDir::cleanPath(folder + QStringLiteral("../share/calvane/") + name)};
}

QString FindHelpFile(const QString& exeFolder, const QString& baseName)
{
    for (const QString& candidate : HelpFileCandidates(exeFolder, baseName)) {
        if (IsOrdinaryFile(NativePath(candidate))) {
            return candidate;
        }
    }
    return {};
}

QString ProgramHelpFile()
{
    return FindHelpFile(GetAppFolder(), GetAppBaseName());
}

QUrl ProgramHelpUrl()
{
    const QString found = ProgramHelpFile();
    return QUrl::fromLocalFile(found.isEmpty() ? HelpFileCandidates(GetAppFolder(), GetAppBaseName()).last()
                                               : found);
}

} // namespace calvane
