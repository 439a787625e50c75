#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <cstdint>
#include <optional>

namespace calvane {

/// How the bytes of a title or copyright are read. Auto is the reading of every
/// file: UTF-8 when the bytes are well-formed UTF-8 beyond ASCII, else code page
/// 932. The others are the user's choice for files written elsewhere: no rule
/// tells EUC-JP or CP1252 bytes from code page 932 ones (old Japanese titles in
/// half-width katakana read as either).
enum class TextEncoding : std::uint8_t
{
    Auto,
    Cp932,
    Utf8,
    EucJp,
    Cp1252,
};

/// The name the tools and the settings use: "auto", "cp932", "utf-8", "euc-jp", "cp1252".
QByteArray TextEncodingName(TextEncoding encoding);

/// The encoding of such a name, in any letter case; none for any other text.
std::optional<TextEncoding> TextEncodingFromName(QByteArrayView name);

/// The bytes as text in the given encoding, through the platform's converters.
/// Auto is DecodeUtf8OrCp932 and Cp932 DecodeCp932; in the others a byte that is
/// not valid there (or a sequence cut off by the end) is one U+FFFD, every other
/// byte keeps its meaning.
QString DecodeText(QByteArrayView bytes, TextEncoding encoding);

/// Whether a text read in this encoding may really be EUC-JP, said as a hint and
/// never acted on: the reading is code page 932 (Auto falling back to it, or
/// Cp932), which gives only ASCII and at least one half-width katakana or
/// punctuation mark (U+FF61 to U+FF9F), while the bytes are valid EUC-JP that
/// holds kanji or kana. "ｽﾕ､ﾎｳ､" is 春の海 in EUC-JP.
bool MayBeEucJp(QByteArrayView bytes, TextEncoding reading);

} // namespace calvane
