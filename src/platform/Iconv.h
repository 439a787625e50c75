#pragma once

#include "errors/RuntimeError.h"

#include <QString>

#include <iconv.h>

namespace calvane {

/// The UTF-16 of this machine's byte order, as iconv names it.
constexpr const char* kIconvUtf16 = (Q_BYTE_ORDER == Q_LITTLE_ENDIAN) ? "UTF-16LE" : "UTF-16BE";

/// One iconv descriptor, opened once: opening one costs more than converting a
/// title. Keep one per direction and thread (thread_local).
class IconvConverter
{
public:
    IconvConverter(const char* to, const char* from) : m_cd(iconv_open(to, from))
    {
        if (m_cd == reinterpret_cast<iconv_t>(-1)) {
            throw RuntimeError(ErrNo::InvalidCall, QStringLiteral("iconv: %1 → %2").arg(from, to));
        }
    }
    ~IconvConverter() { iconv_close(m_cd); }
    IconvConverter(const IconvConverter&) = delete;
    IconvConverter& operator=(const IconvConverter&) = delete;

    /// The descriptor in its initial state.
    iconv_t get()
    {
        iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
        return m_cd;
    }

private:
    iconv_t m_cd;
};

} // namespace calvane
