#include "shared/catalogue/CarInfo.h"
#include "shared/testing/SharedTestContext.h"

#include <gtest/gtest.h>

using namespace marvek;
using namespace marvek::shared;

namespace {

// The limits of every field, as the CD's SysParameter.ini sets them.
SystemParameters limits() {
    SystemParameters parameters;
    parameters.ColumnLengths = {10, 40, 10, 3, 4, 20, 20, 20, 10};
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

} // namespace

// That lengths count characters, not bytes, is a seed of the car_info fuzz harness.
TEST(CheckColumnLength, LengthRuleWithBlanksTrimmed) {
    EXPECT_TRUE(CheckColumnLength(QStringLiteral("ABCDEFGHIJ"), 10, false));   // equal to the limit
    EXPECT_FALSE(CheckColumnLength(QStringLiteral("ABCDEFGHIJK"), 10, false)); // one over
    EXPECT_TRUE(CheckColumnLength(QStringLiteral("  ABCDEFGHIJ  "), 10, false));
    EXPECT_FALSE(CheckColumnLength(QStringLiteral("   "), 10, false)); // blanks only are empty
    EXPECT_TRUE(CheckColumnLength(QStringLiteral("   "), 10, true));
    EXPECT_FALSE(CheckColumnLength(QStringLiteral("\tABCDEFGHIJ"), 10, false)); // only blanks are trimmed
    EXPECT_TRUE(CheckColumnLength(QString(), 0, true));
    EXPECT_FALSE(CheckColumnLength(QStringLiteral("A"), 0, true));
}

// More limits and check orders are seeds of the car_info fuzz harness, which computes the lines too.
TEST(ValidateCatalogueEntry, ErrorLinesOfTheFirstFailingField) {
    const struct {
        QString ManualEntry::*field;
        const char* value;
        const char* line2; // nullptr: the entry passes
    } cases[] = {
        {&ManualEntry::Model_desc, "Aurea Hybrid Aurea Hybrid Aurea Hybrid 4X",
         "PubNo = X1001AB [ Model_desc length = 41 ]"},
        {&ManualEntry::Pub_No, "", "PubNo =  [ Pub_No length = 0 ]"},
        {&ManualEntry::Kubun, "", nullptr}, // only Kubun may be empty
    };
    for (const auto& c : cases) {
        ManualEntry entry = validEntry();
        entry.*c.field = QString::fromUtf8(c.value);
        QString line1 = QStringLiteral("untouched 1");
        QString line2 = QStringLiteral("untouched 2");
        EXPECT_EQ(ValidateCatalogueEntry(entry, limits(), line1, line2), c.line2 == nullptr) << c.value;
        // A pass leaves the lines alone.
        EXPECT_EQ(line1, c.line2 ? QStringLiteral("car_info.ci data length Error program abort")
                                 : QStringLiteral("untouched 1"));
        EXPECT_EQ(line2, c.line2 ? QString::fromUtf8(c.line2) : QStringLiteral("untouched 2"));
    }
}

TEST(ReadCarInfo, ReadsTheNineValuesOfItsSectionTrimmed) {
    marvek::testing::SharedTestContext t;
    ASSERT_TRUE(t.temp().writeFile(QStringLiteral("C:\\CD\\RM011EN\\car_info.ci"),
                                   "; sample\r\n[OTHER]\r\nPub_No=WRONG\r\n"
                                   "[CAR_INFO]\r\nLdup=2024/03\r\nPub_No=  RM011EN  \r\n"
                                   "Model_desc=Aurea Hybrid\r\nModel_ID=AUR50\r\nVersion=2\r\nYear=2024\r\n"
                                   "Kubun=\r\nCountry=Europe\r\nLang=English\r\nExtra=ignored\r\n"));
    ManualEntry entry = validEntry();
    ReadCarInfo(t.ctx, QStringLiteral("RM011EN"), entry);
    const QStringList values{entry.Pub_No, entry.Model_desc, entry.Model_ID, entry.Version, entry.Year,
                             entry.Kubun,  entry.Country,    entry.Lang,     entry.Ldup};
    EXPECT_EQ(values.join(QLatin1Char('|')),
              QStringLiteral("RM011EN|Aurea Hybrid|AUR50|2|2024||Europe|English|2024/03"));
}
