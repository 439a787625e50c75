#include "app/Help.h"

#include "platform/NativeFile.h"
#include "rename/basFileNameControl.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

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

namespace {

QString programBaseName()
{
    return QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
}

} // namespace

QString ProgramHelpFile()
{
    return FindHelpFile(GetAppFolder(), programBaseName());
}

QUrl ProgramHelpUrl()
{
    const QString found = ProgramHelpFile();
    return QUrl::fromLocalFile(found.isEmpty() ? HelpFileCandidates(GetAppFolder(), programBaseName()).last()
                                               : found);
}

} // namespace calvane
