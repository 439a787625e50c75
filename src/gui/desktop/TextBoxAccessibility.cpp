#include "gui/desktop/TextBoxAccessibility.h"

#include <QAccessibleWidget>
#include <QFontMetrics>
#include <QLineEdit>
#include <QValidator>

#include <algorithm>

namespace calvane {
namespace {

/// A line edit through its public interface: its text, caret and selection, and
/// editing only while it is not read-only.
class TextBoxAccessible final : public QAccessibleWidget,
                                public QAccessibleTextInterface,
                                public QAccessibleEditableTextInterface
{
public:
    explicit TextBoxAccessible(QLineEdit* box) : QAccessibleWidget(box, QAccessible::EditableText)
    {
        addControllingSignal(QStringLiteral("textChanged(QString)"));
        addControllingSignal(QStringLiteral("returnPressed()"));
    }

    QString text(QAccessible::Text kind) const override
    {
        if (kind == QAccessible::Value) {
            return box()->displayText();
        }
        const QString text = QAccessibleWidget::text(kind);
        return text.isEmpty() && kind == QAccessible::Description ? box()->placeholderText() : text;
    }

    void setText(QAccessible::Text kind, const QString& text) override
    {
        if (kind != QAccessible::Value) {
            QAccessibleWidget::setText(kind, text);
        } else if (typable()) {
            setBoxText(text);
        }
    }

    QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleWidget::state();
        state.readOnly = box()->isReadOnly();
        state.editable = !state.readOnly;
        state.passwordEdit = box()->echoMode() != QLineEdit::Normal;
        state.selectableText = true;
        return state;
    }

    void* interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::TextInterface) {
            return static_cast<QAccessibleTextInterface*>(this);
        }
        if (type == QAccessible::EditableTextInterface && !box()->isReadOnly()) {
            return static_cast<QAccessibleEditableTextInterface*>(this);
        }
        return QAccessibleWidget::interface_cast(type);
    }

    // The text, the caret and the selection.
    QString text(int start, int end) const override
    {
        return start <= end ? box()->displayText().mid(start, end - start) : QString();
    }
    int characterCount() const override { return static_cast<int>(box()->displayText().size()); }
    int cursorPosition() const override { return box()->cursorPosition(); }
    void setCursorPosition(int position) override { box()->setCursorPosition(position); }
    int selectionCount() const override { return box()->hasSelectedText() ? 1 : 0; }
    void selection(int index, int* start, int* end) const override
    {
        *start = index == 0 && box()->hasSelectedText() ? box()->selectionStart() : 0;
        *end = index == 0 && box()->hasSelectedText() ? box()->selectionEnd() : 0;
    }
    void addSelection(int start, int end) override { setSelection(0, start, end); }
    void removeSelection(int index) override
    {
        if (index == 0) {
            box()->deselect();
        }
    }
    void setSelection(int index, int start, int end) override
    {
        if (index == 0) {
            box()->setSelection(start, end - start);
        }
    }
    QString attributes(int offset, int* start, int* end) const override
    {
        *start = *end = offset; // plain text
        return {};
    }
    // -2 is the caret's place.
    QString textBeforeOffset(int offset, QAccessible::TextBoundaryType boundary, int* start,
                             int* end) const override
    {
        return QAccessibleTextInterface::textBeforeOffset(atCaret(offset), boundary, start, end);
    }
    QString textAfterOffset(int offset, QAccessible::TextBoundaryType boundary, int* start,
                            int* end) const override
    {
        return QAccessibleTextInterface::textAfterOffset(atCaret(offset), boundary, start, end);
    }
    QString textAtOffset(int offset, QAccessible::TextBoundaryType boundary, int* start,
                         int* end) const override
    {
        return QAccessibleTextInterface::textAtOffset(atCaret(offset), boundary, start, end);
    }

    // Where the characters stand: measured from the caret, the one place the box
    // tells (its rectangle stands around the caret).
    QRect characterRect(int offset) const override
    {
        const QString shown = box()->displayText();
        if (offset < 0 || offset >= shown.size()) {
            return {};
        }
        const QFontMetrics metrics(box()->font());
        const QRect caret = box()->inputMethodQuery(Qt::ImCursorRectangle).toRect();
        const int caretAt = std::min(box()->cursorPosition(), static_cast<int>(shown.size()));
        const int x = caret.center().x() + metrics.horizontalAdvance(shown.left(offset)) -
                      metrics.horizontalAdvance(shown.left(caretAt));
        const QRect local(x, caret.y(), metrics.horizontalAdvance(shown.mid(offset, 1)), caret.height());
        return QRect(box()->mapToGlobal(local.topLeft()), local.size());
    }
    int offsetAtPoint(const QPoint& point) const override
    {
        return box()->cursorPositionAt(box()->mapFromGlobal(point));
    }
    void scrollToSubstring(int start, int end) override
    {
        box()->setCursorPosition(end);
        box()->setCursorPosition(start);
    }

    // Editing, offered only while the box is not read-only.
    void deleteText(int start, int end) override { replaceText(start, end, {}); }
    void insertText(int offset, const QString& text) override { replaceText(offset, offset, text); }
    void replaceText(int start, int end, const QString& text) override
    {
        if (typable() && 0 <= start && start <= end) {
            setBoxText(box()->text().replace(start, end - start, text));
        }
    }

private:
    QLineEdit* box() const { return static_cast<QLineEdit*>(widget()); }
    bool typable() const { return !box()->isReadOnly() && box()->isEnabled(); }
    int atCaret(int offset) const { return offset == -2 ? box()->cursorPosition() : offset; }

    void setBoxText(const QString& text)
    {
        QString checked = text;
        int position = 0;
        if (!box()->validator() ||
            box()->validator()->validate(checked, position) == QValidator::Acceptable) {
            box()->setText(text);
        }
    }
};

QAccessibleInterface* textBoxFactory(const QString& className, QObject* object)
{
    if (className == QLatin1String("QLineEdit")) {
        if (auto* box = qobject_cast<QLineEdit*>(object)) {
            return new TextBoxAccessible(box); // owned by Qt's cache of interfaces
        }
    }
    return nullptr;
}

} // namespace

void InstallTextBoxAccessibility()
{
    QAccessible::installFactory(textBoxFactory);
}

} // namespace calvane
