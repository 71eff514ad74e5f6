// The search indexing beside the installation: manuals are indexed in the order setup registered them
// while it goes on, a manual that cannot be read only stays not indexed, and nothing added is lost
// when the installation ends without waiting.
#include "setup/engine/SearchIndexer.h"
#include "shared/search/SearchIndex.h"
#include "shared/testing/SharedTestContext.h"

#include <QDir>
#include <gtest/gtest.h>
#include <thread>

using namespace marvek;

namespace {

const QString DatabasePath = QStringLiteral("C:\\ManualLink\\ManualLink.mdb");

class SearchIndexerTest : public ::testing::Test {
protected:
    // An HTML manual of `pages` pages, each holding the word and the manual's own code.
    search::ManualSource manual(const QString& pubNo, int pages, const char* word) {
        search::ManualSource source;
        source.Pub_No = pubNo;
        source.InsPath = QStringLiteral("C:\\Manuals\\") + pubNo;
        source.InsDate = QStringLiteral("2024-04-01 09:30:0") + QString::number(m_stamp++ % 10);
        for (int page = 0; page < pages; ++page) {
            const QByteArray html = "<html><head><title>" + pubNo.toUtf8() + " page</title></head><body>" +
                                    QByteArray(word) + " " + pubNo.toUtf8() + "</body></html>";
            EXPECT_TRUE(env.temp().writeFile(
                source.InsPath + QStringLiteral("\\contents\\p%1.html").arg(page), html));
        }
        return source;
    }

    int hits(const char* words) {
        search::SearchIndex index(env.temp().host(QStringLiteral("C:\\ManualLink\\ManualSearch.idx")));
        if (index.open() == search::SearchIndex::OpenResult::Failed)
            return -1;
        const auto found = index.search(search::BuildMatchExpression(QString::fromUtf8(words), false), 1000);
        return found ? int(found->size()) : -1;
    }

    marvek::testing::SharedTestContext env;
    int m_stamp = 0;
};

TEST_F(SearchIndexerTest, IndexesBesideTheCallerAndFinishesEveryManual) {
    ASSERT_TRUE(QDir().mkpath(env.temp().host(QStringLiteral("C:\\ManualLink"))));
    const search::ManualSource first = manual(QStringLiteral("RM001EN"), 200, "caliper");
    const search::ManualSource missing = [&] {
        search::ManualSource source = manual(QStringLiteral("RM002EN"), 1, "caliper");
        source.InsPath = QStringLiteral("C:\\Manuals\\Gone");
        return source;
    }();
    const search::ManualSource last = manual(QStringLiteral("RM003EN"), 50, "caliper");

    setup::SearchIndexer indexer(env.os(), DatabasePath);
    indexer.add(first);
    indexer.add(missing);
    indexer.add(last);
    const std::thread::id caller = std::this_thread::get_id();
    indexer.finish(
        [&] { EXPECT_EQ(std::this_thread::get_id(), caller) << "the window is pumped by its own thread"; });
    EXPECT_EQ(hits("caliper"), 250) << "every readable manual indexed once finish returns";
    EXPECT_EQ(hits("RM003EN"), 50);
    EXPECT_EQ(indexer.notIndexed(), 1) << "the manual that could not be read, and only it";

    // Another manual after a finish is taken as well.
    indexer.add(manual(QStringLiteral("RM004EN"), 5, "rotor"));
    indexer.finish({});
    EXPECT_EQ(hits("rotor"), 5);
}

TEST_F(SearchIndexerTest, ManualsAddedAreIndexedEvenWhenNobodyWaits) {
    ASSERT_TRUE(QDir().mkpath(env.temp().host(QStringLiteral("C:\\ManualLink"))));
    {
        setup::SearchIndexer indexer(env.os(), DatabasePath);
        for (int i = 0; i < 4; ++i)
            indexer.add(manual(QStringLiteral("RM01%1EN").arg(i), 30, "gasket"));
    }
    EXPECT_EQ(hits("gasket"), 120);
}

} // namespace
