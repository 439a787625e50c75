// What a screen reader hears of each window: every control walked through Qt's
// accessibility interfaces (as the accessibility bus reads them) has a name of its
// own, a field the user cannot type into is read-only and not editable, and Tab
// goes through the controls in reading order.

#include "MainWindowFixture.h"
#include "gui/desktop/TextBoxAccessibility.h"
#include "gui/frmAllConv.h"
#include "gui/frmEdit.h"
#include "gui/frmReview.h"
#include "gui/frmUndo.h"
#include "gui/frmVerInfo.h"

#include <QAccessible>
#include <QPointer>
#include <QRadioButton>

#include <map>
#include <set>
#include <utility>

using namespace calvane;
using namespace calvane::test;

namespace {

/// One control as the accessibility interfaces give it.
struct Heard
{
    QString object;
    QAccessible::Role role;
    QString name;
    QAccessible::State state;
    QStringList groups; // the names of the groups around it

    std::string said() const
    {
        return QStringLiteral("%1 (role %2): \"%3\"").arg(object).arg(role).arg(name).toStdString();
    }
};

/// Roles a user acts on or reads a value from; panes, groups, labels and the
/// window's own frame are not among them.
bool isControl(QAccessible::Role role)
{
    switch (role) {
    case QAccessible::PushButton:
    case QAccessible::CheckBox:
    case QAccessible::RadioButton:
    case QAccessible::ComboBox:
    case QAccessible::EditableText:
    case QAccessible::List:
    case QAccessible::Table:
    case QAccessible::Tree:
    case QAccessible::Slider:
    case QAccessible::ProgressBar:
    case QAccessible::PageTabList:
    case QAccessible::PageTab:
    case QAccessible::SpinBox:
    case QAccessible::Graphic:
    case QAccessible::MenuItem:
        return true;
    default:
        return false;
    }
}

/// The name a screen reader says: a drop-down list's is its label's (on this
/// desktop the list's own name is the entry it shows), any other control's its own.
QString nameOf(QAccessibleInterface* node)
{
    if (node->role() != QAccessible::ComboBox) {
        return node->text(QAccessible::Name);
    }
    const auto labels = node->relations(QAccessible::Label);
    return labels.isEmpty() ? QString() : labels.first().first->text(QAccessible::Name);
}

void walk(QAccessibleInterface* node, QStringList groups, std::vector<Heard>& heard)
{
    const QAccessible::Role role = node->role();
    if (isControl(role)) {
        heard.push_back({node->object() ? node->object()->objectName() : QString(), role, nameOf(node),
                         node->state(), groups});
    }
    if (role == QAccessible::List || role == QAccessible::Table || role == QAccessible::Tree ||
        role == QAccessible::ComboBox) {
        return; // their entries are the user's files and folders
    }
    if (role == QAccessible::Grouping) {
        groups.append(node->text(QAccessible::Name));
    }
    for (int i = 0; i < node->childCount(); ++i) {
        walk(node->child(i), groups, heard);
    }
}

bool takesTab(const QWidget* w)
{
    return (w->focusPolicy() & Qt::TabFocus) != 0;
}

/// The window's focus chain: the controls Tab may reach, in their order, whether
/// or not they are shown or enabled now (not the parts of a control, such as a
/// tab strip's scroll buttons).
QStringList focusChain(QWidget* window)
{
    QStringList chain;
    for (QWidget* w = window->nextInFocusChain(); w && w != window; w = w->nextInFocusChain()) {
        bool part = false;
        for (const QWidget* p = w->parentWidget(); p && p != window; p = p->parentWidget()) {
            part = part || takesTab(p);
        }
        if (takesTab(w) && !part && window->isAncestorOf(w)) {
            chain << w->objectName();
        }
    }
    return chain;
}

/// The controls of the order that Tab stops at now: shown and enabled, and of a
/// set of options only the chosen one (the arrow keys move within the set).
QStringList tabStops(QWidget* window, const QStringList& order)
{
    QStringList stops;
    for (const QString& name : order) {
        const QWidget* w = window->findChild<QWidget*>(name);
        const auto* option = qobject_cast<const QRadioButton*>(w);
        if (w && w->isVisible() && w->isEnabled() && (!option || option->isChecked())) {
            stops << name;
        }
    }
    return stops;
}

/// What real Tab presses reach from the first stop, once round and back to it.
QStringList tabbed(QWidget* window, const QStringList& stops)
{
    window->findChild<QWidget*>(stops.first())->setFocus(Qt::TabFocusReason);
    QStringList seen;
    for (qsizetype i = 0; i < stops.size(); ++i) {
        seen << QApplication::focusWidget()->objectName();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    EXPECT_EQ(QApplication::focusWidget()->objectName(), stops.first()) << "not back at the start";
    return seen;
}

struct WindowCase
{
    const char* window;
    QStringList tabOrder;
    QStringList readOnly; // the fields the user cannot type into
};

void PrintTo(const WindowCase& c, std::ostream* os)
{
    *os << c.window;
}

const WindowCase kWindows[] = {
    {"frmMain",
     {"drvDrive", "dirDirectory", "filFile", "txtFormat", "txtTrack", "txtDivision", "txtTime",
      "txtCopyright", "txtFileName", "txtConvFileName", "cmdReLoad", "cmdConv", "cmdAllConv", "sldPosition",
      "cmdPrev", "cmdPlay", "cmdStop"},
     {"txtFileName", "txtFormat", "txtTrack", "txtDivision", "txtTime", "txtCopyright"}},
    {"frmAllConv",
     {"txtFileName", "txtConvFileName", "cmdConv", "cmdSkip", "cmdStop"},
     {"txtFileName", "txtConvFileName"}}, // the title box takes typing only at a file that stopped the run
    {"frmEdit",
     {"TabEdit",      "optDClick(0)",     "optDClick(1)", "optDel(0)",  "optDel(1)",
      "chkdel",       "chkAppointFolder", "txtPath",      "cmdSearch",  "chkSaveLastFolder",
      "chkLastSpace", "chkSpace",         "chkStart",     "chkErrSkip", "chkNoMIDITitle",
      "chkUsePlayer", "txtExePath",       "cmdExeSearch", "chkRepeat",  "cmbMIDIDevice",
      "cmdOK",        "cmdCancel"},
     {}},
    {"frmVerInfo", {"txtURL", "txtCopyright", "txtInfo"}, {"txtURL", "txtCopyright", "txtInfo"}},
    {"frmReview", {"txtFilter", "tblReview", "cmdConv", "cmdAbort", "cmdClose"}, {}},
    {"frmUndo", {"tblRuns", "txtReport", "cmdUndo", "cmdClose"}, {"txtReport"}},
};

class AccessibilityTest : public MainWindowTest, public ::testing::WithParamInterface<WindowCase>
{
protected:
    /// Opens the window as a user does and gives it once it is active.
    QWidget* open(const QString& name)
    {
        InstallTextBoxAccessibility(); // as the program does at start
        addMidi(QStringLiteral("a.mid"), "A");
        start();
        QWidget* opened = nullptr;
        if (name == QLatin1String("frmMain")) {
            return window.get();
        } else if (name == QLatin1String("frmAllConv")) {
            QTest::mouseClick(window->cmdAllConv, Qt::LeftButton);
            opened = window->allConvWindow();
        } else if (name == QLatin1String("frmEdit")) {
            QTest::keyClick(window.get(), Qt::Key_E, Qt::ControlModifier);
            opened = window->editWindow();
        } else if (name == QLatin1String("frmVerInfo")) {
            window->mnuVer->trigger();
            opened = window->verInfoWindow();
        } else if (name == QLatin1String("frmReview")) {
            QTest::keyClick(window.get(), Qt::Key_L, Qt::ControlModifier);
            opened = window->reviewWindow();
        } else if (name == QLatin1String("frmUndo")) {
            window->mnuUndo->trigger();
            opened = window->undoWindow();
        }
        const QPointer<QWidget> alive(opened);
        EXPECT_TRUE(QTest::qWaitFor([&] { return alive && alive->isActiveWindow(); })) << name.toStdString();
        return alive;
    }
};

TEST_P(AccessibilityTest, EveryControlHasANameOfItsOwnFieldsSayWhetherTheyTakeTypingAndTabReadsInOrder)
{
    const WindowCase& c = GetParam();
    QWidget* shown = open(QString::fromLatin1(c.window));
    ASSERT_NE(shown, nullptr);
    ASSERT_EQ(shown->objectName(), QString::fromLatin1(c.window));

    std::vector<Heard> heard;
    walk(QAccessible::queryAccessibleInterface(shown), {}, heard);
    ASSERT_FALSE(heard.empty());
    std::set<QString> objects;
    // Name -> who says it. A menu item may repeat a button's caption, and a tab strip
    // is named by its current tab.
    std::map<QString, std::string> outsideMenus;
    for (const Heard& control : heard) {
        objects.insert(control.object);
        EXPECT_FALSE(control.name.trimmed().isEmpty()) << "unnamed: " << control.said();
        EXPECT_FALSE(control.groups.contains(control.name)) << "named after its group: " << control.said();
        if (control.role != QAccessible::MenuItem && control.role != QAccessible::PageTab) {
            const auto [other, fresh] = outsideMenus.emplace(control.name, control.said());
            EXPECT_TRUE(fresh) << "the same name twice: " << control.said() << " and " << other->second;
        }
        if (control.role == QAccessible::EditableText) {
            const bool readOnly = c.readOnly.contains(control.object);
            EXPECT_EQ(control.state.readOnly, readOnly) << control.said();
            EXPECT_EQ(control.state.editable, !readOnly) << control.said();
        }
    }
    for (const QString& name : c.tabOrder) {
        EXPECT_TRUE(objects.count(name)) << "not heard: " << name.toStdString();
    }

    EXPECT_EQ(focusChain(shown), c.tabOrder);
    const QStringList stops = tabStops(shown, c.tabOrder);
    ASSERT_FALSE(stops.isEmpty());
    EXPECT_EQ(tabbed(shown, stops), stops);
}

TEST_F(MainWindowTest, AScreenReaderReadsEveryFieldAndEditsOnlyTheOnesThatTakeTyping)
{
    InstallTextBoxAccessibility();
    addMidi(QStringLiteral("a.mid"), "Title");
    start();
    clickEntry(QStringLiteral("a.mid"));
    ASSERT_EQ(window->txtConvFileName->text(), QStringLiteral("Title"));

    QAccessibleInterface* name = QAccessible::queryAccessibleInterface(window->txtFileName);
    ASSERT_NE(name->textInterface(), nullptr);
    EXPECT_EQ(name->textInterface()->text(0, name->textInterface()->characterCount()),
              QStringLiteral("a.mid"));
    EXPECT_EQ(name->text(QAccessible::Value), QStringLiteral("a.mid"));
    EXPECT_EQ(name->editableTextInterface(), nullptr);
    name->setText(QAccessible::Value, QStringLiteral("b.mid"));
    EXPECT_EQ(window->txtFileName->text(), QStringLiteral("a.mid"));

    QAccessibleInterface* title = QAccessible::queryAccessibleInterface(window->txtConvFileName);
    ASSERT_NE(title->editableTextInterface(), nullptr);
    title->editableTextInterface()->replaceText(0, 1, QStringLiteral("Sub"));
    EXPECT_EQ(window->txtConvFileName->text(), QStringLiteral("Subitle"));
    QAccessibleTextInterface* text = title->textInterface();
    text->setSelection(0, 3, 7);
    EXPECT_EQ(window->txtConvFileName->selectedText(), QStringLiteral("itle"));
    int start = -1;
    int end = -1;
    text->selection(0, &start, &end);
    EXPECT_EQ(std::pair(start, end), std::pair(3, 7));
    // Each character stands where the box draws it: a point inside one finds it.
    const QRect box(window->txtConvFileName->mapToGlobal(QPoint(0, 0)), window->txtConvFileName->size());
    for (int offset = 0; offset < text->characterCount(); ++offset) {
        const QRect character = text->characterRect(offset);
        EXPECT_TRUE(box.contains(character.center())) << offset;
        EXPECT_EQ(text->offsetAtPoint(character.center() - QPoint(character.width() / 4, 0)), offset);
    }
}

INSTANTIATE_TEST_SUITE_P(Windows, AccessibilityTest, ::testing::ValuesIn(kWindows),
                         [](const auto& info) { return std::string(info.param.window); });

} // namespace
