#pragma once

#include <QByteArray>
#include <QString>

namespace marvek::search {

// What the index keeps of an HTML page.
struct HtmlText {
    QString title;         // the <title>, entities decoded, blanks collapsed
    QString text;          // the visible text: no tags, scripts, styles or comments; blanks collapsed
    bool frameset = false; // a frame page: its content pages are indexed, not the page itself
};

// Pages larger than this are read up to it.
inline constexpr qsizetype MaxHtmlBytes = 16 * 1024 * 1024;

// The code page a page's bytes are in: a byte-order mark, else the charset its <meta> declares in its
// first 4 KB, else UTF-8 when the bytes are valid UTF-8, else fallbackCodePage (the machine's ANSI
// code page). 65001 UTF-8, 1200 UTF-16LE, 1201 UTF-16BE, 932, 1252 ...
int HtmlCodePage(const QByteArray& bytes, int fallbackCodePage);

// Decodes the page in its code page and keeps its title and visible text.
HtmlText ExtractHtmlText(const QByteArray& bytes, int fallbackCodePage);

// The same on text that is already decoded.
HtmlText ExtractHtmlText(const QString& html);

} // namespace marvek::search
