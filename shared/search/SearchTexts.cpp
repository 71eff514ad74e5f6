#include "shared/search/SearchTexts.h"

#include <QStringList>

namespace marvek::search {

SearchTexts LoadSearchTexts(const QString& languageCode) {
    SearchTexts texts;
    if (languageCode == QLatin1String("11")) {
        texts.field = QStringLiteral("全マニュアルを検索 (語句、コード)");
        texts.caption = QStringLiteral("全マニュアル検索");
        texts.indexing = QStringLiteral("検索用の索引を作成しています (%1 / %2)");
        texts.noHits = QStringLiteral("該当するページはありません。");
        texts.failed = QStringLiteral("検索用の索引を使用できません。");
        texts.readOnly = QStringLiteral("検索用の索引を更新できません (書き込み権限がありません)。"
                                        "索引済みのページから検索しています。");
        texts.pdfPage = QStringLiteral("%1 ページ");
        texts.shortcut = QStringLiteral("全マニュアルを検索");
    } else {
        texts.field = QStringLiteral("Search all manuals (words, codes)");
        texts.caption = QStringLiteral("Search all manuals");
        texts.indexing = QStringLiteral("Preparing the search index (%1 of %2)");
        texts.noHits = QStringLiteral("No page found.");
        texts.failed = QStringLiteral("The search index cannot be used.");
        texts.readOnly = QStringLiteral("The search index cannot be updated (no write access): "
                                        "searching the pages indexed so far.");
        texts.pdfPage = QStringLiteral("page %1");
        texts.shortcut = QStringLiteral("Search all manuals");
    }
    return texts;
}

QString ResultStatus(const SearchTexts& texts, size_t hits, bool readOnly) {
    QStringList parts;
    if (hits == 0)
        parts.append(texts.noHits);
    if (readOnly)
        parts.append(texts.readOnly);
    return parts.join(QLatin1Char(' '));
}

QString HighlightedHtml(const QString& marked) {
    QString html = marked.toHtmlEscaped();
    html.replace(HighlightStart, QStringLiteral("<b>"));
    html.replace(HighlightEnd, QStringLiteral("</b>"));
    return html;
}

QString HitLine(const SearchHit& hit) {
    QString title = hit.title;
    title.remove(HighlightStart);
    title.remove(HighlightEnd);
    title.replace(QLatin1Char('\t'), QLatin1Char(' '));
    return hit.pubNo + QLatin1Char('\t') + hit.pagePath + QLatin1Char('\t') + title;
}

} // namespace marvek::search
