#pragma once

#include <QDialog>
#include <QPointer>

namespace calvane {

/// A window opened over the main window (the batch dialog, the settings dialog,
/// the about box). While it is open its owner takes no input, and it stays fully
/// usable itself: it is modal to its owner's window only, not a child of a
/// disabled widget. Every way of closing it (the close box, Escape, a button that
/// closes it, the owner's unload) runs its unload step exactly once, then it is
/// deleted once nothing of its own is running. Enter never presses a button just
/// because it is the default one: a window says what Enter does (enterPressed).
class SecondaryWindow : public QDialog
{
    Q_OBJECT
public:
    explicit SecondaryWindow(QWidget& owner);

    /// Shows the window over its owner and gives it the focus.
    void showOverOwner();

    bool isUnloaded() const { return m_unloaded; }

signals:
    /// After the window's own unload step, once.
    void Unloaded();

protected:
    /// The window's own unload step.
    virtual void Form_Unload() {}
    /// Enter or Return that no control of the window took; nothing by default.
    virtual void enterPressed() {}

    /// Something of the window's own runs (a loop that lets events run): a close
    /// meanwhile unloads at once but defers the deletion until the last one ends.
    class Busy
    {
    public:
        explicit Busy(SecondaryWindow& window);
        ~Busy();
        Busy(const Busy&) = delete;
        Busy& operator=(const Busy&) = delete;

    private:
        QPointer<SecondaryWindow> m_window; // its owner may still delete it
    };

    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void done(int result) override;

private:
    bool m_unloaded = false;
    int m_busy = 0;
};

} // namespace calvane
