#pragma once

#include "player/MciDevice.h"

#include <QHash>
#include <QString>
#include <QStringList>

namespace calvane::test {

/// Records every command text and answers queries from a table (empty reply otherwise).
class FakeMciDevice final : public MciDevice
{
public:
    int SendString(const QString& command, QString* reply, int replySize) override
    {
        sent.append(command);
        if (reply) {
            *reply = replies.value(command).left(replySize - 1);
        }
        return replies.contains(command) ? 0 : 263;
    }

    QStringList sent;
    QHash<QString, QString> replies;
};

} // namespace calvane::test
