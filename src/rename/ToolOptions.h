#pragma once

#include "platform/TextCodecs.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace calvane {

/// What calvane-info and calvane-rename read alike: which files of a folder
/// (--ext) and how titles are read (--encoding).
struct ReadingOptions
{
    QStringList extensions{QStringLiteral("mid")}; ///< lower case, without the dot
    TextEncoding encoding = TextEncoding::Auto;
};

/// Takes the value of an option given as "--name=value" or "--name value" (i
/// moves on past it): false when argv[i] is not that option; error is set when
/// the value is missing.
bool TakeOptionValue(int argc, char** argv, int& i, const char* option, QByteArray& value, QString& error);

/// Takes --ext=LIST or --encoding=NAME at argv[i] into the options: false when
/// argv[i] is neither; error is set for a value that cannot be used.
bool TakeReadingOption(int argc, char** argv, int& i, ReadingOptions& options, QString& error);

} // namespace calvane
