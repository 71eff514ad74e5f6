#include "launcher/LauncherLocalRead.h"
#include "shared/maninfo/tests/ManInfoTestSupport.h"

#include <QFile>

using namespace marvek;
using namespace marvek::shared;
using marvek::launcher::LauncherLocalRead;

namespace {

class LauncherManInfoTest : public marvek::testing::ManInfoTest {
protected:
    LauncherManInfoTest() { t.ctx.AppTitle = QStringLiteral("Cdlaunch"); }

    CheckLatestResult check(const QString& languageId = QStringLiteral("0409")) {
        LauncherLocalRead module(t.ctx, t.ctx.SourceRoot, languageId);
        const CheckLatestResult result = module.ManInfo_CheckLatest();
        lines = module.notLatestLines();
        return result;
    }

    QStringList lines;
};

} // namespace

TEST_F(LauncherManInfoTest, NoLocalCatalogueTakesTheCdsWithoutAQuestion) {
    writeCd({record(QStringLiteral("RM010EN"), QStringLiteral("2023/06"))});
    EXPECT_EQ(check(), CheckLatestResult::Latest);
    EXPECT_EQ(local(), cd());
    EXPECT_TRUE(asked().empty());
    EXPECT_EQ(t.clock().sleeps(), 0); // no attributes were cleared, so no wait
}

TEST_F(LauncherManInfoTest, NewerEqualAndMissingKeys) {
    writeLocal({record(QStringLiteral("RM010EN"), QStringLiteral("2023/06"))});
    const QByteArray before = local();
    writeCd({record(QStringLiteral("RM010EN"), QStringLiteral("2023/06"), QStringLiteral("Other name"))});
    EXPECT_EQ(check(), CheckLatestResult::Latest);
    EXPECT_EQ(local(), before); // equal: untouched

    writeCd({record(QStringLiteral("RM010EN"), QStringLiteral("2023/06")),
             record(QStringLiteral("NCF00EN"), QStringLiteral("2024/01"))});
    EXPECT_EQ(check(), CheckLatestResult::Latest); // a key unknown to the PC is newer
    EXPECT_EQ(local(), cd());

    writeCd({record(QStringLiteral("RM010EN"), QStringLiteral("2024/03"))});
    EXPECT_EQ(check(), CheckLatestResult::Latest);
    EXPECT_EQ(local(), cd());
    EXPECT_TRUE(asked().empty());
}

TEST_F(LauncherManInfoTest, OlderRecordCountsEvenWithoutItsFolderOnTheCd) {
    writeLocal({record(QStringLiteral("RM010EN"), QStringLiteral("2024/03")),
                record(QStringLiteral("EWD00EN"), QStringLiteral("2023/01"))});
    const QByteArray before = local();
    // No manual folders on this CD at all: the launcher compares every record.
    writeCd({record(QStringLiteral("RM010EN"), QStringLiteral("2023/06"), QStringLiteral("Aurea Hybrid")),
             record(QStringLiteral("EWD00EN"), QStringLiteral("2024/02"))});

    LauncherLocalRead module(t.ctx, t.ctx.SourceRoot, QStringLiteral("0409"));
    EXPECT_EQ(module.ManInfo_CheckLatest(), CheckLatestResult::NotLatest);
    EXPECT_EQ(local(), before);
    ASSERT_EQ(module.notLatestLines().size(), 1);
    EXPECT_EQ(module.notLatestLines().at(0),
              QStringLiteral("Aurea Hybrid classification ZVH50 type(RM010EN)  is not the latest manuals.|"));

    t.ui().addAnswer(QStringLiteral("6"));
    EXPECT_EQ(module.ManInfo_ShowNotLatest(), 6);
    ASSERT_EQ(asked().size(), 1u);
    EXPECT_EQ(asked().front().title, QStringLiteral("Marvek Manual Information"));
    EXPECT_EQ(asked().front().style, 52);
    EXPECT_EQ(
        asked().front().text,
        QStringLiteral("Aurea Hybrid classification ZVH50 type(RM010EN)  is not the latest manuals.\r\r"
                       "Use the latest hybrid version service manual CD.\rDo you want to view as is ?"));
}

TEST_F(LauncherManInfoTest, JapaneseTextsOnlyForLanguage0411) {
    writeLocal({record(QStringLiteral("RMJ00JA"), QStringLiteral("2024/03"))});
    // A Japanese PC: the catalogue is read in code page 932.
    QFile ini(t.temp().machine().machineIniFile());
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write("[Locale]\nACP=932\n");
    ini.close();
    ASSERT_TRUE(t.temp().writeFile(
        QLatin1String(CdFile),
        platform::encodeCodePage(record(QStringLiteral("RMJ00JA"), QStringLiteral("2024/01"),
                                        QStringLiteral("オーレア"), QStringLiteral("ZVH50")) +
                                     QStringLiteral("\r\n"),
                                 platform::CodePageShiftJis)));

    LauncherLocalRead japanese(t.ctx, t.ctx.SourceRoot, QStringLiteral("0411"));
    EXPECT_EQ(japanese.languageId(), QStringLiteral("0411"));
    EXPECT_EQ(japanese.ManInfo_CheckLatest(), CheckLatestResult::NotLatest);
    t.ui().addAnswer(QStringLiteral("7"));
    EXPECT_EQ(japanese.ManInfo_ShowNotLatest(), 7);
    EXPECT_EQ(asked().back().text,
              QStringLiteral("オーレア 区分ZVH50 （RMJ00JA） が最新のマニュアルではありません。\r\r"
                             "最新のハイブリッド版サービスマニュアルをご使用下さい。\r"
                             "このまま閲覧しますか？"));

    // Any other identifier, a Chinese or German one too, gives the English texts.
    for (const char* id : {"0404", "0407", "", "411"}) {
        LauncherLocalRead other(t.ctx, t.ctx.SourceRoot, QLatin1String(id));
        EXPECT_EQ(other.languageId(), QStringLiteral("0409"));
        EXPECT_EQ(other.ManInfo_CheckLatest(), CheckLatestResult::NotLatest);
        EXPECT_TRUE(other.notLatestLines().at(0).endsWith(QStringLiteral(" is not the latest manuals.|")));
    }
}

TEST_F(LauncherManInfoTest, DuplicateKeysAndBrokenLines) {
    writeLocal({record(QStringLiteral("RM010EN"), QStringLiteral("2024/03")),
                record(QStringLiteral("RM010EN"), QStringLiteral("2022/01"))});
    writeCd({record(QStringLiteral("RM010EN"), QStringLiteral("2023/06"))});
    EXPECT_EQ(check(), CheckLatestResult::NotLatest); // only the first local record counts

    writeLocal({record(QStringLiteral("RM010EN"), QStringLiteral("2023/06"))});
    const QByteArray before = local();
    writeCd({record(QStringLiteral("RM010EN"), QStringLiteral("2024/03")), QStringLiteral("a,b,c")});
    EXPECT_EQ(check(), CheckLatestResult::NotLatest);
    EXPECT_TRUE(lines.isEmpty());
    EXPECT_EQ(local(), before);
}

TEST_F(LauncherManInfoTest, ReadOnlyLocalFileIsClearedWithOneWait) {
    writeLocal({record(QStringLiteral("RM010EN"), QStringLiteral("2023/06"))});
    ASSERT_TRUE(t.os().files().setAttributes(QLatin1String(LocalFile), platform::FILE_ATTRIBUTE_READONLY));
    // The CD file is read-only, as on a real CD: the copy still ends up writable.
    writeCd({record(QStringLiteral("RM010EN"), QStringLiteral("2024/03"))});
    ASSERT_TRUE(t.os().files().setAttributes(QLatin1String(CdFile), platform::FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(check(), CheckLatestResult::Latest);
    EXPECT_EQ(local(), cd());
    EXPECT_FALSE(t.os().files().isReadOnly(QLatin1String(LocalFile)));
    EXPECT_EQ(t.clock().sleeps(), 1);
    EXPECT_EQ(t.clock().sleptMs(), 1000);
    EXPECT_TRUE(asked().empty());
}

TEST_F(LauncherManInfoTest, LocalFileThatCannotBeDeletedGivesUpTheReplacement) {
    // A folder stands where the catalogue belongs: it cannot be deleted as a file.
    ASSERT_TRUE(t.os().files().createFolderPath(QLatin1String(LocalFile)));
    writeCd({record(QStringLiteral("RM010EN"), QStringLiteral("2024/03"))});
    EXPECT_EQ(check(), CheckLatestResult::Latest);
    ASSERT_EQ(asked().size(), 1u);
    EXPECT_EQ(asked().front().text, QStringLiteral("FILE KILL ERROR = C:\\man_info\\man_info_do.ci"));
    EXPECT_EQ(asked().front().style, 0);
    EXPECT_TRUE(t.os().files().folderExists(QLatin1String(LocalFile)));
}

TEST_F(LauncherManInfoTest, FailingCopyIsSilent) {
    // No CD catalogue: the copy fails without a word, and the CD still counts as the latest.
    EXPECT_EQ(check(), CheckLatestResult::Latest);
    EXPECT_TRUE(asked().empty());
    EXPECT_FALSE(t.os().files().exists(QLatin1String(LocalFile)));
}

TEST_F(LauncherManInfoTest, FolderThatCannotBeCreatedEndsTheProgram) {
    ASSERT_TRUE(t.temp().writeFile(QStringLiteral("C:\\man_info"), "x"));
    EXPECT_EQ(check(), CheckLatestResult::EndProgram);
    ASSERT_EQ(asked().size(), 1u);
    EXPECT_EQ(asked().front().text, QStringLiteral("Marvec Service System Error"));
    EXPECT_EQ(asked().front().title, QStringLiteral("Cdlaunch"));
}
