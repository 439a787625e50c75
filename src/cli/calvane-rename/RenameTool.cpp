#include "cli/calvane-rename/RenameTool.h"

#include "errors/RuntimeError.h"
#include "platform/Directory.h"
#include "platform/JsonText.h"
#include "platform/NativeFile.h"
#include "rename/JournalIndex.h"
#include "rename/RenameJournal.h"
#include "settings/Settings.h"

#include <QDateTime>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

namespace calvane {
namespace {

QByteArray nameOf(const QByteArray& path)
{
    return path.sliced(path.lastIndexOf('/') + 1);
}

void printErr(const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stderr);
}

/// A path as a line of text shows it, in UTF-8: as the windows show it, control
/// characters (a line feed in a name) as "?".
QByteArray shownBytes(const QByteArray& path)
{
    QByteArray text = IsWellFormedUtf8(path) ? path : ShownPath(PathFromNative(path)).toUtf8();
    for (char& c : text) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            c = '?';
        }
    }
    return text;
}

QString shownText(const QByteArray& path)
{
    return QString::fromUtf8(shownBytes(path));
}

const char* reasonName(ConvResult result)
{
    switch (result) {
    case ConvResult::NoFile:
        return "no file";
    case ConvResult::NoTitle:
        return "no title";
    case ConvResult::RefusedChar:
        return "refused character";
    case ConvResult::NameExists:
        return "name exists";
    case ConvResult::AccessFailure:
        return "access failure";
    case ConvResult::OtherFailure:
        return "other failure";
    case ConvResult::Renamed:
        break;
    }
    return "renamed";
}

/// The progress line on stderr, on a terminal only: files done, the total, the rate.
class Progress
{
public:
    explicit Progress(qsizetype total)
        : m_enabled(::isatty(STDERR_FILENO) == 1),
          m_sharesTerminal(m_enabled && ::isatty(STDOUT_FILENO) == 1), m_total(total), m_start(Clock::now())
    {}

    void update(qsizetype done)
    {
        if (!m_enabled) {
            return;
        }
        const auto now = Clock::now();
        if (m_visible && now - m_drawn < std::chrono::milliseconds(100)) {
            return;
        }
        const double seconds = std::chrono::duration<double>(now - m_start).count();
        std::fprintf(stderr, "\r%lld/%lld files, %.0f files/s\033[K", static_cast<long long>(done),
                     static_cast<long long>(m_total),
                     seconds > 0 ? static_cast<double>(done) / seconds : 0.0);
        std::fflush(stderr);
        m_visible = true;
        m_drawn = now;
    }
    /// Before a line on stdout, which may share the terminal.
    void beforeOutput()
    {
        if (m_sharesTerminal) {
            clear();
        }
    }
    void clear()
    {
        if (m_visible) {
            std::fputs("\r\033[K", stderr);
            std::fflush(stderr);
            m_visible = false;
        }
    }

private:
    using Clock = std::chrono::steady_clock;
    const bool m_enabled;
    const bool m_sharesTerminal;
    const qsizetype m_total;
    const Clock::time_point m_start;
    Clock::time_point m_drawn;
    bool m_visible = false;
};

/// The counts of the summary.
struct Tally
{
    qsizetype renamed = 0;
    qsizetype unchanged = 0;
    std::map<ConvResult, qsizetype> skipped;
    std::map<ConvResult, qsizetype> failed;

    /// "N" or "N (n1 reason1, n2 reason2)".
    static QString byReason(const std::map<ConvResult, qsizetype>& counts, const QString& what)
    {
        QStringList parts;
        qsizetype total = 0;
        for (const auto& [result, count] : counts) {
            parts << QStringLiteral("%1 %2").arg(count).arg(QLatin1String(reasonName(result)));
            total += count;
        }
        const QString head = QStringLiteral("%1 %2").arg(total).arg(what);
        return parts.isEmpty() ? head : QStringLiteral("%1 (%2)").arg(head, parts.join(u", "));
    }
};

class Run
{
public:
    Run(const RenameToolOptions& options, const std::function<bool()>& stopRequested, RenameCalls& calls)
        : m_options(options), m_stop(stopRequested)
    {
        if (options.dryRun) {
            m_disk = std::make_unique<PlannedRenameSpace>();
        } else {
            auto disk = std::make_unique<DiskRenameSpace>(calls);
            m_realDisk = disk.get();
            m_disk = std::move(disk);
        }
        m_space = m_disk.get();
    }

    int titles();
    int undo();

private:
    /// Renames through a journal from here on (unless there is none to keep); false
    /// when the journal given by name exists already.
    bool startJournal(QByteArrayView undoOf);
    /// Whether the journal has failed: said once, and the run stops.
    bool journalFailed();
    void report(const QByteArray& shownFrom, const QByteArray& shownFolder, const FileRename& file);
    void count(const FileRename& file, bool nameExistsFails);
    int finish(qsizetype done, qsizetype total);
    bool stopping() { return m_stop() || m_outputClosed || m_journalFailed; }

    const RenameToolOptions& m_options;
    const std::function<bool()>& m_stop;
    std::unique_ptr<RenameSpace> m_disk;
    DiskRenameSpace* m_realDisk = nullptr; ///< m_disk in a run that renames
    std::unique_ptr<JournaledRenameSpace> m_journal;
    RenameSpace* m_space = nullptr; ///< the journal over the disk, or the disk (or plan) alone
    bool m_journalFailed = false;
    bool m_outputClosed = false;
    Tally m_tally;
    QList<QByteArray> m_stranded; ///< files left under a temporary name, as the lines show them
    std::unique_ptr<Progress> m_progress;
};

Settings loadSettings(const RenameToolOptions& options)
{
    Settings settings;
    if (!(options.keepTrailingSpaces && options.allowBlankTitles)) {
        const QString ini = ProgramIniPath();
        if (!PathExists(ini)) {
            printErr(
                QStringLiteral("calvane-rename: no settings file %1: Space and LastSpace at their defaults\n")
                    .arg(ini));
        } else {
            try {
                settings = LoadSettings(ini).settings;
            } catch (const RuntimeError& failure) {
                printErr(
                    QStringLiteral("calvane-rename: the settings file %1 cannot be read (%2 %3): Space and "
                                   "LastSpace at their defaults\n")
                        .arg(ini)
                        .arg(failure.number())
                        .arg(failure.text()));
            }
        }
    }
    if (options.keepTrailingSpaces) {
        settings.LastSpace = false;
    }
    if (options.allowBlankTitles) {
        settings.Space = false;
    }
    return settings;
}

bool Run::startJournal(QByteArrayView undoOf)
{
    if (m_options.dryRun || m_options.noJournal) {
        return true;
    }
    QByteArray path = m_options.journal;
    struct stat st
    {};
    if (!path.isEmpty() && ::lstat(path.constData(), &st) == 0) {
        // Made only at the first rename, and then never over a file (O_EXCL); said here
        // so that no file is renamed first.
        printErr(QStringLiteral("calvane-rename: the journal %1 exists already; nothing was renamed\n")
                     .arg(shownText(path)));
        return false;
    }
    const QDateTime now = QDateTime::currentDateTimeUtc();
    if (path.isEmpty()) {
        const JournalFolderCheck folder = PrepareJournalFolder();
        if (folder.refusal != JournalRefusal::None) {
            // Another user could put a journal there, or change ours: no journal, no run.
            QString why = JournalRefusalText(folder.refusal);
            if (folder.err != 0) {
                why += QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(folder.err));
            }
            printErr(QStringLiteral(
                         "calvane-rename: the journal folder %1 is refused: %2; nothing was renamed "
                         "(--journal FILE writes the journal elsewhere, --no-journal runs without one)\n")
                         .arg(shownText(folder.refusedFolder), why));
            return false;
        }
        PruneJournals(folder.folder, kJournalsKept - 1); // with this run's, the folder keeps the newest
        path = folder.folder + "rename-" + now.toString(QStringLiteral("yyyyMMdd-HHmmss")).toLatin1() + '-' +
               QByteArray::number(::getpid()) + ".jsonl";
    }
    m_journal = std::make_unique<JournaledRenameSpace>(*m_disk, path,
                                                       JournalHeaderLine(now.toString(Qt::ISODate), undoOf),
                                                       JournaledRenameSpace::OnJournalFailure::Refuse);
    m_space = m_journal.get();
    return true;
}

bool Run::journalFailed()
{
    if (m_journalFailed || !m_journal || m_journal->journalError() == 0) {
        return m_journalFailed;
    }
    m_journalFailed = true;
    printErr(QStringLiteral("calvane-rename: cannot write the journal %1: %2; the file keeps its name; "
                            "stopped (--no-journal runs without one)\n")
                 .arg(shownText(m_journal->journalPath()),
                      QString::fromLocal8Bit(std::strerror(m_journal->journalError()))));
    return true;
}

void Run::report(const QByteArray& shownFrom, const QByteArray& shownFolder, const FileRename& file)
{
    QByteArray line;
    const bool renamed = file.result == ConvResult::Renamed;
    if (m_options.json) {
        line = "{" + JsonPathFields("from", shownFrom) + ", " +
               (renamed ? JsonPathFields("to", shownFolder + file.newName) : QByteArray("\"to\": null")) +
               ", \"result\": " + QByteArray::number(static_cast<int>(file.result)) +
               ", \"message\": " + JsonString(ConvResultMessage(file.result));
        if (!file.wantedName.isEmpty()) {
            line += ", " + JsonPathFields("wanted", shownFolder + file.wantedName);
        }
        if (!file.strandedAs.isEmpty()) {
            line += ", " + JsonPathFields("stranded", shownFolder + file.strandedAs);
        }
        if (file.error != 0) {
            line += ", \"error\": " + QByteArray::number(file.error) +
                    ", \"error_message\": " + JsonString(ErrorText(file.error));
        }
        line += "}\n";
    } else {
        line = shownBytes(shownFrom);
        if (file.unchanged) {
            line += ": unchanged";
        } else if (renamed) {
            line += " -> " + shownBytes(file.newName);
        } else {
            QStringList why{QString::number(static_cast<int>(file.result))};
            const QString message =
                ConvResultMessage(file.result).replace(QStringLiteral("\r\n"), QStringLiteral(" ")).trimmed();
            if (!message.isEmpty()) {
                why << message;
            }
            if (!file.wantedName.isEmpty()) {
                why << QStringLiteral("(%1)").arg(shownText(file.wantedName));
            }
            if (file.error != 0) {
                why << QStringLiteral("error %1 %2").arg(file.error).arg(ErrorText(file.error));
            }
            if (!file.strandedAs.isEmpty()) {
                why << QStringLiteral("LEFT AS %1").arg(shownText(file.strandedAs));
            }
            line += ": " + why.join(u' ').toUtf8();
        }
        line += '\n';
    }
    if (!file.strandedAs.isEmpty()) {
        m_stranded << shownFolder + file.strandedAs;
    }
    m_progress->beforeOutput();
    if (std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stdout) !=
        static_cast<size_t>(line.size())) {
        m_outputClosed = true; // nobody reads on: stop before the next file
    }
}

void Run::count(const FileRename& file, bool nameExistsFails)
{
    if (!file.strandedAs.isEmpty()) {
        ++m_tally.failed[file.result]; // whatever the reason, the file is not where it was
        return;
    }
    switch (file.result) {
    case ConvResult::Renamed:
        ++(file.unchanged ? m_tally.unchanged : m_tally.renamed);
        break;
    case ConvResult::NoTitle:
    case ConvResult::RefusedChar:
        ++m_tally.skipped[file.result];
        break;
    case ConvResult::NameExists:
        ++(nameExistsFails ? m_tally.failed : m_tally.skipped)[file.result];
        break;
    case ConvResult::NoFile:
    case ConvResult::AccessFailure:
    case ConvResult::OtherFailure:
        ++m_tally.failed[file.result];
        break;
    }
}

int Run::finish(qsizetype done, qsizetype total)
{
    std::fflush(stdout);
    m_progress->clear();
    const int journalError = m_journal ? m_journal->close() : 0;
    if (journalError != 0) {
        printErr(QStringLiteral("calvane-rename: the journal %1 could not be flushed: %2\n")
                     .arg(shownText(m_journal->journalPath()),
                          QString::fromLocal8Bit(std::strerror(journalError))));
    }
    const qsizetype journaled = m_journal ? m_journal->journaled() : 0;
    if (m_journal && journaled == 0 && m_options.journal.isEmpty()) {
        ::unlink(m_journal->journalPath().constData()); // nothing to take back: no journal to keep
    }
    const bool plan = m_options.dryRun;
    QString summary = QStringLiteral("calvane-rename: %1%2 files: %3 %4, %5 unchanged, %6, %7")
                          .arg(plan ? QStringLiteral("plan for ") : QString())
                          .arg(total)
                          .arg(m_tally.renamed)
                          .arg(plan ? QStringLiteral("to rename") : QStringLiteral("renamed"))
                          .arg(m_tally.unchanged)
                          .arg(Tally::byReason(m_tally.skipped, QStringLiteral("skipped")),
                               Tally::byReason(m_tally.failed, QStringLiteral("failed")));
    if (done < total) {
        summary += QStringLiteral("; stopped after %1 of %2 files").arg(done).arg(total);
    }
    if (plan) {
        summary += QStringLiteral("; nothing was changed");
    }
    printErr(summary + u'\n');
    if (journaled > 0) {
        printErr(QStringLiteral("calvane-rename: journal %1 (calvane-rename --undo takes it back)\n")
                     .arg(shownText(m_journal->journalPath())));
    }
    for (const QByteArray& stranded : m_stranded) {
        printErr(QStringLiteral("calvane-rename: a file was left under a temporary name (its name was taken "
                                "meanwhile; rename it by hand or with --undo): %1\n")
                     .arg(shownText(stranded)));
    }
    if (m_outputClosed) {
        printErr(QStringLiteral("calvane-rename: the output was closed; stopped\n"));
    }
    if (m_stop() && done < total) {
        return kExitInterrupted;
    }
    return m_tally.failed.empty() && !m_journalFailed && !m_outputClosed && journalError == 0 ? kExitOk
                                                                                              : kExitFailed;
}

int Run::titles()
{
    TitleRenameOptions rename;
    rename.settings = loadSettings(m_options);
    rename.replaceRefused = m_options.replaceRefused;
    rename.onConflict = m_options.onConflict;

    const Batch batch = CollectBatch(m_options.paths, m_options.recursive, m_stop);
    if (m_realDisk) {
        batch.expectFoldersIn(*m_realDisk); // a folder replaced during the run is not renamed in
    }
    const qsizetype total = batch.size();
    m_progress = std::make_unique<Progress>(total);
    if (!startJournal({})) {
        return kExitFailed;
    }
    qsizetype done = 0;
    for (qsizetype i = 0; i < total; ++i) {
        if (stopping()) {
            break;
        }
        const QByteArray name = batch.name(i);
        const QByteArray& folder = batch.folder(i);
        FileRename file;
        if (batch.error(i) != 0) {
            file.result =
                batch.error(i) == ErrNo::FileNotFound ? ConvResult::NoFile : ConvResult::OtherFailure;
            file.error = batch.error(i);
        } else {
            try {
                file = RenameToTitle(*m_space, folder, name, rename);
            } catch (const std::exception&) {
                const RuntimeError failure = CurrentFailure();
                file = FileRename{ConvResult::OtherFailure, false, {}, {}, failure.number(), {}};
            }
        }
        report(batch.shownFolder(i) + name, batch.shownFolder(i), file);
        count(file, false);
        m_progress->update(++done);
        if (journalFailed()) {
            break;
        }
    }
    return finish(done, total);
}

int Run::undo()
{
    const WholeFile file = ReadWholeOrdinaryFile(m_options.undo);
    if (file.status != WholeFile::Status::Ok) {
        printErr(QStringLiteral("calvane-rename: cannot read the journal %1: %2\n")
                     .arg(shownText(m_options.undo), QString::fromLocal8Bit(std::strerror(file.err))));
        return kExitFailed;
    }
    if (const JournalRefusal refusal = CheckJournalToUndo(m_options.undo); refusal != JournalRefusal::None) {
        // Another user could have written it: its entries could name any file of ours.
        printErr(QStringLiteral("calvane-rename: the journal %1 is refused: %2 (the journal or its folder); "
                                "nothing was renamed\n")
                     .arg(shownText(m_options.undo), JournalRefusalText(refusal)));
        return kExitFailed;
    }
    const JournalRead read = ReadJournal(file.bytes);
    if (!read.error.isEmpty()) {
        printErr(QStringLiteral("calvane-rename: %1, line %2: %3; nothing was renamed\n")
                     .arg(shownText(m_options.undo))
                     .arg(read.errorLine)
                     .arg(read.error));
        return kExitFailed;
    }
    if (read.lastLineCut) {
        printErr(
            QStringLiteral("calvane-rename: %1: its last line was cut off while it was written and is left "
                           "out\n")
                .arg(shownText(m_options.undo)));
    }
    const auto total = static_cast<qsizetype>(read.entries.size());
    m_progress = std::make_unique<Progress>(total);
    char* real = ::realpath(m_options.undo.constData(), nullptr);
    const QByteArray journalRead = real ? QByteArray(real) : m_options.undo;
    std::free(real);
    if (!startJournal(journalRead)) {
        return kExitFailed;
    }
    qsizetype done = 0;
    for (auto entry = read.entries.rbegin(); entry != read.entries.rend(); ++entry) {
        if (stopping()) {
            break;
        }
        FileRename back;
        const UndoResult undone = UndoJournalEntry(*m_space, *entry);
        const QByteArray folder = entry->to.first(entry->to.lastIndexOf('/') + 1);
        if (undone.outcome == UndoOutcome::NeverDone) {
            // The run was stopped between this line and its rename: the file has its old name.
            back.unchanged = true;
            back.newName = nameOf(entry->from);
            report(entry->from, folder, back);
        } else {
            back.result = undone.error == 0 ? ConvResult::Renamed : ConvResultOfFailure(undone.error);
            if (undone.error == 0) {
                back.newName = nameOf(entry->from);
            } else if (back.result == ConvResult::NameExists || back.result == ConvResult::AccessFailure) {
                back.wantedName = nameOf(entry->from);
            } else {
                back.error = undone.error;
            }
            report(entry->to, folder, back);
        }
        count(back, true); // a name taken meanwhile leaves the file unrestored
        m_progress->update(++done);
        if (journalFailed()) {
            break;
        }
    }
    return finish(done, total);
}

bool takeValue(int argc, char** argv, int& i, const char* option, QByteArray& value, QString& error)
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

} // namespace

RenameToolOptions ParseRenameToolArgs(int argc, char** argv)
{
    RenameToolOptions o;
    bool optionsEnd = false;
    bool journalGiven = false;
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
        } else if (a == "--keep-trailing-spaces") {
            o.keepTrailingSpaces = true;
        } else if (a == "--allow-blank-titles") {
            o.allowBlankTitles = true;
        } else if (a == "--no-journal") {
            o.noJournal = true;
        } else if (takeValue(argc, argv, i, "--on-conflict", value, o.usageError)) {
            if (value == "skip") {
                o.onConflict = OnConflict::Skip;
            } else if (value == "number") {
                o.onConflict = OnConflict::Number;
            } else if (o.usageError.isEmpty()) {
                o.usageError = QStringLiteral("--on-conflict takes skip or number");
            }
        } else if (takeValue(argc, argv, i, "--journal", o.journal, o.usageError)) {
            journalGiven = true;
        } else if (takeValue(argc, argv, i, "--undo", o.undo, o.usageError)) {
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
        if (!o.paths.empty() || o.recursive || o.replaceRefused || o.keepTrailingSpaces ||
            o.allowBlankTitles || o.onConflict != OnConflict::Skip) {
            o.usageError = QStringLiteral("--undo takes a journal and no paths or title options");
        }
    } else if (o.paths.empty()) {
        o.usageError = QStringLiteral("no file or folder given");
    }
    return o;
}

int RunRenameTool(const RenameToolOptions& options, const std::function<bool()>& stopRequested,
                  RenameCalls& calls)
{
    Run run(options, stopRequested, calls);
    return options.undo.isEmpty() ? run.titles() : run.undo();
}

} // namespace calvane
