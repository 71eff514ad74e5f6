#include "platform/TextCodec.h"
#include "shared/config/IniFiles.h"
#include "shared/config/Language.h"
#include "shared/config/Messages.h"
#include "shared/config/SysParameters.h"
#include "shared/testing/SharedTestContext.h"

#include <QFile>
#include <gtest/gtest.h>

using namespace marvek;
using namespace marvek::shared;

namespace {

const QString ParameterFile = QStringLiteral("C:\\CD\\programs\\setup\\SysDir\\SysParameter.ini");

class ConfigTest : public ::testing::Test {
protected:
    // machine.ini of the prefix: the user's language and the ANSI code page.
    void setLocale(const char* langId, int codePage) {
        QFile file(t.temp().machine().machineIniFile());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(QByteArray("[Locale]\r\nUserDefaultLangID=") + langId +
                   "\r\nSystemDefaultLangID=" + langId + "\r\nACP=" + QByteArray::number(codePage) + "\r\n");
    }

    // A complete SysParameter.ini in which one line may be replaced ("Key=..." by its key).
    void writeParameters(const QByteArray& replacedLine = {}) {
        QList<QByteArray> lines = {"[SYSTEM INFORMATION]",
                                   "LCID_Flg=1",
                                   "ShortcutIcon=1",
                                   "DTX3_EXE_NAME=ManualLink.exe",
                                   "DTX3_MDB_NAME=manual.mdb",
                                   "MCP_EXE_NAME=Mandex.exe",
                                   "ZIP_ExtractTime=600",
                                   "DTX3_NEW_MDB_NAME=manual_new.mdb",
                                   "[MDB COLUMN LENGTH]",
                                   "Pub_No=10",
                                   "Model_desc=50",
                                   "Model_ID=20",
                                   "Version=4",
                                   "Year=4",
                                   "Kubun=2",
                                   "Country=2",
                                   "Lang=2",
                                   "Ldup=8"};
        if (!replacedLine.isEmpty()) {
            const QByteArray key = replacedLine.left(replacedLine.indexOf('=') + 1);
            for (QByteArray& line : lines) {
                if (line.startsWith(key))
                    line = replacedLine;
            }
        }
        ASSERT_TRUE(t.temp().writeFile(ParameterFile, lines.join("\r\n") + "\r\n"));
    }

    void writeMessages(const QString& name, const QByteArray& body) {
        ASSERT_TRUE(t.temp().writeFile(QStringLiteral("C:\\CD\\programs\\setup\\SysDir\\") + name,
                                       "[MESSAGE]\r\n" + body));
    }

    marvek::testing::SharedTestContext t;
};

TEST_F(ConfigTest, CompleteParameterFileLoadsEveryKey) {
    writeParameters();
    ASSERT_TRUE(LoadSysParameters(t.ctx));
    const SystemParameters& p = t.ctx.systemParameters;
    EXPECT_EQ(p.LCID_Flg, 1);
    EXPECT_EQ(p.ShortcutIcon, 1);
    EXPECT_EQ(p.DTX3_EXE_NAME, QStringLiteral("ManualLink.exe"));
    EXPECT_EQ(p.DTX3_MDB_NAME, QStringLiteral("manual.mdb"));
    EXPECT_EQ(p.MCP_EXE_NAME, QStringLiteral("Mandex.exe"));
    EXPECT_EQ(p.ZIP_ExtractTime, 600);
    EXPECT_EQ(p.DTX3_NEW_MDB_NAME, QStringLiteral("manual_new.mdb"));
    EXPECT_EQ(p.columnLength(Column::Pub_No), 10);
    EXPECT_EQ(p.columnLength(Column::Model_desc), 50);
    EXPECT_EQ(p.columnLength(Column::Ldup), 8);
}

TEST_F(ConfigTest, IntegerConversionRules) {
    struct Case {
        QByteArray line;
        bool loads;
    };
    const Case cases[] = {
        {"Pub_No=", false},            // empty integer
        {"Pub_No=abc", false},         // not a number
        {"Pub_No=12abc", false},       // trailing garbage
        {"Pub_No=1.5", false},         // not an integer
        {"ShortcutIcon=40000", false}, // outside 16 bits
        {"ShortcutIcon=32768", false},
        {"ShortcutIcon=-32769", false},
        {"ShortcutIcon=32767", true},
        {"ShortcutIcon=-32768", true},
        {"ZIP_ExtractTime=40000", true}, // 32 bits
        {"ZIP_ExtractTime=2147483648", false},
        {"Ldup=\"  12  \"", true}, // blanks around the number (kept by the quotes)
        {"DTX3_MDB_NAME=", true},  // empty text keys are fine
        {"MCP_EXE_NAME=", true},
    };
    for (const Case& c : cases) {
        writeParameters(c.line);
        EXPECT_EQ(LoadSysParameters(t.ctx), c.loads) << c.line.constData();
    }
}

TEST_F(ConfigTest, FailedLoadKeepsWhatWasReadBeforeTheFailingKey) {
    t.ctx.systemParameters.DTX3_NEW_MDB_NAME = QStringLiteral("old");
    t.ctx.systemParameters.ColumnLengths.fill(-1);
    writeParameters("ZIP_ExtractTime=soon");
    EXPECT_FALSE(LoadSysParameters(t.ctx));
    EXPECT_EQ(t.ctx.systemParameters.MCP_EXE_NAME, QStringLiteral("Mandex.exe")); // read before the failure
    EXPECT_EQ(t.ctx.systemParameters.DTX3_NEW_MDB_NAME, QStringLiteral("old"));   // not reached
    EXPECT_EQ(t.ctx.systemParameters.columnLength(Column::Pub_No), -1);
}

TEST_F(ConfigTest, MissingParameterFileFailsTheLoad) {
    EXPECT_FALSE(LoadSysParameters(t.ctx));
    EXPECT_TRUE(
        ReadSysParameter(t.ctx, QStringLiteral("SYSTEM INFORMATION"), QStringLiteral("LCID_Flg")).isEmpty());
}

TEST_F(ConfigTest, ValuesAreReadInTheAnsiCodePageAndCutAt255Characters) {
    setLocale("0411", 932);
    const QString name = QStringLiteral("マニュアル.mdb");
    writeParameters("DTX3_MDB_NAME=" + platform::encodeCodePage(name, 932));
    ASSERT_TRUE(LoadSysParameters(t.ctx));
    EXPECT_EQ(t.ctx.systemParameters.DTX3_MDB_NAME, name);

    const QString file = QStringLiteral("C:\\data\\car_info.ci");
    ASSERT_TRUE(
        t.temp().writeFile(file, "[CAR]\r\nPub_No =  AB1234  \r\nLong=" + QByteArray(300, 'x') + "\r\n"));
    EXPECT_EQ(ReadIniValue(t.ctx, file, QStringLiteral("car"), QStringLiteral("pub_no")),
              QStringLiteral("AB1234"));
    EXPECT_EQ(ReadIniValue(t.ctx, file, QStringLiteral("CAR"), QStringLiteral("Long")).size(), 255);
    EXPECT_TRUE(ReadIniValue(t.ctx, file, QStringLiteral("CAR"), QStringLiteral("None")).isEmpty());
    EXPECT_TRUE(ReadIniValue(t.ctx, QStringLiteral("C:\\data\\none.ci"), QStringLiteral("CAR"),
                             QStringLiteral("Pub_No"))
                    .isEmpty());
}

TEST_F(ConfigTest, LanguageIdentifiersMapToLanguageCodes) {
    const std::pair<const char*, const char*> map[] = {
        {"0409", "09"},  {"0411", "11"},  {"0804", "04S"}, {"1004", "04S"}, {"0404", "04T"},
        {"0C04", "04T"}, {"0c04", "04T"}, {"1404", "04"},  {"0407", "07"},  {"040C", "0C"},
    };
    for (const auto& [id, code] : map)
        EXPECT_EQ(MapLanguageCode(QLatin1String(id)), QLatin1String(code)) << id;

    setLocale("0c04", 950);
    EXPECT_EQ(GetLanguageId(t.ctx), QStringLiteral("0C04"));
    EXPECT_EQ(GetLanguageCode(t.ctx), QStringLiteral("04T"));
    setLocale("0411", 932);
    EXPECT_EQ(GetLanguageId(t.ctx), QStringLiteral("0411"));
    EXPECT_EQ(GetLanguageCode(t.ctx), QStringLiteral("11"));
}

TEST_F(ConfigTest, MessagesComeFromTheLanguageFileElseFromTheEnglishOne) {
    setLocale("0411", 932);
    t.ctx.LanguageCode = GetLanguageCode(t.ctx);
    writeMessages(QStringLiteral("M09.ini"), "M007=Seven\r\nM120=Hundred twenty\r\nM200=English only\r\n");

    // M11.ini absent: the English file is read.
    EXPECT_EQ(GetMessage(t.ctx, QStringLiteral("MESSAGE"), 7), QStringLiteral("Seven"));
    EXPECT_EQ(GetMessage(t.ctx, QStringLiteral("MESSAGE"), 120), QStringLiteral("Hundred twenty"));

    // M11.ini present: only it is read, also for a key it lacks.
    writeMessages(QStringLiteral("M11.ini"),
                  "M007=" + platform::encodeCodePage(QStringLiteral("七"), 932) + "\r\n");
    EXPECT_EQ(GetMessage(t.ctx, QStringLiteral("MESSAGE"), 7), QStringLiteral("七"));
    EXPECT_TRUE(GetMessage(t.ctx, QStringLiteral("MESSAGE"), 200).isEmpty());
    EXPECT_TRUE(GetMessage(t.ctx, QStringLiteral("OTHER"), 7).isEmpty());
}

TEST_F(ConfigTest, ChineseAndOtherLanguagesPickTheirOwnFiles) {
    writeMessages(QStringLiteral("M09.ini"), "M001=English\r\n");
    writeMessages(QStringLiteral("M04T.ini"), "M001=Traditional\r\n");

    t.ctx.LanguageCode = MapLanguageCode(QStringLiteral("0C04"));
    EXPECT_EQ(GetMessage(t.ctx, QStringLiteral("MESSAGE"), 1), QStringLiteral("Traditional"));

    t.ctx.LanguageCode = MapLanguageCode(QStringLiteral("1404"));
    EXPECT_EQ(MessageFilePath(t.ctx), QStringLiteral("C:\\CD\\programs\\setup\\SysDir\\M04.ini"));
    EXPECT_EQ(GetMessage(t.ctx, QStringLiteral("MESSAGE"), 1), QStringLiteral("English"));
    writeMessages(QStringLiteral("M04.ini"), "M001=Macau\r\n");
    EXPECT_EQ(GetMessage(t.ctx, QStringLiteral("MESSAGE"), 1), QStringLiteral("Macau"));

    // Neither file: every message is empty.
    t.ctx.setProgramFolder(QStringLiteral("C:\\elsewhere"));
    EXPECT_TRUE(GetMessage(t.ctx, QStringLiteral("MESSAGE"), 1).isEmpty());
}

TEST_F(ConfigTest, CaptionsFallBackToTheEnglishKeyInTheSameFile) {
    t.ctx.LanguageCode = QStringLiteral("04S");
    writeMessages(QStringLiteral("M04S.ini"), "04S_01=Simplified one\r\n09_03=Three in English\r\n");
    writeMessages(QStringLiteral("M09.ini"), "09_01=One\r\n09_03=Three from M09\r\n");
    EXPECT_EQ(GetCaption(t.ctx, QStringLiteral("MESSAGE"), 1), QStringLiteral("Simplified one"));
    EXPECT_EQ(GetCaption(t.ctx, QStringLiteral("MESSAGE"), 3), QStringLiteral("Three in English"));
    EXPECT_TRUE(GetCaption(t.ctx, QStringLiteral("MESSAGE"), 4).isEmpty());
}

} // namespace
