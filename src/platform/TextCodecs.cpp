#include "platform/TextCodecs.h"

#include "errors/RuntimeError.h"
#include "platform/Cp932.h"
#include "platform/Iconv.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>

namespace calvane {
namespace {

constexpr std::array<std::pair<TextEncoding, const char*>, 5> kNames{{
    {TextEncoding::Auto, "auto"},
    {TextEncoding::Cp932, "cp932"},
    {TextEncoding::Utf8, "utf-8"},
    {TextEncoding::EucJp, "euc-jp"},
    {TextEncoding::Cp1252, "cp1252"},
}};

/// The bytes converted by iconv. Lenient: each byte iconv refuses is one U+FFFD
/// and the conversion goes on after it; a sequence cut off by the end is one
/// U+FFFD. Strict: none at the first such byte.
std::optional<QString> decodeByIconv(IconvConverter& converter, QByteArrayView bytes, bool strict)
{
    iconv_t cd = converter.get();
    QString out(bytes.size() + 1, Qt::Uninitialized);
    qsizetype used = 0;
    char* in = const_cast<char*>(bytes.data());
    size_t inLeft = static_cast<size_t>(bytes.size());
    while (inLeft > 0) {
        char* outPtr = reinterpret_cast<char*>(out.data() + used);
        size_t outLeft = static_cast<size_t>(out.size() - used) * sizeof(char16_t);
        const size_t converted = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
        used = reinterpret_cast<QChar*>(outPtr) - out.constData();
        if (converted != static_cast<size_t>(-1)) {
            break;
        }
        const int err = errno;
        if (err == E2BIG || (used == out.size() && (err == EILSEQ || err == EINVAL))) {
            out.resize(out.size() * 2);
            if (err == E2BIG) {
                continue;
            }
        }
        if (err != EILSEQ && err != EINVAL) {
            throw RuntimeError::fromErrno(err);
        }
        if (strict) {
            return std::nullopt;
        }
        out[used++] = QChar(0xFFFD);
        if (err == EINVAL) {
            break; // cut off by the end
        }
        ++in;
        --inLeft;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    out.truncate(used);
    return out;
}

std::optional<QString> decodeEucJp(QByteArrayView bytes, bool strict)
{
    thread_local IconvConverter decoder(kIconvUtf16, "EUC-JP");
    return decodeByIconv(decoder, bytes, strict);
}

bool isKanjiOrKana(char16_t c)
{
    return (c >= 0x3041 && c <= 0x30FF) || (c >= 0x3400 && c <= 0x4DBF) || (c >= 0x4E00 && c <= 0x9FFF) ||
           (c >= 0xF900 && c <= 0xFAFF);
}

} // namespace

QByteArray TextEncodingName(TextEncoding encoding)
{
    for (const auto& [value, name] : kNames) {
        if (value == encoding) {
            return name;
        }
    }
    return "auto";
}

std::optional<TextEncoding> TextEncodingFromName(QByteArrayView name)
{
    for (const auto& [value, text] : kNames) {
        if (name.compare(QByteArrayView(text), Qt::CaseInsensitive) == 0) {
            return value;
        }
    }
    return std::nullopt;
}

QString DecodeText(QByteArrayView bytes, TextEncoding encoding)
{
    switch (encoding) {
    case TextEncoding::Auto:
        break;
    case TextEncoding::Cp932:
        return DecodeCp932(bytes);
    case TextEncoding::Utf8:
        return QString::fromUtf8(bytes);
    case TextEncoding::EucJp:
        return *decodeEucJp(bytes, false);
    case TextEncoding::Cp1252: {
        thread_local IconvConverter decoder(kIconvUtf16, "CP1252");
        return *decodeByIconv(decoder, bytes, false);
    }
    }
    return DecodeUtf8OrCp932(bytes);
}

bool MayBeEucJp(QByteArrayView bytes, TextEncoding reading)
{
    if (reading != TextEncoding::Cp932 && (reading != TextEncoding::Auto || ReadsAsUtf8(bytes))) {
        return false;
    }
    bool halfWidth = false;
    for (const QChar c : DecodeCp932(bytes)) {
        const char16_t u = c.unicode();
        if (u >= 0xFF61 && u <= 0xFF9F) {
            halfWidth = true;
        } else if (u >= 0x80) {
            return false;
        }
    }
    if (!halfWidth) {
        return false;
    }
    const std::optional<QString> eucJp = decodeEucJp(bytes, true);
    return eucJp &&
           std::any_of(eucJp->begin(), eucJp->end(), [](QChar c) { return isKanjiOrKana(c.unicode()); });
}

} // namespace calvane
