#include "platform/TextCodec.h"
#include "shared/search/HtmlText.h"

#include <gtest/gtest.h>

using namespace marvek;
using search::ExtractHtmlText;

namespace {

QString q(const char* text) {
    return QString::fromUtf8(text);
}

TEST(HtmlText, KeepsTitleAndVisibleText) {
    const struct {
        const char* html;
        const char* title;
        const char* text;
    } cases[] = {
        {"<html><head><title> Brake  Bleeding </title><style>p{color:red}</style>"
         "<script>var x = '<p>hidden</p>';</script></head><body><h1>Bleed</h1><p>the <b>br</b>akes</p>"
         "<!-- a <p>comment</p> --></body></html>",
         "Brake Bleeding", "Bleed the brakes"},
        {"<p>Torque: 10&nbsp;N&#183;m &amp; 5&#xB0; &lt;tight&gt; &copy; &unknown; & more</p>", "",
         "Torque: 10 N·m & 5° <tight> © &unknown; & more"},
        {"<td>a</td><td>b</td><br>c<SCRIPT type=x>alert(1)</SCRIPT >d", "", "a b c d"},
        {"<img alt=\"x > y\" src=a.png>text < 5 and<title>late</title>", "late", "text < 5 and"},
        {"<p>unclosed <script>no end", "", "unclosed"},
        {"&#0; &#55296; &#x110000; ok", "", "\xEF\xBF\xBD \xEF\xBF\xBD \xEF\xBF\xBD ok"},
    };
    for (const auto& c : cases) {
        const search::HtmlText page = ExtractHtmlText(q(c.html));
        EXPECT_EQ(page.title, q(c.title)) << c.html;
        EXPECT_EQ(page.text, q(c.text)) << c.html;
        EXPECT_FALSE(page.frameset);
    }
}

TEST(HtmlText, FramePagesAreMarked) {
    EXPECT_TRUE(ExtractHtmlText(q("<frameset cols=\"20%,*\"><frame src=toc.html></frameset>")).frameset);
    EXPECT_TRUE(ExtractHtmlText(q("<html><FRAMESET><FRAME SRC=a.html>")).frameset);
    EXPECT_FALSE(ExtractHtmlText(q("<p>frames are described here<iframe src=x.html></iframe>")).frameset);
}

TEST(HtmlText, HonoursThePagesCharset) {
    const QString japanese = q("冷却水の交換");
    const QByteArray sjis = platform::encodeCodePage(japanese, platform::CodePageShiftJis);
    const QByteArray western = platform::encodeCodePage(q("Café"), platform::CodePageWestern);
    const struct {
        QByteArray bytes;
        int fallback;
        int codePage;
        QString text;
    } cases[] = {
        {"<meta http-equiv=\"Content-Type\" content=\"text/html; charset=Shift_JIS\"><p>" + sjis, 1252, 932,
         japanese},
        {"<meta charset='x-sjis'>" + sjis, 1252, 932, japanese},
        {"<meta charset=\"utf-8\"><p>" + japanese.toUtf8(), 932, 65001, japanese},
        {"<p>" + japanese.toUtf8(), 1252, 65001, japanese}, // valid UTF-8 without a declaration
        {"<p>" + sjis, 932, 932, japanese},                 // else the machine's code page
        {"<p>" + western, 1252, 1252, q("Café")},
        {"<meta charset=windows-1252>" + western, 932, 1252, q("Café")},
        {"\xEF\xBB\xBF<p>" + japanese.toUtf8(), 932, 65001, japanese},
        {platform::encodeUtf16Le(q("<p>") + japanese, true), 932, 1200, japanese},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(search::HtmlCodePage(c.bytes, c.fallback), c.codePage) << c.bytes.toStdString();
        EXPECT_EQ(ExtractHtmlText(c.bytes, c.fallback).text, c.text) << c.bytes.toStdString();
    }
}

} // namespace
