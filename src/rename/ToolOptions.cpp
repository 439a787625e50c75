#include "rename/ToolOptions.h"

#include "rename/NewName.h"

#include <cstring>

namespace calvane {

bool TakeOptionValue(int argc, char** argv, int& i, const char* option, QByteArray& value, QString& error)
{
    const size_t length = std::strlen(option);
    const char* arg = argv[i];
    if (std::strncmp(arg, option, length) == 0 && arg[length] == '=') {
        value = QByteArray(arg + length + 1);
        return true;
    }
    if (std::strcmp(arg, option) != 0) {
        return false;
    }
    if (i + 1 >= argc) {
        error = QStringLiteral("%1 needs a value").arg(QLatin1String(option));
        return true;
    }
    value = QByteArray(argv[++i]);
    return true;
}

bool TakeReadingOption(int argc, char** argv, int& i, ReadingOptions& options, QString& error)
{
    QByteArray value;
    if (TakeOptionValue(argc, argv, i, "--ext", value, error)) {
        const std::optional<QStringList> extensions = ParseExtensionList(value);
        if (extensions) {
            options.extensions = *extensions;
        } else if (error.isEmpty()) {
            error = QStringLiteral("--ext takes extensions of letters and digits separated by commas");
        }
        return true;
    }
    if (TakeOptionValue(argc, argv, i, "--encoding", value, error)) {
        const std::optional<TextEncoding> encoding = TextEncodingFromName(value);
        if (encoding) {
            options.encoding = *encoding;
        } else if (error.isEmpty()) {
            error = QStringLiteral("--encoding takes auto, cp932, utf-8, euc-jp or cp1252");
        }
        return true;
    }
    return false;
}

} // namespace calvane
