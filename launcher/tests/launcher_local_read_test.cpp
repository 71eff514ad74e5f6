#include "launcher/LauncherLocalRead.h"
#include "shared/maninfo/tests/ManInfoTestSupport.h"

using namespace marvek;
using namespace marvek::shared;
using namespace marvek::testing;
using marvek::launcher::LauncherLocalRead;

namespace {

class LauncherManInfoTest : public ManInfoTest {
protected:
    LauncherManInfoTest() { t.ctx.AppTitle = QStringLiteral("Cdlaunch"); }

    Module make(const char* languageId = "0409") {
        return std::make_unique<LauncherLocalRead>(t.ctx, t.ctx.SourceRoot, QLatin1String(languageId));
    }
};

} // namespace

TEST_F(LauncherManInfoTest, LatestCdComparisonsReplacementAndFolderFailure) {
    checkLatestCd([this] { return make(); });
    // One wait of a second, after clearing the read-only catalogue's attributes, and none elsewhere.
    EXPECT_EQ(t.clock().sleeps(), 1);
    EXPECT_EQ(t.clock().sleptMs(), 1000);
}

TEST_F(LauncherManInfoTest, OlderRecordsCountEvenWithoutTheirFolderOnTheCd) {
    write(LocalFile, "RM010EN=2024/03|XYZ00EN=2024/03");
    write(CdFile, "XYZ00EN=2023/06|RM010EN=2023/06"); // XYZ00EN has no folder on this CD
    const Module module = make();
    EXPECT_EQ(module->ManInfo_CheckLatest(), NotLatest);
    checkQuestion(
        *module, 6,
        QStringLiteral("Aurea classification ZVH50 type(XYZ00EN)  is not the latest manuals.\r"
                       "Aurea classification ZVH50 type(RM010EN)  is not the latest manuals.\r\r"
                       "Use the latest hybrid version service manual CD.\rDo you want to view as is ?"));
}

TEST_F(LauncherManInfoTest, JapaneseTextsOnlyForLanguage0411) {
    ASSERT_TRUE(t.setLocale("0411")); // a Japanese PC reads the catalogue in code page 932
    write(LocalFile, "RMJ00JA=2024/03");
    write(CdFile, "オーレア,ZVH50,Manual,RMJ00JA,RMJ00JA,2024/01", platform::CodePageShiftJis);
    const Module japanese = make("0411");
    EXPECT_EQ(japanese->ManInfo_CheckLatest(), NotLatest);
    checkQuestion(
        *japanese, 7,
        QStringLiteral("オーレア 区分ZVH50 （RMJ00JA） が最新のマニュアルではありません。\r\r"
                       "最新のハイブリッド版サービスマニュアルをご使用下さい。\rこのまま閲覧しますか？"));

    // Any other identifier, a Chinese or German one too, gives the English texts.
    for (const char* id : {"0404", "0407", "", "411"}) {
        const Module other = make(id);
        EXPECT_EQ(other->ManInfo_CheckLatest(), NotLatest);
        EXPECT_TRUE(other->notLatestLines().at(0).endsWith(QStringLiteral(" is not the latest manuals.|")))
            << id;
    }
}

TEST_F(LauncherManInfoTest, LocalFileThatCannotBeDeletedGivesUpTheReplacement) {
    // A folder stands where the catalogue belongs: it cannot be deleted as a file.
    ASSERT_TRUE(t.os().files().createFolderPath(QLatin1String(LocalFile)));
    write(CdFile, "RM010EN=2024/03");
    EXPECT_EQ(make()->ManInfo_CheckLatest(), Latest);
    ASSERT_EQ(asked().size(), 1u);
    EXPECT_EQ(asked().front().text, QStringLiteral("FILE KILL ERROR = C:\\man_info\\man_info_do.ci"));
    EXPECT_EQ(asked().front().style, 0);
    EXPECT_TRUE(t.os().files().folderExists(QLatin1String(LocalFile)));
}

// The CD is taken out between the comparison and the replacement.
class EjectedBeforeReplacement : public LauncherLocalRead {
public:
    using LauncherLocalRead::LauncherLocalRead;

protected:
    void replaceLocalFile(const QString& source, const QString& target) override {
        m_ctx.os.files().removeFile(source);
        LauncherLocalRead::replaceLocalFile(source, target);
    }
};

TEST_F(LauncherManInfoTest, CopyThatFailsKeepsTheRecordOnThePc) {
    write(LocalFile, "RM010EN=2023/06");
    write(CdFile, "RM010EN=2024/03");
    const QByteArray before = local();
    EjectedBeforeReplacement module(t.ctx, t.ctx.SourceRoot, QStringLiteral("0409"));
    EXPECT_EQ(module.ManInfo_CheckLatest(), Latest);
    EXPECT_TRUE(asked().empty());
    EXPECT_EQ(local(), before);
}

// What an interrupted replacement, or anything else, left under the staging name never blocks the next
// replacement; a leftover that is not a plain file is left alone.
TEST_F(LauncherManInfoTest, LeftoverUnderTheStagingNameNeverBlocksTheReplacement) {
    const QString staged = QLatin1String(LocalFile) + QStringLiteral(".new");
    const QString elsewhere = t.temp().host(QStringLiteral("C:\\elsewhere.ci"));
    const auto folder = [&](const QString& path) {
        return t.temp().writeFile(path + QStringLiteral("\\inside.txt"), "kept");
    };
    struct Leftover {
        const char* what;
        std::function<bool()> leave;
        QStringList remaining; // in C:\man_info afterwards
    };
    const Leftover leftovers[] = {
        {"a read-only file",
         [&] {
             return t.temp().writeFile(staged, "old") &&
                    t.os().files().setAttributes(staged, platform::FILE_ATTRIBUTE_READONLY);
         },
         {"man_info_do.ci"}},
        {"a folder", [&] { return folder(staged); }, {"man_info_do.ci", "man_info_do.ci.new"}},
        {"two folders",
         [&] { return folder(staged) && folder(staged + QStringLiteral("1")); },
         {"man_info_do.ci", "man_info_do.ci.new", "man_info_do.ci.new1"}},
        {"a symlink to nowhere",
         [&] { return QFile::link(elsewhere, t.temp().host(staged)); },
         {"man_info_do.ci", "man_info_do.ci.new"}},
    };
    for (const Leftover& row : leftovers) {
        SCOPED_TRACE(row.what);
        ASSERT_TRUE(QDir(t.temp().host(QStringLiteral("C:\\man_info"))).removeRecursively());
        write(LocalFile, "RM010EN=2023/06");
        write(CdFile, "RM010EN=2024/03");
        ASSERT_TRUE(row.leave());
        EXPECT_EQ(make()->ManInfo_CheckLatest(), Latest);
        EXPECT_TRUE(asked().empty());
        EXPECT_EQ(local(), cd());
        EXPECT_FALSE(QFileInfo(t.temp().host(QLatin1String(LocalFile))).isSymLink());
        EXPECT_FALSE(QFileInfo::exists(elsewhere)) << "nothing is written through a link";
        EXPECT_EQ(QDir(t.temp().host(QStringLiteral("C:\\man_info")))
                      .entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot, QDir::Name),
                  row.remaining);
        if (QFileInfo(t.temp().host(staged)).isDir()) {
            EXPECT_EQ(t.temp().readFile(staged + QStringLiteral("\\inside.txt")), QByteArray("kept"));
        }
    }
}
