#include "platform/TextCodec.h"
#include "shared/catalogue/CarInfo.h"
#include "shared/testing/SharedTestContext.h"

#include <QFile>
#include <gtest/gtest.h>

using namespace marvek;
using namespace marvek::shared;

namespace {

// The limits of every field, as the CD's SysParameter.ini sets them.
SystemParameters limits(qint16 pubNo = 10, qint16 modelDesc = 40, qint16 kubun = 20) {
    SystemParameters parameters;
    parameters.ColumnLengths = {pubNo, modelDesc, 10, 3, 4, kubun, 20, 20, 10};
    return parameters;
}

ManualEntry validEntry() {
    ManualEntry entry;
    entry.Pub_No = QStringLiteral("X1001AB");
    entry.Model_desc = QStringLiteral("Aurea Hybrid");
    entry.Model_ID = QStringLiteral("AUR50");
    entry.Version = QStringLiteral("2");
    entry.Year = QStringLiteral("2024");
    entry.Kubun = QStringLiteral("ZVH50");
    entry.Country = QStringLiteral("Europe");
    entry.Lang = QStringLiteral("English");
    entry.Ldup = QStringLiteral("2024/03");
    return entry;
}

struct Validation {
    bool ok;
    QString line1;
    QString line2;
};

Validation validate(const ManualEntry& entry, const SystemParameters& parameters = limits()) {
    Validation result{false, QStringLiteral("untouched 1"), QStringLiteral("untouched 2")};
    result.ok = ValidateCatalogueEntry(entry, parameters, result.line1, result.line2);
    return result;
}

class CarInfoTest : public ::testing::Test {
protected:
    void writeCarInfo(const QString& folder, const QString& text, int codePage = platform::CodePageWestern) {
        ASSERT_TRUE(t.temp().writeFile(t.ctx.SourceRoot + folder + QStringLiteral("\\car_info.ci"),
                                       platform::encodeCodePage(text, codePage)));
    }

    marvek::testing::SharedTestContext t;
};

} // namespace

TEST(CheckColumnLength, LengthRuleWithBlanksTrimmed) {
    EXPECT_TRUE(CheckColumnLength(QStringLiteral("ABCDEFGHIJ"), 10, false));   // equal to the limit
    EXPECT_FALSE(CheckColumnLength(QStringLiteral("ABCDEFGHIJK"), 10, false)); // one over
    EXPECT_TRUE(CheckColumnLength(QStringLiteral("  ABCDEFGHIJ  "), 10, false));
    EXPECT_FALSE(CheckColumnLength(QString(), 10, false));
    EXPECT_FALSE(CheckColumnLength(QStringLiteral("   "), 10, false)); // blanks only are empty
    EXPECT_TRUE(CheckColumnLength(QStringLiteral("   "), 10, true));
    // Only blanks are trimmed: a tab counts.
    EXPECT_FALSE(CheckColumnLength(QStringLiteral("\tABCDEFGHIJ"), 10, false));
    // A limit of 0 takes only an empty value.
    EXPECT_TRUE(CheckColumnLength(QString(), 0, true));
    EXPECT_FALSE(CheckColumnLength(QStringLiteral("A"), 0, true));
    // Length in characters, not bytes.
    EXPECT_TRUE(CheckColumnLength(QStringLiteral("オーレア"), 4, false));
}

TEST(ValidateCatalogueEntry, ErrorLinesOfTheFirstFailingField) {
    ManualEntry entry = validEntry();
    entry.Model_desc = QString(41, QLatin1Char('M'));
    const Validation tooLong = validate(entry);
    EXPECT_FALSE(tooLong.ok);
    EXPECT_EQ(tooLong.line1, QStringLiteral("car_info.ci data length Error program abort"));
    EXPECT_EQ(tooLong.line2, QStringLiteral("PubNo = X1001AB [ Model_desc length = 41 ]"));

    entry = validEntry();
    entry.Pub_No.clear();
    EXPECT_EQ(validate(entry).line2, QStringLiteral("PubNo =  [ Pub_No length = 0 ]"));

    // Two fields too long: only the first in the check order (Year comes before Lang) is reported.
    entry = validEntry();
    entry.Lang = QString(30, QLatin1Char('L'));
    entry.Year = QStringLiteral("20245");
    EXPECT_EQ(validate(entry).line2, QStringLiteral("PubNo = X1001AB [ Year length = 5 ]"));
}

TEST(ValidateCatalogueEntry, PubNoLimitAndEmptyFields) {
    ManualEntry entry = validEntry();
    entry.Pub_No = QStringLiteral("X1001ABCDE");
    EXPECT_TRUE(validate(entry).ok);
    entry.Pub_No = QStringLiteral("X1001ABCDEF");
    const Validation eleven = validate(entry);
    EXPECT_FALSE(eleven.ok);
    EXPECT_EQ(eleven.line2, QStringLiteral("PubNo = X1001ABCDEF [ Pub_No length = 11 ]"));

    entry = validEntry();
    entry.Kubun.clear();
    const Validation emptyKubun = validate(entry);
    EXPECT_TRUE(emptyKubun.ok);
    EXPECT_EQ(emptyKubun.line1, QStringLiteral("untouched 1")); // a pass leaves the lines alone
    EXPECT_EQ(emptyKubun.line2, QStringLiteral("untouched 2"));

    entry.Country.clear();
    EXPECT_EQ(validate(entry).line2, QStringLiteral("PubNo = X1001AB [ Country length = 0 ]"));

    // Every field but Kubun must be present.
    for (QString ManualEntry::*field :
         {&ManualEntry::Model_ID, &ManualEntry::Version, &ManualEntry::Lang, &ManualEntry::Ldup}) {
        ManualEntry missing = validEntry();
        (missing.*field).clear();
        EXPECT_FALSE(validate(missing).ok);
    }

    // A Kubun limit of 0 accepts only an empty Kubun.
    entry = validEntry();
    EXPECT_EQ(validate(entry, limits(10, 40, 0)).line2,
              QStringLiteral("PubNo = X1001AB [ Kubun length = 5 ]"));
    entry.Kubun.clear();
    EXPECT_TRUE(validate(entry, limits(10, 40, 0)).ok);
}

TEST_F(CarInfoTest, ReadsTheNineValuesTrimmed) {
    writeCarInfo(QStringLiteral("RM011EN"),
                 QStringLiteral("; sample\r\n[OTHER]\r\nPub_No=WRONG\r\n"
                                "[CAR_INFO]\r\nLdup=2024/03\r\nPub_No=  RM011EN  \r\n"
                                "Model_desc=Aurea Hybrid\r\nModel_ID=AUR50\r\n"
                                "Version=2\r\nYear=2024\r\nKubun=\r\nCountry=Europe\r\n"
                                "Lang=English\r\nExtra=ignored\r\n"));
    ManualEntry entry;
    ReadCarInfo(t.ctx, QStringLiteral("RM011EN"), entry);
    EXPECT_EQ(entry.Pub_No, QStringLiteral("RM011EN"));
    EXPECT_EQ(entry.Model_desc, QStringLiteral("Aurea Hybrid"));
    EXPECT_EQ(entry.Model_ID, QStringLiteral("AUR50"));
    EXPECT_EQ(entry.Version, QStringLiteral("2"));
    EXPECT_EQ(entry.Year, QStringLiteral("2024"));
    EXPECT_EQ(entry.Kubun, QString());
    EXPECT_EQ(entry.Country, QStringLiteral("Europe"));
    EXPECT_EQ(entry.Lang, QStringLiteral("English"));
    EXPECT_EQ(entry.Ldup, QStringLiteral("2024/03"));
    EXPECT_TRUE(validate(entry).ok);
}

TEST_F(CarInfoTest, FileWithoutTheSectionFailsOnPubNo) {
    writeCarInfo(QStringLiteral("EMPTY"), QStringLiteral("[SOMETHING]\r\nPub_No=X\r\n"));
    ManualEntry entry = validEntry();
    ReadCarInfo(t.ctx, QStringLiteral("EMPTY"), entry);
    EXPECT_TRUE(entry.Pub_No.isEmpty());
    EXPECT_TRUE(entry.Country.isEmpty());
    EXPECT_EQ(validate(entry).line2, QStringLiteral("PubNo =  [ Pub_No length = 0 ]"));
}

TEST_F(CarInfoTest, JapaneseCatalogueInTheAnsiCodePage) {
    QFile ini(t.temp().machine().machineIniFile());
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write("[Locale]\nUserDefaultLangID=0411\nSystemDefaultLangID=0411\nACP=932\n");
    ini.close();
    writeCarInfo(
        QStringLiteral("RMJ00JA"),
        QStringLiteral("[CAR_INFO]\r\nPub_No=RMJ00JA\r\nModel_desc=オーレア ハイブリッド\r\n"
                       "Model_ID=AUR50J\r\nVersion=1\r\nYear=2024\r\nKubun=ZVH50系\r\nCountry=日本\r\n"
                       "Lang=日本語\r\nLdup=2024/01\r\n"),
        platform::CodePageShiftJis);
    ManualEntry entry;
    ReadCarInfo(t.ctx, QStringLiteral("RMJ00JA"), entry);
    EXPECT_EQ(entry.Model_desc, QStringLiteral("オーレア ハイブリッド"));
    EXPECT_EQ(entry.Kubun, QStringLiteral("ZVH50系"));
    // Limits count characters: an 11-character description fits a limit of 11.
    EXPECT_TRUE(validate(entry, limits(10, 11)).ok);
    EXPECT_EQ(validate(entry, limits(10, 10)).line2,
              QStringLiteral("PubNo = RMJ00JA [ Model_desc length = 11 ]"));
}
