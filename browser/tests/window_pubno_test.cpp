// The publication number: "marvek.ci" in the manual-link folder named by the registry, and the
// window's "pubno" panel.

#include "browser/window/PubNo.h"
#include "browser_fixture.h"

namespace marvek::browser::browsertest {
namespace {

class PubNoTest : public BrowserFixture {
protected:
    void SetUp() override { startBrowser(0x0411); }
};

TEST_F(PubNoTest, FirstLineStartingWithDInAnyCaseInTheSystemCodePageShownWhenAsked) {
    EXPECT_EQ(readPubNo(*os).pubNo, QString()); // no registry value
    ASSERT_TRUE(os->registry().writeString(platform::HKEY_LOCAL_MACHINE, QLatin1String(kManualLinkKey),
                                           QLatin1String(kManualLinkValue), u"C:\\Link"_s));
    EXPECT_EQ(readPubNo(*os).pubNo, QString()); // no file
    for (const auto& [content, expected] : std::vector<std::pair<QByteArray, QString>>{
             {"X=1\nDD=2\r\nd=PUB-1 \r\nD=PUB-2\r\n", u"PUB-1 "_s},
             {platform::encodeCodePage(u"D=整備書-7"_s, platform::CodePageShiftJis), u"整備書-7"_s},
             {"A=1\r\n D=indented\r\n", QString()},
             {"[PUB]\r\nN=1\r\nd=TSM-4471E\r\nD=second\r\n", u"TSM-4471E"_s}}) {
        ASSERT_TRUE(machine.writeFile(u"C:\\Link\\marvek.ci"_s, content));
        const PubNoResult result = readPubNo(*os);
        EXPECT_EQ(result.pubNo, expected);
        EXPECT_TRUE(result.failure.isEmpty());
    }

    // The window shows it with the pubNo flag only.
    frmMain* shown = open(fixturePage(u"titled.html"_s), false, false, true);
    frmMain* plain = open(fixturePage(u"second.html"_s));
    ASSERT_TRUE(shown && plain);
    EXPECT_TRUE(shown->pubNoShown());
    ASSERT_TRUE(waitFor([&] { return shown->statusPanelText(u"pubno"_s) == u"TSM-4471E"_s; }));
    ASSERT_TRUE(waitForCaption(plain, u"Second page"_s));
    EXPECT_EQ(plain->statusPanelText(u"pubno"_s), QString());
    EXPECT_TRUE(ui->asked().empty());
}

} // namespace
} // namespace marvek::browser::browsertest
