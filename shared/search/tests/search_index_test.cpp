#include "shared/search/Ranking.h"
#include "shared/search/SearchIndex.h"

#include <QTemporaryDir>
#include <algorithm>
#include <gtest/gtest.h>

using namespace marvek;
using search::SearchHit;

namespace {

QString pageName(int page) {
    return QStringLiteral("contents\\p%1.html").arg(page, 4, 10, QLatin1Char('0'));
}

// 600 pages holding "brake" from once to many times in texts of other lengths, one of them in its title,
// one of them nothing else.
std::unique_ptr<search::SearchIndex> indexWithPages(const QTemporaryDir& folder) {
    auto index = std::make_unique<search::SearchIndex>(folder.filePath(QStringLiteral("ManualSearch.idx")));
    if (index->open() == search::SearchIndex::OpenResult::Failed)
        return nullptr;
    search::ManualSource manual;
    manual.Pub_No = QStringLiteral("RM011EN");
    manual.InsPath = QStringLiteral("C:\\Manuals\\RM011EN");
    manual.InsDate = QStringLiteral("2024-04-01 09:30:01");
    const bool indexed = index->indexManual(manual, [](const search::PageSink& sink) {
        for (int page = 0; page < 600; ++page) {
            search::PageText text;
            text.path = pageName(page);
            text.title =
                page == 421 ? QStringLiteral("Brake caliper") : QStringLiteral("Caliper %1").arg(page);
            for (int word = 0; word < 40 + page % 17; ++word)
                text.text += word % (1 + page % 23) == 0 ? QStringLiteral("brake. ") : QStringLiteral("pad ");
            if (page == 599) // more hits than a kept row holds
                text.text = QStringLiteral("brake ").repeated(search::BestRows::KeptHits + 5000);
            if (!sink(text))
                return false;
        }
        return true;
    });
    return indexed ? std::move(index) : nullptr;
}

std::vector<QString> describe(const std::vector<SearchHit>& hits) {
    std::vector<QString> out;
    for (const SearchHit& hit : hits)
        out.push_back(hit.pagePath + QLatin1Char('|') + hit.title + QLatin1Char('|') + hit.snippet);
    return out;
}

// The best rows come first with their marked texts, by whole words and by prefix alike (the same hits in
// the same order), also for a page with more hits than a kept row holds; a smaller limit gives the first
// of them.
TEST(SearchIndex, HitsComeBestFirstWithTheirTextsWhateverTheTerms) {
    const QTemporaryDir folder;
    const auto index = indexWithPages(folder);
    ASSERT_TRUE(index);

    const auto whole = index->search(QStringLiteral("\"brake\""), 600);
    const auto prefix = index->search(QStringLiteral("\"brak\"*"), 600);
    ASSERT_TRUE(whole && prefix);
    ASSERT_EQ(whole->size(), 600u);
    EXPECT_EQ(describe(*prefix), describe(*whole));

    // Pages of "brake" alone rank first, the longest of them above all; the title's hit is marked.
    EXPECT_EQ(whole->front().pagePath, pageName(599));
    EXPECT_EQ(whole->at(1).pagePath.mid(10, 4).toInt() % 23, 0) << whole->at(1).pagePath.toStdString();
    const auto titled = std::find_if(whole->begin(), whole->end(),
                                     [](const SearchHit& hit) { return hit.pagePath == pageName(421); });
    ASSERT_NE(titled, whole->end());
    EXPECT_EQ(titled->title, QStringLiteral("\x02"
                                            "Brake\x03 caliper"));
    EXPECT_TRUE(whole->back().snippet.contains(QStringLiteral("\x02"
                                                              "brake\x03")))
        << whole->back().snippet.toStdString();

    const auto crowded = std::find_if(whole->begin(), whole->end(),
                                      [](const SearchHit& hit) { return hit.pagePath == pageName(599); });
    ASSERT_NE(crowded, whole->end());
    QStringList marked;
    for (int i = 0; i < 24; ++i)
        marked << QStringLiteral("\x02"
                                 "brake\x03");
    EXPECT_EQ(crowded->snippet, marked.join(QLatin1Char(' ')) + QStringLiteral("…"));

    const auto first = index->search(QStringLiteral("\"brak\"*"), 7);
    ASSERT_TRUE(first);
    const std::vector<QString> all = describe(*whole);
    EXPECT_EQ(describe(*first), std::vector<QString>(all.begin(), all.begin() + 7));
}

} // namespace
