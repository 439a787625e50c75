#pragma once

#include <QString>

namespace calvane {

/// The media-control device: one text command in, a return code (0 = success) and
/// a reply text out. The reply holds at most replySize - 1 characters; a command
/// that fails or has nothing to say leaves it empty.
class MciDevice
{
public:
    virtual ~MciDevice() = default;
    virtual int SendString(const QString& command, QString* reply, int replySize) = 0;
};

} // namespace calvane
