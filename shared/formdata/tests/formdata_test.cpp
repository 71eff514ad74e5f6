#include "platform/Files.h"
#include "platform/TextCodec.h"
#include "shared/access/AccessControl.h"
#include "shared/formdata/FormDataFiles.h"
#include "shared/formdata/PdfPaths.h"
#include "shared/testing/SharedTestContext.h"

#include <gtest/gtest.h>

using namespace marvek;
using namespace marvek::shared;

namespace {

// The two files exactly, CR LF and trailing blanks included; "#" stands for the value, "@" for the document.
QByteArray managerBytes(const QByteArray& version, const QByteArray& document) {
    return QByteArray("%FDF-1.2\r\n1 0 obj\r\n<<\r\n/FDF << /Fields [\r\n<< /V (Ver #)/T (ver_mandex)>> ]\r\n"
                      "/F (./@) >>\r\n>>\r\nendobj\r\ntrailer\r\n<<\r\n/Root 1 0 R\r\n\r\n>>\r\n%%EOF\r\n")
        .replace("#", version)
        .replace("@", document);
}
QByteArray browserBytes(const QByteArray& value) {
    return QByteArray("%FDF-1.2\r\n1 0 obj\r\n<< \r\n/FDF << /Fields [ \r\n<< /V (#)/T (ver_Pagora)>> ] \r\n"
                      "/F (./readme.pdf) >> \r\n>> \r\nendobj\r\ntrailer\r\n<<\r\n/Root 1 0 R "
                      "\r\n\r\n>>\r\n%%EOF\r\n")
        .replace("#", value);
}

class FormDataTest : public ::testing::Test {
protected:
    void SetUp() override {
        t.ctx.ManualLinkDir = QStringLiteral("C:\\Program Files\\Marvek\\ManualLink");
        t.ctx.LanguageCode = QStringLiteral("09");
        t.ctx.UsersGroupName = GetUsersGroupName(t.ctx);
        ASSERT_TRUE(t.os().files().createFolderPath(t.ctx.ManualLinkDir));
    }
    bool setDocumentName(const char* messageFile, const QByteArray& name) {
        return t.temp().writeFile(t.ctx.SysDirPath + QLatin1Char('\\') + QLatin1String(messageFile),
                                  "[MESSAGE]\r\nM060=" + name + "\r\n");
    }
    bool write(const char* version) { return WriteManagerVersionFile(t.ctx, QLatin1String(version)); }

    const QString path = QStringLiteral("C:\\Program Files\\Marvek\\ManualLink\\mandex.fdf");
    marvek::testing::SharedTestContext t;
};

TEST_F(FormDataTest, ManagerFileMatchesByteForByteAndReplacesAReadOnlyFile) {
    ASSERT_TRUE(setDocumentName("M09.ini", "Mandex Guide.pdf"));
    ASSERT_TRUE(t.temp().writeFile(path, "old content that is longer than the new file would ever be ....."));
    ASSERT_TRUE(t.os().files().setAttributes(path, platform::FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(write("1.1.2"));
    EXPECT_EQ(t.temp().readFile(path), managerBytes("1.1.2", "Mandex Guide.pdf"));
    EXPECT_EQ(t.clock().sleptMs(), 1000); // the one-second wait after clearing the attribute
    EXPECT_TRUE(t.ui().asked().empty());

    // Written in the ANSI code page.
    ASSERT_TRUE(t.setLocale("0411"));
    t.ctx.LanguageCode = QStringLiteral("11");
    const QByteArray name = platform::encodeCodePage(QStringLiteral("マニュアル管理.pdf"), 932);
    ASSERT_TRUE(setDocumentName("M11.ini", name));
    ASSERT_TRUE(write("2.0.15"));
    EXPECT_EQ(t.temp().readFile(path), managerBytes("2.0.15", name));

    // Fails without its folder, or when the access grant fails (shown by the grant).
    if (IsNtfsVolume(t.ctx, QStringLiteral("C:\\"))) {
        t.ctx.UsersGroupName.clear();
        EXPECT_FALSE(write("1.1.2"));
        EXPECT_EQ(t.ui().asked().size(), 1u);
    }
    for (const char* folder : {"C:\\missing\\ManualLink", "Q:\\no drive"}) {
        t.ctx.ManualLinkDir = QLatin1String(folder);
        EXPECT_FALSE(write("1.1.2")) << folder;
    }
}

TEST_F(FormDataTest, BrowserFileMatchesByteForByte) {
    const QString browserFile = t.ctx.ManualLinkDir + QStringLiteral("\\Pagora.fdf");
    ASSERT_TRUE(WriteBrowserVersionFile(t.ctx, browserFile, QStringLiteral("Ver 1.1.2")));
    EXPECT_EQ(t.temp().readFile(browserFile), browserBytes("Ver 1.1.2"));
    // Written from scratch: a shorter value leaves nothing of the longer file behind.
    ASSERT_TRUE(WriteBrowserVersionFile(t.os(), browserFile, QLatin1String(BrowserNotInstalled)));
    EXPECT_EQ(t.temp().readFile(browserFile), browserBytes("Not Installed"));
    EXPECT_FALSE(
        WriteBrowserVersionFile(t.os(), QStringLiteral("C:\\none\\Pagora.fdf"), QStringLiteral("x")));
}

TEST(PdfSpaceEstimate, RoundsUpToTheNextUnit) {
    const qint64 cases[][2] = {
        {12345678, 20000000}, {20000000, 30000000}, {0, 10000000}, {5000000000, 5010000000}};
    for (const auto& [size, space] : cases)
        EXPECT_EQ(PdfSpaceEstimate(size, QStringLiteral("10000000")), space) << size;
    EXPECT_EQ(PdfSpaceEstimate(1234, QStringLiteral("100")), 1300);
    EXPECT_EQ(PdfSpaceEstimate(1234, QString()), 0);
    EXPECT_EQ(PdfSpaceEstimate(1234, QStringLiteral("ten")), 0);
}

} // namespace
