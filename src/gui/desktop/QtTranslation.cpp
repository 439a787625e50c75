#include "gui/desktop/QtTranslation.h"

#include <QCoreApplication>
#include <QLibraryInfo>

#include <cstdio>

namespace calvane {

QString QtTranslationsFolder()
{
    return QLibraryInfo::path(QLibraryInfo::TranslationsPath);
}

std::unique_ptr<QTranslator> InstallQtTranslation(const QString& folder)
{
    auto translator = std::make_unique<QTranslator>();
    // Japanese whatever the user's locale: every other text of the program is.
    if (!translator->load(QStringLiteral("qtbase_ja"), folder) ||
        !QCoreApplication::installTranslator(translator.get())) {
        std::fprintf(stderr,
                     "calvane: no Japanese translation of Qt's own texts (qtbase_ja.qm) in %s: "
                     "file pickers and text menus stay English\n",
                     qPrintable(folder));
        return nullptr;
    }
    return translator;
}

} // namespace calvane
