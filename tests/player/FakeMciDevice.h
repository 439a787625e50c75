#pragma once

#include "player/MciDevice.h"

#include <QHash>
#include <QString>
#include <QStringList>

#include <functional>

namespace calvane::test {

/// Records every command text and answers queries from a table (empty reply
/// otherwise). onSend, when set, runs after each command is recorded and may
/// change the table: a device whose mode follows "Stop Midi", say.
class FakeMciDevice final : public MciDevice
{
public:
    int SendString(const QString& command, QString* reply, int replySize) override
    {
        sent.append(command);
        if (onSend) {
            onSend(command);
        }
        if (reply) {
            *reply = replies.value(command).left(replySize - 1);
        }
        return replies.contains(command) ? 0 : 263;
    }

    void setMode(const QString& mode) { replies[QStringLiteral("status Midi mode")] = mode; }

    QStringList sent;
    QHash<QString, QString> replies;
    std::function<void(const QString&)> onSend;
};

} // namespace calvane::test
