// The publication number: "marvek.ci" in the manual-link folder named by the registry.

#include "browser/window/PubNo.h"
#include "window_fixture.h"

#include <QFile>
#include <unistd.h>

using namespace marvek;
using namespace marvek::browser;
using namespace marvek::browser::windowtest;

namespace {

class PubNoFile : public BrowserFixture {
protected:
    void SetUp() override { startBrowser(0x0411); }

    void setLinkFolder(const QString& folder) {
        ASSERT_TRUE(os->registry().writeString(platform::HKEY_LOCAL_MACHINE, QLatin1String(kManualLinkKey),
                                               QLatin1String(kManualLinkValue), folder));
    }
};

TEST_F(PubNoFile, FirstLineStartingWithDInAnyCase) {
    setLinkFolder(QStringLiteral("C:\\Link"));
    ASSERT_TRUE(
        machine.writeFile(QStringLiteral("C:\\Link\\marvek.ci"), "X=1\nDD=2\r\nd=PUB-1 \r\nD=PUB-2\r\n"));
    const PubNoResult result = readPubNo(*os);
    EXPECT_EQ(result.pubNo, QStringLiteral("PUB-1 "));
    EXPECT_TRUE(result.failure.isEmpty());
}

TEST_F(PubNoFile, ReadInTheSystemCodePage) {
    setLinkFolder(QStringLiteral("C:\\Link"));
    ASSERT_TRUE(machine.writeFile(
        QStringLiteral("C:\\Link\\marvek.ci"),
        platform::encodeCodePage(QStringLiteral("D=整備書-7"), platform::CodePageShiftJis)));
    EXPECT_EQ(readPubNo(*os).pubNo, QStringLiteral("整備書-7"));
}

TEST_F(PubNoFile, NothingWithoutRegistryValueFileOrLine) {
    EXPECT_EQ(readPubNo(*os).pubNo, QString());
    setLinkFolder(QStringLiteral("C:\\Link"));
    EXPECT_EQ(readPubNo(*os).pubNo, QString());
    ASSERT_TRUE(machine.writeFile(QStringLiteral("C:\\Link\\marvek.ci"), "A=1\r\n D=indented\r\n"));
    const PubNoResult result = readPubNo(*os);
    EXPECT_EQ(result.pubNo, QString());
    EXPECT_TRUE(result.failure.isEmpty());
}

TEST_F(PubNoFile, UnreadableFileIsReportedWithTheErrorPageText) {
    if (::geteuid() == 0)
        GTEST_SKIP() << "file permissions do not bind the superuser";
    setLinkFolder(QStringLiteral("C:\\Link"));
    ASSERT_TRUE(machine.writeFile(QStringLiteral("C:\\Link\\marvek.ci"), "D=1\r\n"));
    QFile::setPermissions(machine.host(QStringLiteral("C:\\Link\\marvek.ci")), QFileDevice::Permissions());
    const PubNoResult result = readPubNo(*os);
    EXPECT_EQ(result.pubNo, QString());
    EXPECT_EQ(result.failure, QStringLiteral("Permission denied"));
    EXPECT_EQ(result.failureNumber, 70);
}

} // namespace
