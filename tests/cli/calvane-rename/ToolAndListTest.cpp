// The review list and the window against the real tool: the list's plan is the
// tool's row for row, and each takes back the other's runs.

#include "cli/calvane-rename/RenameToolFixture.h"
#include "rename/JournalIndex.h"
#include "rename/ReviewPlan.h"
#include "rename/ReviewRun.h"
#include "rename/RunJournal.h"
#include "rename/UndoRun.h"

#include <QJsonDocument>
#include <QJsonObject>

using namespace calvane;
using namespace calvane::test;

namespace {

// The review list's plan is the tool's: the same steps over the same planned
// space, row for row, for folders of every kind of finding.
struct PlanCase
{
    const char* name;
    std::vector<std::pair<QByteArray, QByteArray>> files; ///< path under music, title
    QList<QByteArray> args;                               ///< the tool's options
    ReviewOptions options;                                ///< the same, for the list
};

/// The list's options for the tool's.
ReviewOptions listOptions(bool recursive, bool replaceRefused, OnConflict onConflict,
                          TextEncoding encoding = TextEncoding::Auto,
                          QStringList extensions = {QStringLiteral("mid")}, bool shorten = false)
{
    ReviewOptions o;
    o.recursive = recursive;
    o.replaceRefused = replaceRefused;
    o.onConflict = onConflict;
    o.encoding = encoding;
    o.extensions = std::move(extensions);
    o.shorten = shorten;
    return o;
}

class ReviewPlanIsTheToolsPlan : public RenameToolTest, public ::testing::WithParamInterface<PlanCase>
{};

/// A JSON line's path relative to music/, its bytes when it names them.
QByteArray relativeField(const QJsonObject& line, const QString& field)
{
    const QJsonValue hexValue = line.value(field + QStringLiteral("_hex"));
    const QByteArray path = hexValue.isString() ? QByteArray::fromHex(hexValue.toString().toLatin1())
                                                : line.value(field).toString().toUtf8();
    return path.startsWith("music/") ? path.sliced(6) : path;
}

TEST_P(ReviewPlanIsTheToolsPlan, RowForRow)
{
    const PlanCase& c = GetParam();
    for (const auto& [path, title] : c.files) {
        write("music/" + path, MidiWithTitle(title));
    }
    const ToolRun run = tool(QList<QByteArray>{"-n", "--json"} + c.args << "music");
    QStringList fromTool;
    for (const QByteArray& line : run.out.split('\n')) {
        if (line.isEmpty()) {
            continue;
        }
        const QJsonObject o = QJsonDocument::fromJson(line).object();
        fromTool << QStringLiteral("%1 | %2 | %3 | %4 | %5 | %6 | %7 | %8 | %9")
                        .arg(QString::fromLatin1(relativeField(o, QStringLiteral("from")).toHex()),
                             QString::fromLatin1(relativeField(o, QStringLiteral("to")).toHex()))
                        .arg(o.value(QStringLiteral("result")).toInt(-1))
                        .arg(QString::fromLatin1(relativeField(o, QStringLiteral("wanted")).toHex()))
                        .arg(o.value(QStringLiteral("error")).toInt(0))
                        .arg(QString::fromLatin1(relativeField(o, QStringLiteral("identical_to")).toHex()))
                        .arg(o.value(QStringLiteral("trashed")).toBool())
                        .arg(o.value(QStringLiteral("too_long_by")).toInt(0))
                        .arg(o.value(QStringLiteral("hint")).toString());
    }
    const ReviewPlan plan = ReviewPlan::Make(root + "/music", c.options, [] { return false; });
    QStringList fromList;
    for (qsizetype i = 0; i < plan.size(); ++i) {
        const FileRename& f = plan.row(i).plan;
        const QByteArray relative = plan.relativePath(i);
        const QByteArray folder = relative.first(relative.lastIndexOf('/') + 1);
        const auto inFolder = [&](const QByteArray& name) {
            return QString::fromLatin1(name.isEmpty() ? "" : (folder + name).toHex());
        };
        fromList << QStringLiteral("%1 | %2 | %3 | %4 | %5 | %6 | %7 | %8 | %9")
                        .arg(QString::fromLatin1(relative.toHex()),
                             f.result == ConvResult::Renamed ? inFolder(f.newName) : QString())
                        .arg(ConvResultNumber(f.result))
                        .arg(inFolder(f.wantedName))
                        .arg(f.error)
                        .arg(inFolder(f.identicalTo))
                        .arg(f.trashed)
                        .arg(f.tooLongBy)
                        .arg(plan.row(i).mayBeEucJp ? QStringLiteral("euc-jp") : QString());
    }
    EXPECT_FALSE(fromList.isEmpty());
    EXPECT_EQ(fromList, fromTool);
}

const QByteArray kEucJpSong = hex("BDD5 A4CE B3A4"); // 春の海 in EUC-JP, ｽﾕ､ﾎｳ､ in Shift_JIS

INSTANTIATE_TEST_SUITE_P(
    Folders, ReviewPlanIsTheToolsPlan,
    ::testing::Values(
        PlanCase{"ClashesWithinTheList",
                 {{"a.mid", "Z"},
                  {"b.mid", "a"},
                  {"c.mid", "Same"},
                  {"d.mid", "Same"},
                  {"e.mid", "Same"},
                  {"x.mid", "y"},
                  {"y.mid", "x"},
                  {"Kept.mid", "Kept"}},
                 {},
                 listOptions(false, false, OnConflict::Skip)},
        PlanCase{"NumberedClashes",
                 {{"c.mid", "Same"}, {"d.mid", "Same"}, {"Same (2).mid", "Other"}, {"e.mid", "Same"}},
                 {"--on-conflict=number"},
                 listOptions(false, false, OnConflict::Number)},
        PlanCase{"IdenticalCopiesToTheTrash",
                 {{"Same.mid", "Same"}, {"c.mid", "Same"}, {"d.mid", "Other"}, {"Other.mid", "Other?"}},
                 {"--on-conflict=trash-identical"},
                 listOptions(false, false, OnConflict::TrashIdentical)},
        PlanCase{"RefusedCharacters",
                 {{"r1.mid", "A/B"},
                  {"r2.mid", "Who?"},
                  {"r3.mid", "Line\r\nTwo"},
                  {"r4.mid", ".hidden"},
                  {"r5.mid", "Tab\tbed"},
                  {"r6.mid", "\x1b[31mRed"}},
                 {},
                 listOptions(false, false, OnConflict::Skip)},
        PlanCase{"RefusedCharactersReplaced",
                 {{"r1.mid", "A/B"},
                  {"r2.mid", "Who?"},
                  {"r3.mid", "Line\r\nTwo"},
                  {"r5.mid", "Tab\tbed"},
                  {"r6.mid", "\x1b[31mRed\x7f"}},
                 {"--replace-refused"},
                 listOptions(false, true, OnConflict::Skip)},
        PlanCase{"NoTitles",
                 {{"blank.mid", ""}, {"spaces.mid", "   "}, {"ok.mid", "Fine  "}},
                 {},
                 listOptions(false, false, OnConflict::Skip)},
        PlanCase{"ShiftJisNamesAndATitleTooLong",
                 {{"\x8b\xc8.mid", "\x8b\xc8\x82\xcc\x96\xbc"},
                  {"\x83\x70\x83\x58.mid", "\x8b\xc8\x82\xcc\x96\xbc"},
                  {"long.mid", QByteArray("\x92\xb7").repeated(127)}},
                 {},
                 listOptions(false, false, OnConflict::Skip)},
        PlanCase{
            "TitlesShortened",
            {{"long.mid", QByteArray("\x92\xb7").repeated(127)},
             {"long2.mid", QByteArray("\x92\xb7").repeated(127)},
             {"latin.mid", QByteArray(300, 'x')}},
            {"--shorten", "--on-conflict=number"},
            listOptions(false, false, OnConflict::Number, TextEncoding::Auto, {QStringLiteral("mid")}, true)},
        PlanCase{"EncodingHints",
                 {{"euc.mid", kEucJpSong}, {"kana.mid", hex("BBB8 D7")}, {"sjis.mid", kSjisSong}},
                 {},
                 listOptions(false, false, OnConflict::Skip)},
        PlanCase{"EucJp",
                 {{"euc.mid", kEucJpSong}, {"sjis.mid", kSjisSong}, {"ascii.mid", "Plain"}},
                 {"--encoding=EUC-JP"},
                 listOptions(false, false, OnConflict::Skip, TextEncoding::EucJp)},
        PlanCase{"Cp1252",
                 {{"latin.mid", "T\xe9nor Caf\xe9"}, {"undefined.mid", "x\x81y"}},
                 {"--encoding=cp1252"},
                 listOptions(false, false, OnConflict::Skip, TextEncoding::Cp1252)},
        PlanCase{
            "Extensions",
            {{"a.mid", "A"}, {"b.MIDI", "B"}, {"c.Kar", "C"}, {"d.rmi", "D"}, {"e.txt", "E"}, {"f.KAR", "C"}},
            {"--ext=midi,KAR,.rmi"},
            listOptions(false, false, OnConflict::Skip, TextEncoding::Auto,
                        {QStringLiteral("midi"), QStringLiteral("kar"), QStringLiteral("rmi")})},
        PlanCase{"ASubfolderTree",
                 {{"top.mid", "Song"},
                  {"sub/one.mid", "Song"},
                  {"sub/two.mid", "Song"},
                  {"sub/\x83\x70\x83\x58/deep.mid", "Deep"},
                  {"sub/deeper/more/x.mid", "top"}},
                 {"-r"},
                 listOptions(true, false, OnConflict::Skip)}),
    [](const ::testing::TestParamInfo<PlanCase>& info) { return std::string(info.param.name); });

// A run of the window is taken back by the tool, and a run of the tool by the window's undo.
TEST_F(RenameToolTest, TheWindowsJournalsAndTheToolsTakeEachOtherBack)
{
    write("music/1.mid", MidiWithTitle("One"));
    write("music/2.mid", MidiWithTitle("Two"));
    write("music/\x8b\xc8.mid", MidiWithTitle("\x8b\xc8\x82\xcc\x96\xbc"));
    const Tree before = tree();
    ReviewPlan plan = ReviewPlan::Make(root + "/music", {}, [] { return false; });
    RunJournal window("review", root + "/music/", {}, root + "/.state/calvane/");
    ::mkdir((root + "/.state").constData(), 0700);
    ::mkdir((root + "/.state/calvane").constData(), 0700);
    EXPECT_EQ(ApplyReviewPlan(plan, window, nullptr, [](qsizetype, qsizetype) { return true; }).renamed, 3);
    window.close();
    ASSERT_EQ(journals().size(), 1);
    const ToolRun undo = tool({"--undo", journals()[0]});
    EXPECT_EQ(undo.status, 0) << undo.err.toStdString();
    EXPECT_EQ(tree(), before);

    ASSERT_EQ(tool({"music"}).status, 0);
    EXPECT_NE(tree(), before);
    const std::vector<JournalRun> runs = ListJournalRuns(root + "/.state/calvane/");
    ASSERT_EQ(runs.size(), 3u);
    EXPECT_EQ(runs[0].run, "") << "the newest is the tool's run";
    EXPECT_TRUE(runs[2].undone) << "the window's run, taken back by the tool";
    RunJournal back("undo", runs[0].folder, runs[0].path, root + "/.state/calvane/");
    const UndoRunResult undone =
        UndoJournalRun(runs[0].path, back, back, [](qsizetype, qsizetype) { return true; });
    back.close();
    EXPECT_EQ(undone.count(UndoOutcome::Done), 3);
    EXPECT_EQ(tree(), before);
    EXPECT_TRUE(ListJournalRuns(root + "/.state/calvane/")[1].undone);
}

} // namespace
