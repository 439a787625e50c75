// The journal reader of calvane-rename on arbitrary text: no crash, every entry it
// gives is a rename inside one folder or a move into or out of a trash folder
// with its record beside it, and what it gives is read back the same once
// written. Names made of the input's bytes come back byte for byte, in every kind.

#include "rename/JournalIndex.h"
#include "rename/RenameJournal.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

void check(bool condition)
{
    if (!condition) {
        std::abort();
    }
}

QByteArray journalOf(const std::vector<calvane::JournalEntry>& entries)
{
    QByteArray text = calvane::JournalHeaderLine(QStringLiteral("t"));
    for (const calvane::JournalEntry& entry : entries) {
        text += calvane::JournalEntryLine(entry);
    }
    return text;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace calvane;
    const QByteArrayView input(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const JournalRead read = ReadJournal(input);
    check(read.error.isEmpty() || read.entries.empty());
    for (const JournalEntry& entry : read.entries) {
        check(entry.from.startsWith('/') && !entry.from.contains('\0'));
        check(entry.to.startsWith('/') && !entry.to.contains('\0'));
        const QByteArray fromFolder = entry.from.first(entry.from.lastIndexOf('/') + 1);
        const QByteArray toFolder = entry.to.first(entry.to.lastIndexOf('/') + 1);
        switch (entry.kind) {
        case JournalEntry::Kind::Rename:
            check(fromFolder == toFolder && entry.info.isEmpty());
            break;
        case JournalEntry::Kind::Trash:
            check(toFolder.endsWith("/files/") && entry.info == toFolder.chopped(6) + "info/" +
                                                                    entry.to.sliced(toFolder.size()) +
                                                                    ".trashinfo");
            break;
        case JournalEntry::Kind::Restore:
            check(fromFolder.endsWith("/files/") && entry.info == fromFolder.chopped(6) + "info/" +
                                                                      entry.from.sliced(fromFolder.size()) +
                                                                      ".trashinfo");
            break;
        }
    }
    if (!read.entries.empty()) {
        check(ReadJournal(journalOf(read.entries)).entries == read.entries);
    }
    // The undo window's index reads the same text: a journal it can use is one it lists.
    const std::optional<JournalRun> run = ReadJournalRun("/state/j.jsonl", input);
    if (read.error.isEmpty() && !read.entries.empty() && input.startsWith("{") && input.contains('\n')) {
        check(run.has_value());
    }
    if (run) {
        check(run->files >= 0);
    }

    // The input's bytes as two names (no "/" and no NUL in a name).
    QByteArray name = input.toByteArray();
    name.replace('/', '_').replace('\0', '_');
    if (name.isEmpty() || name == "." || name == "..") {
        return 0;
    }
    const qsizetype half = name.size() / 2;
    const QByteArray other =
        half > 0 && name.first(half) != "." && name.first(half) != ".." ? name.first(half) : "x";
    using Kind = JournalEntry::Kind;
    const std::vector<JournalEntry> entries{
        {"/f/" + name, "/f/" + other},
        {"/f/" + name, "/t/files/" + other, Kind::Trash, "/t/info/" + other + ".trashinfo"},
        {"/t/files/" + other, "/f/" + name, Kind::Restore, "/t/info/" + other + ".trashinfo"}};
    check(ReadJournal(journalOf(entries)).entries == entries);
    return 0;
}
