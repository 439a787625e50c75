#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>

namespace calvane {

/// Where the help page may be, in the order it is looked for: beside the
/// executable (a build tree, a portable copy), then in the installed layout's
/// share folder. Both are the executable's base name plus ".html".
QStringList HelpFileCandidates(const QString& exeFolder, const QString& baseName);

/// The first candidate that is an ordinary file, or an empty string.
QString FindHelpFile(const QString& exeFolder, const QString& baseName);

/// The running program's help page, or an empty string when there is none.
QString ProgramHelpFile();

/// The help page's address as the about box shows it: the page found, else
/// where the installed layout keeps it.
QUrl ProgramHelpUrl();

} // namespace calvane
