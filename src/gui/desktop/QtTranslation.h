#pragma once

#include <QString>
#include <QTranslator>

#include <memory>

namespace calvane {

/// Where the platform keeps Qt's translations.
QString QtTranslationsFolder();

/// Qt's own texts in Japanese (the file pickers, the text boxes' menus, the
/// buttons of boxes): Qt's translation "qtbase_ja" from the folder, installed in
/// the application for as long as the result lives. Without one it says so on
/// stderr and gives nothing: Qt's texts stay English.
std::unique_ptr<QTranslator> InstallQtTranslation(const QString& folder = QtTranslationsFolder());

} // namespace calvane
