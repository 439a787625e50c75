#include "platform/Cp932.h"

#include "errors/RuntimeError.h"
#include "platform/Iconv.h"
#include "platform/NativeFile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace calvane {
namespace {

// Single bytes that code page 932 maps although iconv refuses them: 80 as U+0080,
// and A0, FD, FE, FF into the private use area.
constexpr struct
{
    unsigned char byte;
    char16_t unit;
} kExtraSingles[] = {{0x80, 0x0080}, {0xA0, 0xF8F0}, {0xFD, 0xF8F1}, {0xFE, 0xF8F2}, {0xFF, 0xF8F3}};

char16_t extraUnitOf(unsigned char byte)
{
    for (const auto& e : kExtraSingles) {
        if (e.byte == byte) {
            return e.unit;
        }
    }
    return 0;
}

int extraByteOf(char16_t unit)
{
    for (const auto& e : kExtraSingles) {
        if (e.unit == unit) {
            return e.byte;
        }
    }
    return -1;
}

bool isAscii(QByteArrayView bytes)
{
    return std::all_of(bytes.begin(), bytes.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

} // namespace

QString DecodeCp932(QByteArrayView bytes)
{
    if (isAscii(bytes)) {
        return QString::fromLatin1(bytes);
    }
    thread_local IconvConverter decoder(kIconvUtf16, "CP932");
    iconv_t cd = decoder.get();

    // Every input byte yields at most one UTF-16 unit, replacements included.
    QString out(bytes.size(), Qt::Uninitialized);
    char* in = const_cast<char*>(bytes.data());
    size_t inLeft = static_cast<size_t>(bytes.size());
    char* outPtr = reinterpret_cast<char*>(out.data());
    size_t outLeft = static_cast<size_t>(out.size()) * sizeof(char16_t);

    auto put = [&](char16_t unit) {
        std::memcpy(outPtr, &unit, sizeof unit);
        outPtr += sizeof unit;
        outLeft -= sizeof unit;
    };
    while (inLeft > 0) {
        if (iconv(cd, &in, &inLeft, &outPtr, &outLeft) != static_cast<size_t>(-1)) {
            break;
        }
        if (errno == EILSEQ) {
            const char16_t extra = extraUnitOf(static_cast<unsigned char>(*in));
            put(extra != 0 ? extra : char16_t{0xFFFD});
            ++in;
            --inLeft;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
        } else if (errno == EINVAL) {
            put(0xFFFD); // a lead byte with nothing after it
            break;
        } else {
            throw RuntimeError::fromErrno(errno);
        }
    }
    out.truncate(static_cast<qsizetype>((reinterpret_cast<QChar*>(outPtr) - out.constData())));
    return out;
}

QByteArray EncodeCp932(QStringView text)
{
    if (std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; })) {
        return text.toLatin1();
    }
    thread_local IconvConverter encoder("CP932", kIconvUtf16);
    iconv_t cd = encoder.get();

    QByteArray out(text.size() * 2, Qt::Uninitialized); // at most two bytes a unit
    char* in = reinterpret_cast<char*>(const_cast<QChar*>(text.data()));
    size_t inLeft = static_cast<size_t>(text.size()) * sizeof(char16_t);
    char* outPtr = out.data();
    size_t outLeft = static_cast<size_t>(out.size());
    while (inLeft > 0) {
        if (iconv(cd, &in, &inLeft, &outPtr, &outLeft) != static_cast<size_t>(-1)) {
            break;
        }
        if (errno != EILSEQ && errno != EINVAL) {
            throw RuntimeError::fromErrno(errno);
        }
        char16_t unit;
        std::memcpy(&unit, in, sizeof unit);
        size_t skip = sizeof(char16_t);
        if (QChar::isHighSurrogate(unit) && inLeft >= 2 * sizeof(char16_t)) {
            char16_t next;
            std::memcpy(&next, in + sizeof unit, sizeof next);
            if (QChar::isLowSurrogate(next)) {
                skip *= 2; // one character, one "?"
            }
        }
        const int extra = extraByteOf(unit);
        *outPtr++ = extra >= 0 ? static_cast<char>(extra) : '?';
        --outLeft;
        in += skip;
        inLeft -= skip;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    out.truncate(outPtr - out.data());
    return out;
}

bool ReadsAsUtf8(QByteArrayView bytes)
{
    return !isAscii(bytes) && IsWellFormedUtf8(bytes);
}

QString DecodeUtf8OrCp932(QByteArrayView bytes)
{
    return ReadsAsUtf8(bytes) ? QString::fromUtf8(bytes) : DecodeCp932(bytes);
}

} // namespace calvane
