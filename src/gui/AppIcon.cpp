#include "gui/AppIcon.h"

// The pictures are compiled into this static library: the resource must be
// registered by name, or the linker leaves it out.
static void registerIconResource()
{
    Q_INIT_RESOURCE(calvane);
}

namespace calvane {

QIcon AppIcon()
{
    static const bool registered = (registerIconResource(), true);
    Q_UNUSED(registered);
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        icon.addFile(QStringLiteral(":/icons/calvane-%1.png").arg(size), QSize(size, size));
    }
    return icon;
}

} // namespace calvane
