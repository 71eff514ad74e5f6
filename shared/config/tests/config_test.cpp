#include "platform/TextCodec.h"
#include "shared/config/IniFiles.h"
#include "shared/config/Language.h"
#include "shared/config/Messages.h"
#include "shared/config/SysParameters.h"
#include "shared/testing/SharedTestContext.h"

#include <QFile>
#include <gtest/gtest.h>

using namespace marvek::shared;

namespace {

class ConfigTest : public ::testing::Test {
protected:
    // Loads a complete SysParameter.ini in which the line of one key may be replaced ("Key=...").
    bool loads(const QByteArray& replacedLine = {}) {
        QByteArray text =
            "[SYSTEM INFORMATION]\r\nLCID_Flg=1\r\nShortcutIcon=1\r\nDTX3_EXE_NAME=Link.exe\r\n"
            "DTX3_MDB_NAME=manual.mdb\r\nMCP_EXE_NAME=Mandex.exe\r\nZIP_ExtractTime=600\r\n"
            "DTX3_NEW_MDB_NAME=new.mdb\r\n[MDB COLUMN LENGTH]\r\nPub_No=10\r\nModel_desc=50\r\n"
            "Model_ID=20\r\nVersion=4\r\nYear=4\r\nKubun=2\r\nCountry=2\r\nLang=2\r\nLdup=8\r\n";
        const qsizetype at = text.indexOf("\n" + replacedLine.left(replacedLine.indexOf('=') + 1)) + 1;
        text.replace(at, replacedLine.isEmpty() ? 0 : text.indexOf('\r', at) - at, replacedLine);
        EXPECT_TRUE(t.temp().writeFile(t.ctx.SysParameterPath, text));
        return LoadSysParameters(t.ctx);
    }
    void writeMessages(const char* name, const QByteArray& body) {
        ASSERT_TRUE(t.temp().writeFile(t.ctx.SysDirPath + q("\\") + q(name), "[MESSAGE]\r\n" + body));
    }
    QString message(int number) { return GetMessage(t.ctx, q("MESSAGE"), number); }
    QString caption(int number) { return GetCaption(t.ctx, q("MESSAGE"), number); }

    marvek::testing::SharedTestContext t;
};

TEST_F(ConfigTest, ParameterFileLoadsEveryKeyWithItsConversionRules) {
    ASSERT_TRUE(loads());
    SystemParameters& p = t.ctx.systemParameters;
    EXPECT_EQ(std::make_tuple(p.LCID_Flg, p.ShortcutIcon, p.ZIP_ExtractTime), std::make_tuple(1, 1, 600));
    EXPECT_EQ(QStringList({p.DTX3_EXE_NAME, p.DTX3_MDB_NAME, p.MCP_EXE_NAME, p.DTX3_NEW_MDB_NAME}),
              QStringList({"Link.exe", "manual.mdb", "Mandex.exe", "new.mdb"}));
    EXPECT_EQ(p.ColumnLengths, (std::array<qint16, ColumnCount>{10, 50, 20, 4, 4, 2, 2, 2, 8}));

    for (const char* line : {"Pub_No=", "Pub_No=12abc", "Pub_No=1.5", "ShortcutIcon=32768",
                             "ShortcutIcon=-32769", "ZIP_ExtractTime=2147483648"})
        EXPECT_FALSE(loads(line)) << line;
    // Blanks around a number are allowed (kept here by the quotes); an empty text key is fine.
    for (const char* line : {"ShortcutIcon=32767", "ShortcutIcon=-32768", "ZIP_ExtractTime=40000",
                             "Ldup=\"  +12  \"", "DTX3_MDB_NAME="})
        EXPECT_TRUE(loads(line)) << line;

    // The first key that fails stops the load: the keys before it keep their new values.
    p.ColumnLengths.fill(-1);
    p.DTX3_NEW_MDB_NAME = q("old");
    p.MCP_EXE_NAME.clear();
    EXPECT_FALSE(loads("ZIP_ExtractTime=soon"));
    EXPECT_EQ(QStringList({p.MCP_EXE_NAME, p.DTX3_NEW_MDB_NAME}), QStringList({"Mandex.exe", "old"}));
    EXPECT_EQ(p.columnLength(Column::Pub_No), -1);
    ASSERT_TRUE(QFile::remove(t.temp().host(t.ctx.SysParameterPath)));
    EXPECT_FALSE(LoadSysParameters(t.ctx));
}

TEST_F(ConfigTest, IniValuesAreTrimmedOfBlanksOnlyAndLanguagesMapToCodes) {
    EXPECT_EQ(TrimBlanks(q("  \tA B\t  ")), q("\tA B\t"));
    const QString file = q("C:\\data\\car_info.ci");
    ASSERT_TRUE(t.temp().writeFile(file, "[CAR]\r\nPub_No = \" AB1234 \"\r\n"));
    EXPECT_EQ(ReadIniValue(t.ctx, file, q("car"), q("pub_no")), q("AB1234"));
    EXPECT_EQ(ReadIniValue(t.ctx, q("C:\\none.ci"), q("CAR"), q("Pub_No")), QString());

    const std::pair<const char*, const char*> map[] = {{"0409", "09"},  {"0411", "11"},  {"0804", "04S"},
                                                       {"1004", "04S"}, {"0404", "04T"}, {"0c04", "04T"},
                                                       {"1404", "04"},  {"040C", "0C"}};
    for (const auto& [id, code] : map)
        EXPECT_EQ(MapLanguageCode(q(id)), q(code)) << id;
    ASSERT_TRUE(t.setLocale("0c04"));
    EXPECT_EQ(QStringList({GetLanguageId(t.ctx), GetLanguageCode(t.ctx)}), QStringList({"0C04", "04T"}));
}

TEST_F(ConfigTest, MessagesComeFromTheLanguageFileElseFromTheEnglishOne) {
    t.ctx.LanguageCode = q("11");
    EXPECT_TRUE(message(7).isEmpty()); // neither file
    writeMessages("M09.ini", "M007=Seven\r\nM120=Hundred twenty\r\n09_01=One\r\n09_03=M09 three\r\n");
    EXPECT_EQ(QStringList({message(7), message(120)}),
              QStringList({"Seven", "Hundred twenty"})); // no M11.ini
    EXPECT_EQ(caption(1), q("One"));

    // M11.ini present: only it is read, also for a key it lacks; captions fall back to "09_" in it.
    ASSERT_TRUE(t.setLocale("0411")); // code page 932
    writeMessages("M11.ini",
                  "M007=" + marvek::platform::encodeCodePage(q("七"), 932) + "\r\n11_01=Eins\r\n09_03=3");
    EXPECT_EQ(message(7), q("七"));
    EXPECT_TRUE(message(120).isEmpty());
    EXPECT_TRUE(GetMessage(t.ctx, q("OTHER"), 7).isEmpty());
    EXPECT_EQ(caption(1), q("Eins"));
    EXPECT_EQ(caption(3), q("3"));
    EXPECT_TRUE(caption(4).isEmpty());

    // Read once for several texts: the texts of the file as it was then, in the same code page.
    const MessageFile file(t.ctx);
    writeMessages("M11.ini", "M007=changed\r\n");
    EXPECT_EQ(file.message(q("MESSAGE"), 7), q("七"));
    EXPECT_EQ(file.caption(q("MESSAGE"), 1), q("Eins"));
    EXPECT_EQ(message(7), q("changed"));
}

} // namespace
