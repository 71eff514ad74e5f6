// The search index after a full installation of the sample CD: setup indexed every manual it
// registered, and a word, a two-character Japanese word, a trouble code and a PDF page are found.
#include "SetupTestFixture.h"
#include "setup/engine/InstallRun.h"
#include "shared/search/ManualSearch.h"

#include <QFile>

using namespace marvek;
using namespace marvek::testing;

namespace {

class SearchAfterInstallTest : public SetupFixture {
protected:
    void SetUp() override {
        SetupFixture::SetUp();
        ASSERT_EQ(start(), setup::StartOutcome::ShowMenu) << ctx.ErrorLine1.toStdString();
        setup::RunFirstActivation(ctx, view);
        ASSERT_TRUE(ctx.InstallSucceeded) << ctx.ErrorLine1.toStdString();
        installed = search::ReadInstalledManuals(ctx.db);
        ASSERT_EQ(installed.size(), 5u); // RM011EN replaced RM010EN
    }

    std::vector<search::SearchHit> find(const char* words) {
        search::ManualSearch manuals(ctx.os(), ctx.DatabasePath);
        int indexed = 0;
        const auto hits = manuals.search(installed, q(words), {}, [&](int done, int total, const QString&) {
            indexed += done < total ? 1 : 0;
        });
        EXPECT_EQ(indexed, 0) << "setup indexed every manual it registered";
        return hits.value_or(std::vector<search::SearchHit>{});
    }

    std::vector<search::ManualSource> installed;
};

TEST_F(SearchAfterInstallTest, FindsWordsJapaneseCodesAndPdfPages) {
    EXPECT_TRUE(QFile::exists(host(q("C:\\ManualLink\\ManualSearch.idx"))));

    const auto brake = find("brake");
    ASSERT_FALSE(brake.empty());
    EXPECT_EQ(brake.size(), 50u) << "the first 50 of many";
    EXPECT_TRUE(brake.front().title.contains(q("\x02") + q("Brake"), Qt::CaseInsensitive))
        << brake.front().title.toStdString();
    for (const search::SearchHit& hit : brake)
        EXPECT_NE(hit.pubNo, q("RMJ00JA"));

    const auto japanese = find("点検");
    ASSERT_FALSE(japanese.empty());
    for (const search::SearchHit& hit : japanese) {
        EXPECT_EQ(hit.pubNo, q("RMJ00JA"));
        EXPECT_TRUE(hit.title.contains(q("\x02点検\x03")) || hit.snippet.contains(q("\x02点検\x03")))
            << hit.pagePath.toStdString();
        EXPECT_TRUE(QFile::exists(host(hit.pageFile()))) << hit.pageFile().toStdString();
    }

    const auto code = find("P0A80");
    ASSERT_FALSE(code.empty());
    EXPECT_EQ(code.front().pubNo, q("RM011EN"));
    EXPECT_EQ(code.front().pagePath, q("contents\\dtc\\P0A80.html"));

    const auto pdf = find("Veltro exterior");
    ASSERT_FALSE(pdf.empty());
    EXPECT_EQ(pdf.front().pubNo, q("NCF00EN"));
    EXPECT_GT(pdf.front().pdfPage, 0);
    EXPECT_EQ(pdf.front().pageFile(), pdf.front().insPath + q("\\contents\\NCF00EN.pdf"));
}

} // namespace
