#include "shared/maninfo/AutRunLocalRead.h"
#include "shared/maninfo/tests/ManInfoTestSupport.h"

#include <QFile>

using namespace marvek;
using namespace marvek::shared;

namespace {

class InstallerManInfoTest : public marvek::testing::ManInfoTest {
protected:
    void SetUp() override {
        t.ctx.LanguageCode = QStringLiteral("09");
        ASSERT_TRUE(t.temp().writeFile(t.ctx.SysDirPath + QStringLiteral("\\M09.ini"),
                                       "[MESSAGE]\r\nM072=@1 (@2) @3 of @4, @5|is old.\r\nM073=Use the "
                                       "latest CD.\r\nM074=View anyway?\r\n"));
    }

    CheckLatestResult check() {
        AutRunLocalRead module(t.ctx, t.ctx.SourceRoot);
        const CheckLatestResult result = module.ManInfo_CheckLatest();
        lines = module.notLatestLines();
        newer = module.newerFound();
        return result;
    }

    QStringList lines;
    bool newer = false;
};

} // namespace

TEST_F(InstallerManInfoTest, NoLocalCatalogueTakesTheCdsWithoutAQuestion) {
    writeCd({record(QStringLiteral("RM010EN"), QStringLiteral("2023/06"))}, {QStringLiteral("RM010EN")});
    EXPECT_FALSE(t.os().files().folderExists(QStringLiteral("C:\\man_info")));
    EXPECT_EQ(check(), CheckLatestResult::Latest);
    EXPECT_EQ(local(), cd());
    EXPECT_TRUE(asked().empty());
}

TEST_F(InstallerManInfoTest, NoCatalogueAnywhereCountsAsLatest) {
    EXPECT_EQ(check(), CheckLatestResult::Latest);
    EXPECT_TRUE(t.os().files().folderExists(QStringLiteral("C:\\man_info")));
    EXPECT_FALSE(t.os().files().exists(QLatin1String(LocalFile)));
}

TEST_F(InstallerManInfoTest, NewerIssueReplacesTheLocalCatalogue) {
    writeLocal({record(QStringLiteral("RM010EN"), QStringLiteral("2023/06")),
                record(QStringLiteral("OLD0000"), QStringLiteral("2020/01"))});
    writeCd({record(QStringLiteral("RM010EN"), QStringLiteral("2024/03"))}, {QStringLiteral("RM010EN")});
    EXPECT_EQ(check(), CheckLatestResult::Latest);
    EXPECT_TRUE(newer);
    EXPECT_EQ(local(), cd());
    EXPECT_TRUE(asked().empty());
}

TEST_F(InstallerManInfoTest, KeyMissingLocallyComparesWith1900AndCountsAsNewer) {
    writeLocal({record(QStringLiteral("RM010EN"), QStringLiteral("2023/06"))});
    writeCd({record(QStringLiteral("RM010EN"), QStringLiteral("2023/06")),
             record(QStringLiteral("NCF00EN"), QStringLiteral("1900/02"))},
            {QStringLiteral("RM010EN"), QStringLiteral("NCF00EN")});
    EXPECT_EQ(check(), CheckLatestResult::Latest);
    EXPECT_EQ(local(), cd());
}

TEST_F(InstallerManInfoTest, EqualIssuesLeaveTheLocalCatalogueAlone) {
    writeLocal({record(QStringLiteral("RM010EN"), QStringLiteral("2023/06"), QStringLiteral("Local name"))});
    const QByteArray before = local();
    writeCd({record(QStringLiteral("RM010EN"), QStringLiteral("2023/6"))}, {QStringLiteral("RM010EN")});
    EXPECT_EQ(check(), CheckLatestResult::Latest);
    EXPECT_FALSE(newer);
    EXPECT_EQ(local(), before);
}

TEST_F(InstallerManInfoTest, OlderIssueIsNotLatestAndTheWarningListsIt) {
    writeLocal({record(QStringLiteral("RM010EN"), QStringLiteral("2024/03")),
                record(QStringLiteral("EWD00EN"), QStringLiteral("2023/01"))});
    const QByteArray before = local();
    // One record older, another newer: still not the latest, and the PC keeps its catalogue.
    writeCd({record(QStringLiteral("RM010EN"), QStringLiteral("2023/06"), QStringLiteral("Aurea Hybrid")),
             record(QStringLiteral("EWD00EN"), QStringLiteral("2024/02"))},
            {QStringLiteral("RM010EN"), QStringLiteral("EWD00EN")});

    AutRunLocalRead module(t.ctx, t.ctx.SourceRoot);
    EXPECT_EQ(module.ManInfo_CheckLatest(), CheckLatestResult::NotLatest);
    EXPECT_TRUE(module.newerFound());
    EXPECT_EQ(local(), before);
    ASSERT_EQ(module.notLatestLines().size(), 1);
    EXPECT_EQ(module.notLatestLines().at(0),
              QStringLiteral("Aurea Hybrid (ZVH50) RM010EN of Jun 2023, ZVH50|is old.|"));

    t.ui().addAnswer(QStringLiteral("7"));
    EXPECT_EQ(module.ManInfo_ShowNotLatest(), 7);
    ASSERT_EQ(asked().size(), 1u);
    const platform::AskedQuestion& box = asked().front();
    EXPECT_EQ(box.title, QStringLiteral("Marvek Manual Information"));
    EXPECT_EQ(box.style, 52);
    EXPECT_EQ(box.text,
              QStringLiteral("Aurea Hybrid (ZVH50) RM010EN of Jun 2023, ZVH50\ris old.\r\rUse the latest "
                             "CD.\rView anyway?"));
}

TEST_F(InstallerManInfoTest, OlderManualNotOnThisCdIsIgnored) {
    writeLocal({record(QStringLiteral("RM010EN"), QStringLiteral("2024/03")),
                record(QStringLiteral("EWD00EN"), QStringLiteral("2023/01"))});
    writeCd({record(QStringLiteral("RM010EN"), QStringLiteral("2023/06")),
             record(QStringLiteral("EWD00EN"), QStringLiteral("2023/01"))},
            {QStringLiteral("EWD00EN")});
    AutRunLocalRead module(t.ctx, t.ctx.SourceRoot);
    EXPECT_EQ(module.ManInfo_CheckLatest(), CheckLatestResult::Latest);
    ASSERT_EQ(module.cdRecords().size(), 2u);
    EXPECT_EQ(module.cdRecords()[0].onCd, QStringLiteral("0"));
    EXPECT_EQ(module.cdRecords()[1].onCd, QStringLiteral("1"));
}

TEST_F(InstallerManInfoTest, OnlyTheFirstOfTwoLocalRecordsWithOneKeyCounts) {
    writeLocal({record(QStringLiteral("RM010EN"), QStringLiteral("2024/03")),
                record(QStringLiteral("RM010EN"), QStringLiteral("2022/01"))});
    writeCd({record(QStringLiteral("RM010EN"), QStringLiteral("2023/06"))}, {QStringLiteral("RM010EN")});
    EXPECT_EQ(check(), CheckLatestResult::NotLatest);

    writeLocal({record(QStringLiteral("RM010EN"), QStringLiteral("2022/01")),
                record(QStringLiteral("RM010EN"), QStringLiteral("2024/03"))});
    EXPECT_EQ(check(), CheckLatestResult::Latest);
    EXPECT_EQ(local(), cd());
}

TEST_F(InstallerManInfoTest, KeysCompareExactly) {
    AutRunLocalRead module(t.ctx, t.ctx.SourceRoot);
    writeLocal({record(QStringLiteral("rm010en"), QStringLiteral("2024/03")),
                record(QStringLiteral("RM010EN"), QStringLiteral("2023/06"))});
    ASSERT_TRUE(module.ManInfo_ReadLocal(QLatin1String(LocalFile)));
    EXPECT_EQ(module.ManInfo_FindLocalDate(QStringLiteral("RM010EN")), QDate(2023, 6, 1));
    EXPECT_EQ(module.ManInfo_FindLocalDate(QStringLiteral("RM010E")), QDate(1900, 1, 1));
}

TEST_F(InstallerManInfoTest, BrokenLinesAndMissingFilesAreNotLatest) {
    const QString good = record(QStringLiteral("RM010EN"), QStringLiteral("2023/06"));
    writeLocal({good});
    const QByteArray before = local();
    const QStringList broken[] = {
        {good, QStringLiteral("Aurea,ZVH50,Repair Manual,EWD00EN,EWD00EN")},  // five fields
        {good, record(QStringLiteral("EWD00EN"), QStringLiteral("2024/13"))}, // no such month
        {good, record(QStringLiteral("EWD00EN"), QStringLiteral("March 2024"))},
        {QString(), good}, // an empty line
    };
    for (const QStringList& records : broken) {
        writeCd(records, {QStringLiteral("RM010EN"), QStringLiteral("EWD00EN")});
        EXPECT_EQ(check(), CheckLatestResult::NotLatest) << records.join(QLatin1Char('/')).toStdString();
        EXPECT_TRUE(lines.isEmpty());
        EXPECT_EQ(local(), before);
    }

    // A broken local catalogue, then a missing CD catalogue.
    writeCd({good}, {QStringLiteral("RM010EN")});
    ASSERT_TRUE(t.temp().writeFile(QLatin1String(LocalFile), "RM010EN,2023/06\r\n"));
    EXPECT_EQ(check(), CheckLatestResult::NotLatest);
    writeLocal({good});
    ASSERT_TRUE(QFile::remove(t.temp().host(QLatin1String(CdFile))));
    EXPECT_EQ(check(), CheckLatestResult::NotLatest);
}

TEST_F(InstallerManInfoTest, ExtraFieldsAndLineEndsAreAccepted) {
    writeLocal(
        {record(QStringLiteral("RM010EN"), QStringLiteral("2023/06")) + QStringLiteral(",extra,fields")});
    ASSERT_TRUE(
        t.temp().writeFile(QLatin1String(CdFile),
                           record(QStringLiteral("RM010EN"), QStringLiteral("2023/06")).toLatin1() + "\n"));
    t.os().files().createFolderPath(QStringLiteral("C:\\CD\\RM010EN"));
    EXPECT_EQ(check(), CheckLatestResult::Latest);
}

TEST_F(InstallerManInfoTest, ReadOnlyLocalCatalogueIsStillReplaced) {
    writeLocal({record(QStringLiteral("RM010EN"), QStringLiteral("2023/06"))});
    ASSERT_TRUE(t.os().files().setAttributes(QLatin1String(LocalFile), platform::FILE_ATTRIBUTE_READONLY));
    writeCd({record(QStringLiteral("RM010EN"), QStringLiteral("2024/03"))}, {QStringLiteral("RM010EN")});
    EXPECT_EQ(check(), CheckLatestResult::Latest);
    EXPECT_EQ(local(), cd());
    EXPECT_FALSE(t.os().files().isReadOnly(QLatin1String(LocalFile)));
}

TEST_F(InstallerManInfoTest, FolderThatCannotBeCreatedEndsTheProgram) {
    // A file where the folder belongs: the folder cannot be made.
    ASSERT_TRUE(t.temp().writeFile(QStringLiteral("C:\\man_info"), "not a folder"));
    writeCd({record(QStringLiteral("RM010EN"), QStringLiteral("2023/06"))}, {QStringLiteral("RM010EN")});
    EXPECT_EQ(check(), CheckLatestResult::EndProgram);
    ASSERT_EQ(asked().size(), 1u);
    EXPECT_EQ(asked().front().text, QStringLiteral("Marvec Service System Error"));
    EXPECT_EQ(asked().front().style, 0);
    EXPECT_EQ(t.temp().readFile(QStringLiteral("C:\\man_info")), QByteArray("not a folder"));
}

TEST(ManInfoIssueDate, YearAndMonthToTheFirstOfTheMonth) {
    EXPECT_EQ(ManInfoIssueDate(QStringLiteral("2024/03")), QDate(2024, 3, 1));
    EXPECT_EQ(ManInfoIssueDate(QStringLiteral(" 2024/3 ")), QDate(2024, 3, 1));
    EXPECT_FALSE(ManInfoIssueDate(QStringLiteral("2024/00")).isValid());
    EXPECT_FALSE(ManInfoIssueDate(QStringLiteral("2024/03/01")).isValid());
    EXPECT_FALSE(ManInfoIssueDate(QStringLiteral("")).isValid());
    EXPECT_FALSE(ManInfoIssueDate(QStringLiteral("24/03")).isValid());
}
