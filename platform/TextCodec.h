#pragma once

#include <QByteArray>
#include <QString>

namespace marvek::platform {

inline constexpr int CodePageShiftJis = 932;
inline constexpr int CodePageWestern = 1252;
inline constexpr int CodePageUtf8 = 65001;

// Code-page conversions through iconv. Bytes that do not convert become U+FFFD (decode) or "?" (encode);
// conversion never stops early. As on Windows, the five bytes that code page 1252 leaves undefined decode
// to the control characters of the same value. Any other code page is tried as iconv's "CP<n>"; one that
// iconv does not know is treated as 1252.
QString decodeCodePage(const QByteArray& bytes, int codePage);
QByteArray encodeCodePage(const QString& text, int codePage);
// UTF-16LE text; a leading byte-order mark is skipped, a trailing odd byte becomes U+FFFD.
QString decodeUtf16Le(const QByteArray& bytes);
QByteArray encodeUtf16Le(const QString& text, bool withBom);
// True when the bytes start with the UTF-16LE byte-order mark FF FE.
bool hasUtf16LeBom(const QByteArray& bytes);

} // namespace marvek::platform
