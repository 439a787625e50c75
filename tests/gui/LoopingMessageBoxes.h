#pragma once

#include "Fakes.h"

#include <QEventLoop>
#include <QTimer>

namespace calvane::test {

/// Boxes that wait as real ones do: each box runs a nested event loop until it
/// is answered, so timers, clicks and a run's own events are delivered while it
/// is up. onShow acts inside that loop (a click on another control, a close); the
/// box is answered from a zero timer after it.
class LoopingMessageBoxes final : public MessageBoxes
{
public:
    MsgResult show(const QString& text, const QString& caption, MsgIcon icon, MsgButtons buttons) override
    {
        shown.push_back({text, caption, icon, buttons});
        const ShownBox box = shown.back();
        QEventLoop loop;
        QTimer::singleShot(0, &loop, [&] {
            if (onShow) {
                onShow(box);
            }
            QTimer::singleShot(0, &loop, &QEventLoop::quit);
        });
        loop.exec();
        return buttons == MsgButtons::YesNo ? MsgResult::Yes : MsgResult::Ok;
    }

    std::vector<ShownBox> shown;
    std::function<void(const ShownBox&)> onShow;
};

} // namespace calvane::test
