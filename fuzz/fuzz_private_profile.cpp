// The private-profile reader and writer on arbitrary file contents: no crash, and
// a value that was set always reads back exactly.

#include "settings/PrivateProfile.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace calvane::profile;
    const QByteArrayView content(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    (void)GetValue(content, "Edit", "FastFolderPath");
    (void)GetValue(content, "Main", "MIDIInfo");

    // Take a section, key and value from the first bytes when they make storable names.
    if (size < 3) {
        return 0;
    }
    const auto sectionLen = static_cast<qsizetype>(data[0] % 8);
    const auto keyLen = static_cast<qsizetype>(data[1] % 8);
    const qsizetype rest = content.size() - 2;
    if (sectionLen + keyLen > rest) {
        return 0;
    }
    const QByteArrayView section = content.sliced(2, sectionLen);
    const QByteArrayView key = content.sliced(2 + sectionLen, keyLen);
    const QByteArrayView value("a value");
    if (!IsStorable(section, key, value)) {
        return 0;
    }
    const QByteArray updated = SetValue(content, section, key, value);
    const auto back = GetValue(updated, section, key);
    if (!back || *back != value) {
        std::abort();
    }
    return 0;
}
