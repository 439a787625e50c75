#pragma once

#include "errors/Guard.h"
#include "platform/MessageBoxes.h"
#include "platform/Pickers.h"
#include "platform/PlaybackTimer.h"
#include "platform/ProcessEnd.h"
#include "platform/Trash.h"
#include "platform/UrlOpener.h"

#include <QByteArray>
#include <QEventLoop>
#include <QList>
#include <QString>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <functional>
#include <vector>

namespace calvane::test {

/// Thrown by the fakes where the real program would end. Not a std::exception,
/// so no guard of the program catches it.
struct ProgramEnded
{
    int exitCode;
};

struct ShownBox
{
    QString text;
    QString caption;
    MsgIcon icon;
    MsgButtons buttons;
};

/// Records every box and answers with the scripted results (Ok / Yes by default).
/// onShow runs while a box is up, as a user acting before answering it.
///
/// With spins set, a box is up as a real one is: show() runs a nested event loop,
/// in which whatever is pending is delivered (timers, sockets, posted events, the
/// deferred deletions of that loop's level); onShow runs as an event of that
/// loop, and the answer comes as the event posted after it. Use it wherever
/// something can deliver events while a box is up (a timer, a socket, a batch
/// run, another window); the immediate answer where nothing can.
class FakeMessageBoxes final : public MessageBoxes
{
public:
    MsgResult show(const QString& text, const QString& caption, MsgIcon icon, MsgButtons buttons) override
    {
        shown.push_back({text, caption, icon, buttons});
        const ShownBox box = shown.back(); // onShow may show another
        if (!spins) {
            if (onShow) {
                onShow(box);
            }
            return answer(buttons);
        }
        QEventLoop loop;
        MsgResult result = MsgResult::Ok;
        QTimer::singleShot(0, &loop, [&] {
            if (onShow) {
                onShow(box);
            }
            result = answer(buttons);
            QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
        });
        loop.exec();
        return result;
    }

    std::vector<ShownBox> shown;
    std::deque<MsgResult> answers;
    std::function<void(const ShownBox&)> onShow;
    bool spins = false;

private:
    MsgResult answer(MsgButtons buttons)
    {
        if (!answers.empty()) {
            const MsgResult r = answers.front();
            answers.pop_front();
            return r;
        }
        return buttons == MsgButtons::YesNo ? MsgResult::Yes : MsgResult::Ok;
    }
};

/// Records each picker shown (its kind, owner and filter) and answers with the
/// scripted paths; "Cancel" once the script is used up.
class FakePickers final : public Pickers
{
public:
    struct Shown
    {
        QString kind; ///< "folder" or "file"
        const QWidget* owner;
        QString filter;
    };

    QString ShowFolderDialog(QWidget& owner) override
    {
        return answer({QStringLiteral("folder"), &owner, {}});
    }
    QString ShowOpenDialog(QWidget& owner, const QString& filter) override
    {
        return answer({QStringLiteral("file"), &owner, filter});
    }

    std::vector<Shown> shown;
    std::deque<QString> answers;

private:
    QString answer(Shown question)
    {
        shown.push_back(std::move(question));
        if (answers.empty()) {
            return QStringLiteral("Cancel");
        }
        QString path = answers.front();
        answers.pop_front();
        return path;
    }
};

class FakeProcessEnd final : public ProcessEnd
{
public:
    [[noreturn]] void endNow(int exitCode) override
    {
        ended = true;
        throw ProgramEnded{exitCode};
    }
    bool ended = false;
};

struct Report
{
    std::int32_t number;
    QString text;
    QString procedure;
};

/// Records the report, then "ends the program" by throwing ProgramEnded.
class FakeErrorReporter final : public ErrorReporter
{
public:
    [[noreturn]] void ReportError(std::int32_t number, const QString& text, const QString& procedure) override
    {
        reports.push_back({number, text, procedure});
        throw ProgramEnded{1};
    }
    std::vector<Report> reports;
};

/// The playback timer in the test's hand: nothing ticks until tick() is called,
/// whatever the interval, so a late tick after a switch-off can be delivered too.
/// `seen` is what the window last said of itself.
class FakePlaybackTimer final : public PlaybackTimer
{
public:
    void setHandler(std::function<void()> handler) override { m_handler = std::move(handler); }
    void setInterval(int milliseconds) override { m_interval = std::max(milliseconds, 0); }
    int interval() const override { return m_interval; }
    void setSeen(bool isSeen) override { seen = isSeen; }
    bool seen = true;

    void tick()
    {
        if (m_handler) {
            m_handler();
        }
    }

private:
    std::function<void()> m_handler;
    int m_interval = 0;
};

/// Records every address it is asked to open; opens nothing.
class FakeUrlOpener final : public UrlOpener
{
public:
    bool openUrl(const QUrl& url) override
    {
        opened.push_back(url);
        return opens;
    }
    std::vector<QUrl> opened;
    bool opens = true;
};

/// A trash that records every file it is given and moves it into `folder` (a
/// plain folder of the test), or refuses it with the errno in `failWith`.
class FakeTrash final : public Trash
{
public:
    int MoveToTrash(const QByteArray& nativePath) override
    {
        given.append(nativePath);
        if (failWith != 0) {
            return failWith;
        }
        const QByteArray to = folder + nativePath.mid(nativePath.lastIndexOf('/'));
        return std::rename(nativePath.constData(), to.constData()) == 0 ? 0 : errno;
    }

    /// The real steps into the test's folder as a trash folder ("files", "info").
    int MoveToTrashAt(const QByteArray& nativePath, const BeforeTrashMove& beforeMove) override
    {
        given.append(nativePath);
        if (failWith != 0) {
            return failWith;
        }
        return MoveIntoTrashFolder(folder + '/', nativePath, nativePath, beforeMove);
    }

    QByteArray folder;
    QList<QByteArray> given;
    int failWith = 0;
};

} // namespace calvane::test
