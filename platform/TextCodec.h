#pragma once

#include <QByteArray>
#include <QString>

namespace marvek::platform {

inline constexpr int CodePageShiftJis = 932;
inline constexpr int CodePageWestern = 1252;

// Code-page conversions through iconv. Bytes that do not convert become U+FFFD (decode) or "?" (encode).
QString decodeCodePage(const QByteArray& bytes, int codePage);
QByteArray encodeCodePage(const QString& text, int codePage);
// UTF-16LE text; a leading byte-order mark is skipped.
QString decodeUtf16Le(const QByteArray& bytes);
QByteArray encodeUtf16Le(const QString& text, bool withBom);
// True when the bytes start with the UTF-16LE byte-order mark FF FE.
bool hasUtf16LeBom(const QByteArray& bytes);

} // namespace marvek::platform
