#include "cli/calvane-rename/RenameTool.h"

namespace calvane {

RenameToolOptions ParseRenameToolArgs(int argc, char** argv)
{
    RenameToolOptions o;
    bool optionsEnd = false;
    bool journalGiven = false;
    bool readingGiven = false;
    for (int i = 1; i < argc && o.usageError.isEmpty(); ++i) {
        const char* arg = argv[i];
        if (optionsEnd || arg[0] != '-' || arg[1] == '\0') {
            o.paths.emplace_back(arg);
            continue;
        }
        QByteArray value;
        const QByteArray a(arg);
        if (a == "--") {
            optionsEnd = true;
        } else if (a == "-h" || a == "--help") {
            o.help = true;
        } else if (a == "--version") {
            o.version = true;
        } else if (a == "--dry-run") {
            o.dryRun = true;
        } else if (a == "--recursive") {
            o.recursive = true;
        } else if (a == "--json") {
            o.json = true;
        } else if (a == "--replace-refused") {
            o.replaceRefused = true;
        } else if (a == "--shorten") {
            o.shorten = true;
        } else if (a == "--keep-trailing-spaces") {
            o.keepTrailingSpaces = true;
        } else if (a == "--allow-blank-titles") {
            o.allowBlankTitles = true;
        } else if (a == "--no-journal") {
            o.noJournal = true;
        } else if (TakeReadingOption(argc, argv, i, o.reading, o.usageError)) {
            readingGiven = true;
        } else if (TakeOptionValue(argc, argv, i, "--on-conflict", value, o.usageError)) {
            if (value == "skip") {
                o.onConflict = OnConflict::Skip;
            } else if (value == "number") {
                o.onConflict = OnConflict::Number;
            } else if (value == "trash-identical") {
                o.onConflict = OnConflict::TrashIdentical;
            } else if (o.usageError.isEmpty()) {
                o.usageError = QStringLiteral("--on-conflict takes skip, number or trash-identical");
            }
        } else if (TakeOptionValue(argc, argv, i, "--journal", o.journal, o.usageError)) {
            journalGiven = true;
        } else if (TakeOptionValue(argc, argv, i, "--undo", o.undo, o.usageError)) {
            if (o.undo.isEmpty() && o.usageError.isEmpty()) {
                o.usageError = QStringLiteral("--undo needs a journal");
            }
        } else if (a.startsWith("--") || a.size() < 2) {
            o.usageError = QStringLiteral("unknown option %1").arg(QString::fromLocal8Bit(a));
        } else {
            for (const char flag : a.sliced(1)) { // short flags, also together: -nr
                if (flag == 'n') {
                    o.dryRun = true;
                } else if (flag == 'r') {
                    o.recursive = true;
                } else if (flag == 'h') {
                    o.help = true;
                } else {
                    o.usageError = QStringLiteral("unknown option -%1").arg(QLatin1Char(flag));
                    break;
                }
            }
        }
    }
    if (!o.usageError.isEmpty() || o.help || o.version) {
        return o;
    }
    if (journalGiven && (o.noJournal || o.journal.isEmpty())) {
        o.usageError = o.noJournal ? QStringLiteral("--journal and --no-journal together")
                                   : QStringLiteral("--journal needs a file");
    } else if (!o.undo.isEmpty()) {
        if (!o.paths.empty() || o.recursive || o.replaceRefused || o.shorten || o.keepTrailingSpaces ||
            o.allowBlankTitles || o.onConflict != OnConflict::Skip || readingGiven) {
            o.usageError = QStringLiteral("--undo takes a journal and no paths or title options");
        }
    } else if (o.paths.empty()) {
        o.usageError = QStringLiteral("no file or folder given");
    }
    return o;
}

} // namespace calvane
