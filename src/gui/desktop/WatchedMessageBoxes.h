#pragma once

#include "platform/MessageBoxes.h"

#include <QScopeGuard>

#include <functional>
#include <utility>

namespace calvane {

/// Message boxes that know whether one of them is up. A box runs an event loop
/// in which anything can arrive (a later start's file, a timer); work that must
/// not run inside the procedure that asked waits while anyShown() and goes on
/// when allAnswered runs, each time the last box up is answered.
class WatchedMessageBoxes final : public MessageBoxes
{
public:
    WatchedMessageBoxes(MessageBoxes& boxes, std::function<void()> allAnswered)
        : m_boxes(boxes), m_allAnswered(std::move(allAnswered))
    {}

    MsgResult show(const QString& text, const QString& caption, MsgIcon icon, MsgButtons buttons) override
    {
        ++m_shown;
        const auto answered = qScopeGuard([this] {
            if (--m_shown == 0 && m_allAnswered) {
                m_allAnswered();
            }
        });
        return m_boxes.show(text, caption, icon, buttons);
    }

    bool anyShown() const { return m_shown > 0; }

private:
    MessageBoxes& m_boxes;
    std::function<void()> m_allAnswered;
    int m_shown = 0;
};

} // namespace calvane
