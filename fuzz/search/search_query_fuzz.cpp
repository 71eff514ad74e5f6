// A technician's words as a search of the index (the first byte: bit 0, the last word still being
// typed). Checked: the words become an expression only when they hold something to search for (and one
// word that does always becomes one), and every expression is one the index takes: the search never fails,
// whatever quotes, stars, brackets, column names or FTS5 operators the words hold, and gives at most the hits
// asked for, each a page of the index with its highlights paired.

#include "fuzz/FuzzCheck.h"
#include "shared/search/SearchIndex.h"
#include "shared/search/Tokenizer.h"

#include <QTemporaryDir>
#include <memory>

using namespace marvek;

namespace {

constexpr int Limit = 5;

// The index of the whole run: a few pages of both languages and codes, made once.
struct QueryIndex {
    QTemporaryDir folder;
    std::unique_ptr<search::SearchIndex> index;

    QueryIndex() {
        index = std::make_unique<search::SearchIndex>(folder.filePath(QStringLiteral("ManualSearch.idx")));
        if (index->open() == search::SearchIndex::OpenResult::Failed)
            fuzz::fail("the index opens", __FILE__, __LINE__);
        search::ManualSource manual;
        manual.Pub_No = QStringLiteral("RM011EN");
        manual.InsPath = QStringLiteral("C:\\Manuals\\RM011EN");
        manual.InsDate = QStringLiteral("2024-04-01 09:30:01");
        const bool indexed = index->indexManual(manual, [](const search::PageSink& sink) {
            const char* const pages[][2] = {
                {"Brake bleeding", "Bleed the brake fluid at each caliper. AND OR NOT NEAR title body"},
                {"DTC P0A80", "Replace the hybrid battery pack. P0A80-123 {title} : \"quoted\" *"},
                {"冷却水の交換", "冷却水を点検する。エンジン冷却系統。"},
                {"Café filters", "Résumé of the naïve filter's œuvre — full-width ＡＢＣ１２３"},
            };
            int number = 0;
            for (const auto& [title, text] : pages) {
                search::PageText page;
                page.path = QStringLiteral("contents\\p%1.html").arg(++number);
                page.title = QString::fromUtf8(title);
                page.text = QString::fromUtf8(text);
                if (!sink(page))
                    return false;
            }
            return true;
        });
        if (!indexed)
            fuzz::fail("the pages are indexed", __FILE__, __LINE__);
    }
};

QueryIndex& queryIndex() {
    static QueryIndex made;
    return made;
}

bool hasToken(const QString& words) {
    const QByteArray utf8 = words.toUtf8();
    bool any = false;
    search::Tokenize(std::string_view(utf8.constData(), size_t(utf8.size())), search::TokenMode::Query,
                     [&](const search::Token&) { any = true; });
    return any;
}

void checkPaired(const QString& text) {
    bool open = false;
    for (const QChar c : text) {
        if (c == search::HighlightStart) {
            MARVEK_FUZZ_CHECK(!open);
            open = true;
        } else if (c == search::HighlightEnd) {
            MARVEK_FUZZ_CHECK(open);
            open = false;
        }
    }
    MARVEK_FUZZ_CHECK(!open);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    search::SearchIndex& index = *queryIndex().index;
    if (size == 0)
        return 0;
    const bool typing = (data[0] & 1) != 0;
    const QString words = QString::fromUtf8(fuzz::bytes(data, size, 1));
    const QString expression = search::BuildMatchExpression(words, typing);
    MARVEK_FUZZ_CHECK(expression.isEmpty() || hasToken(words));
    // One word that holds something is always searched.
    const bool oneWord = words.size() <= 200 && !words.contains(QLatin1Char('"')) &&
                         words.simplified() == words && !words.contains(QLatin1Char(' '));
    MARVEK_FUZZ_CHECK(!expression.isEmpty() || !oneWord || !hasToken(words));
    if (expression.isEmpty())
        return 0;
    const auto hits = index.search(expression, Limit);
    MARVEK_FUZZ_CHECK(hits.has_value());
    MARVEK_FUZZ_CHECK(hits->size() <= size_t(Limit));
    for (const search::SearchHit& hit : *hits) {
        MARVEK_FUZZ_CHECK(hit.pubNo == QLatin1String("RM011EN"));
        MARVEK_FUZZ_CHECK(hit.pagePath.startsWith(QLatin1String("contents\\p")));
        checkPaired(hit.title);
        checkPaired(hit.snippet);
    }
    return 0;
}
