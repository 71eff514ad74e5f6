#include "platform/Files.h"
#include "platform/TextCodec.h"
#include "shared/access/AccessControl.h"
#include "shared/formdata/FormDataFiles.h"
#include "shared/formdata/PdfPaths.h"
#include "shared/testing/SharedTestContext.h"

#include <QFile>
#include <gtest/gtest.h>

using namespace marvek;
using namespace marvek::shared;

namespace {

class FormDataTest : public ::testing::Test {
protected:
    void SetUp() override {
        t.ctx.ManualLinkDir = QStringLiteral("C:\\Program Files\\Marvek\\ManualLink");
        t.ctx.LanguageCode = QStringLiteral("09");
        t.ctx.UsersGroupName = GetUsersGroupName();
        ASSERT_TRUE(t.os().files().createFolderPath(t.ctx.ManualLinkDir));
    }

    void setCodePage(int codePage) {
        QFile file(t.temp().machine().machineIniFile());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write("[Locale]\r\nACP=" + QByteArray::number(codePage) + "\r\n");
    }

    void setDocumentName(const QByteArray& messageFile, const QByteArray& name) {
        ASSERT_TRUE(
            t.temp().writeFile(t.ctx.SysDirPath + QStringLiteral("\\") + QString::fromLatin1(messageFile),
                               "[MESSAGE]\r\nM060=" + name + "\r\n"));
    }

    marvek::testing::SharedTestContext t;
};

const QByteArray ManagerBytes = "%FDF-1.2\r\n"
                                "1 0 obj\r\n"
                                "<<\r\n"
                                "/FDF << /Fields [\r\n"
                                "<< /V (Ver 1.1.2)/T (ver_mandex)>> ]\r\n"
                                "/F (./Mandex Guide.pdf) >>\r\n"
                                ">>\r\n"
                                "endobj\r\n"
                                "trailer\r\n"
                                "<<\r\n"
                                "/Root 1 0 R\r\n"
                                "\r\n"
                                ">>\r\n"
                                "%%EOF\r\n";

QByteArray browserBytes(const QByteArray& value) {
    return "%FDF-1.2\r\n"
           "1 0 obj\r\n"
           "<< \r\n"
           "/FDF << /Fields [ \r\n"
           "<< /V (" +
           value +
           ")/T (ver_Pagora)>> ] \r\n"
           "/F (./readme.pdf) >> \r\n"
           ">> \r\n"
           "endobj\r\n"
           "trailer\r\n"
           "<<\r\n"
           "/Root 1 0 R \r\n"
           "\r\n"
           ">>\r\n"
           "%%EOF\r\n";
}

TEST_F(FormDataTest, ManagerFileMatchesByteForByteAndReplacesAReadOnlyFile) {
    setDocumentName("M09.ini", "Mandex Guide.pdf");
    const QString path = t.ctx.ManualLinkDir + QStringLiteral("\\mandex.fdf");
    ASSERT_TRUE(t.temp().writeFile(path, "old content that is longer than the new file would ever be ....."));
    ASSERT_TRUE(t.os().files().setAttributes(path, platform::FILE_ATTRIBUTE_READONLY));

    ASSERT_TRUE(WriteManagerVersionFile(t.ctx, QStringLiteral("1.1.2")));
    EXPECT_EQ(t.temp().readFile(path), ManagerBytes);
    EXPECT_EQ(t.clock().sleptMs(), 1000); // the one-second wait after clearing the attribute
    EXPECT_TRUE(t.ui().asked().empty());
}

TEST_F(FormDataTest, ManagerFileIsWrittenInTheAnsiCodePage) {
    setCodePage(932);
    t.ctx.LanguageCode = QStringLiteral("11");
    const QByteArray name = platform::encodeCodePage(QStringLiteral("マニュアル管理.pdf"), 932);
    setDocumentName("M11.ini", name);
    ASSERT_TRUE(WriteManagerVersionFile(t.ctx, QStringLiteral("2.0.15")));
    const QByteArray bytes = t.temp().readFile(t.ctx.ManualLinkDir + QStringLiteral("\\mandex.fdf"));
    EXPECT_TRUE(bytes.contains("/F (./" + name + ") >>\r\n"));
    EXPECT_TRUE(bytes.contains("<< /V (Ver 2.0.15)/T (ver_mandex)>> ]\r\n"));
}

TEST_F(FormDataTest, ManagerFileFailsWhenTheFolderIsMissing) {
    t.ctx.ManualLinkDir = QStringLiteral("C:\\missing\\ManualLink");
    EXPECT_FALSE(WriteManagerVersionFile(t.ctx, QStringLiteral("1.1.2")));
    t.ctx.ManualLinkDir = QStringLiteral("Q:\\no drive");
    EXPECT_FALSE(WriteManagerVersionFile(t.ctx, QStringLiteral("1.1.2")));
}

TEST_F(FormDataTest, ManagerFileFailsWhenTheAccessGrantFails) {
    if (!IsNtfsVolume(t.ctx, QStringLiteral("C:\\")))
        GTEST_SKIP() << "no access lists on this file system";
    t.ctx.UsersGroupName.clear();
    EXPECT_FALSE(WriteManagerVersionFile(t.ctx, QStringLiteral("1.1.2")));
    EXPECT_EQ(t.ui().asked().size(), 1u); // the system error text
}

TEST_F(FormDataTest, BrowserFileMatchesByteForByte) {
    const QString path = t.ctx.ManualLinkDir + QStringLiteral("\\Pagora.fdf");
    ASSERT_TRUE(WriteBrowserVersionFile(t.ctx, path, QStringLiteral("Ver 1.1.2")));
    EXPECT_EQ(t.temp().readFile(path), browserBytes("Ver 1.1.2"));
    // Written from scratch: a shorter value leaves nothing of the longer file behind.
    ASSERT_TRUE(WriteBrowserVersionFile(t.os(), path, QLatin1String(BrowserNotInstalled)));
    EXPECT_EQ(t.temp().readFile(path), browserBytes("Not Installed"));
    EXPECT_FALSE(
        WriteBrowserVersionFile(t.os(), QStringLiteral("C:\\missing\\Pagora.fdf"), QStringLiteral("x")));
}

TEST_F(FormDataTest, PdfPaths) {
    EXPECT_EQ(PdfPath(QStringLiteral("D:\\Manuals\\AB1234"), QStringLiteral("AB1234")),
              QStringLiteral("D:\\Manuals\\AB1234\\contents\\AB1234.pdf"));
    EXPECT_EQ(CdPdfPath(t.ctx, QStringLiteral("PDF01"), QStringLiteral("PB0001")),
              QStringLiteral("C:\\CD\\PDF01\\contents\\PB0001.pdf"));
    EXPECT_EQ(CdPath(t.ctx, QStringLiteral("index.html")), QStringLiteral("C:\\CD\\index.html"));

    EXPECT_FALSE(PdfExists(t.ctx, QStringLiteral("C:\\CD\\PDF01"), QStringLiteral("PB0001")));
    EXPECT_FALSE(CdPdfExists(t.ctx, QStringLiteral("PDF01"), QStringLiteral("PB0001")));
    ASSERT_TRUE(t.temp().writeFile(QStringLiteral("C:\\CD\\PDF01\\contents\\PB0001.pdf"), "%PDF-1.4"));
    EXPECT_TRUE(PdfExists(t.ctx, QStringLiteral("C:\\CD\\PDF01"), QStringLiteral("PB0001")));
    EXPECT_TRUE(CdPdfExists(t.ctx, QStringLiteral("pdf01"), QStringLiteral("pb0001")));
    EXPECT_FALSE(PdfExists(t.ctx, QStringLiteral("Q:\\PDF01"), QStringLiteral("PB0001")));
}

TEST(PdfSpaceEstimateTest, RoundsUpToTheNextUnit) {
    const QString unit = QStringLiteral("10000000");
    EXPECT_EQ(PdfSpaceEstimate(12345678, unit), 20000000);
    EXPECT_EQ(PdfSpaceEstimate(9999999, unit), 10000000);
    EXPECT_EQ(PdfSpaceEstimate(20000000, unit), 30000000);
    EXPECT_EQ(PdfSpaceEstimate(0, unit), 10000000);
    EXPECT_EQ(PdfSpaceEstimate(5000000000LL, unit), 5010000000LL);
    EXPECT_EQ(PdfSpaceEstimate(1234, QStringLiteral("100")), 1300);
    EXPECT_EQ(PdfSpaceEstimate(1234, QString()), 0);
    EXPECT_EQ(PdfSpaceEstimate(1234, QStringLiteral("ten")), 0);
}

} // namespace
