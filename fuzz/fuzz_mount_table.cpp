// The mount table reader on arbitrary bytes: no crash, and every mount it gives
// is an absolute path with a type, the type holding no blank.

#include "platform/Volumes.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace calvane;
    const QByteArrayView table(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    for (const MountEntry& mount : ParseMountInfo(table)) {
        if (!mount.root.startsWith(u'/') || mount.type.isEmpty() || mount.type.contains(' ') ||
            mount.type.contains('\n')) {
            std::abort();
        }
        (void)IsSystemMount(mount);
    }
    return 0;
}
