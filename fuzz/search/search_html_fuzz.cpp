// The text of an HTML page on any bytes, with the machine's code page picked by the first byte (932 or
// 1252). Checked: title and text hold no run of blanks, no blank at either end, no character below
// U+0020; they never hold more characters than the page has bytes (tags and references only shrink);
// and a script's content, whatever it is, never shows.

#include "fuzz/FuzzCheck.h"
#include "shared/search/HtmlText.h"

#include <QString>

using namespace marvek;

namespace {

void checkCollapsed(const QString& text) {
    MARVEK_FUZZ_CHECK(!text.startsWith(QLatin1Char(' ')) && !text.endsWith(QLatin1Char(' ')));
    MARVEK_FUZZ_CHECK(!text.contains(QStringLiteral("  ")));
    for (const QChar c : text)
        MARVEK_FUZZ_CHECK(c.unicode() >= 0x20);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    const int codePage = data[0] % 2 ? 932 : 1252;
    const QByteArray bytes = fuzz::bytes(data, size, 1);
    const search::HtmlText page = search::ExtractHtmlText(bytes, codePage);
    checkCollapsed(page.title);
    checkCollapsed(page.text);
    MARVEK_FUZZ_CHECK(page.text.size() + page.title.size() <= bytes.size());
    const QString decoded = QString::fromUtf8(bytes);

    // A script's content never shows, whatever it holds.
    const search::HtmlText wrapped = search::ExtractHtmlText(
        QStringLiteral("<p>a</p><script>") + decoded.toHtmlEscaped().remove(QLatin1Char('<')) +
        QStringLiteral("</script><p>b</p>"));
    MARVEK_FUZZ_CHECK(wrapped.text == QStringLiteral("a b"));
    return 0;
}
