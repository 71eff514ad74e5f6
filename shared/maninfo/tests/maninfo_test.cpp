#include "shared/maninfo/tests/ManInfoTestSupport.h"

using namespace marvek;
using namespace marvek::shared;
using namespace marvek::testing;

namespace {

class InstallerManInfoTest : public ManInfoTest {
protected:
    void SetUp() override {
        t.ctx.LanguageCode = QStringLiteral("09");
        ASSERT_TRUE(t.temp().writeFile(t.ctx.SysDirPath + QStringLiteral("\\M09.ini"),
                                       "[MESSAGE]\r\nM072=@1 (@2) @3 of @4, @5|is old.\r\nM073=Use the "
                                       "latest CD.\r\nM074=View anyway?\r\n"));
    }

    Module make() { return std::make_unique<AutRunLocalRead>(t.ctx, t.ctx.SourceRoot); }
};

} // namespace

TEST_F(InstallerManInfoTest, LatestCdComparisonsReplacementAndFolderFailure) {
    checkLatestCd([this] { return make(); });
}

TEST_F(InstallerManInfoTest, WarningListsTheOlderManualsOnThisCdFromTheMessages) {
    write(LocalFile, "RM010EN=2024/03|XYZ00EN=2024/03");
    write(CdFile, "XYZ00EN=2023/06|RM010EN=2023/06"); // XYZ00EN has no folder on this CD
    AutRunLocalRead module(t.ctx, t.ctx.SourceRoot);
    EXPECT_EQ(module.ManInfo_CheckLatest(), NotLatest);
    ASSERT_EQ(module.cdRecords().size(), 2u);
    EXPECT_EQ(module.cdRecords()[0].onCd + module.cdRecords()[1].onCd, QStringLiteral("01"));
    checkQuestion(
        module, 7,
        QStringLiteral(
            "Aurea (ZVH50) RM010EN of Jun 2023, ZVH50\ris old.\r\rUse the latest CD.\rView anyway?"));
}
