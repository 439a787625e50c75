// The journal reader of calvane-rename on arbitrary text: no crash, every entry it
// gives is a rename inside one folder, and what it gives is read back the same
// once written. Names made of the input's bytes come back byte for byte.

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
        check(entry.from.first(entry.from.lastIndexOf('/')) == entry.to.first(entry.to.lastIndexOf('/')));
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
    const std::vector<JournalEntry> entries{{"/f/" + name, "/f/" + other}};
    check(ReadJournal(journalOf(entries)).entries == entries);
    return 0;
}
