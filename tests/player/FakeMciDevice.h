#pragma once

#include "player/MciDevice.h"

#include <QHash>
#include <QString>
#include <QStringList>

#include <functional>

namespace calvane::test {

/// Records every command text and answers queries from a table (empty reply and
/// code 263 otherwise); a command without a reply area succeeds unless `refused`
/// gives it a code. onSend, when set, runs after each command is recorded and may
/// change the table: a device whose mode follows "Stop Midi", say.
class FakeMciDevice final : public MciDevice
{
public:
    int SendString(const QString& command, QString* reply, int replySize) override
    {
        sent.append(command);
        if (refused.contains(command)) {
            return refused.value(command);
        }
        if (onSend) {
            onSend(command);
        }
        if (!reply) {
            return 0;
        }
        *reply = replies.value(command).left(replySize - 1);
        return replies.contains(command) ? 0 : 263;
    }

    QString SilentOutputReason() const override { return {}; }
    void SetEndOfPlayHandler(std::function<void()> handler) override { m_onEnd = std::move(handler); }

    /// The file has played to its end: tells the handler, as the device's thread does.
    void endOfPlay()
    {
        if (m_onEnd) {
            m_onEnd();
        }
    }

    void setMode(const QString& mode) { replies[QStringLiteral("status Midi mode")] = mode; }

    QStringList sent;
    QHash<QString, QString> replies;
    QHash<QString, int> refused; ///< commands the device refuses, with its code
    std::function<void(const QString&)> onSend;

private:
    std::function<void()> m_onEnd;
};

} // namespace calvane::test
