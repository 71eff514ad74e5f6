// ManualLink.exe from the sample CD, started the way a diagnostic tool asks for a manual, with
// recording stand-ins for Pagora and for the system web browser.
#include "CompanionTest.h"
#include "cd/companions/manual_link/ManualLink.h"
#include "platform/testing/RecordingProgram.h"
#include "shared/database/clsMDB.h"

namespace marvek::companions::testing {
namespace {

using marvek::testing::RecordingProgram;

const QString LinkFolder = u"C:\\Diag\\ManualLink"_s;
const QString ViewerFolder = u"C:\\Viewer"_s;
const QString HtmlManual = u"C:\\Manuals\\Repair Manual"_s;
const QString PdfManual = u"C:\\Manuals\\NCF00EN"_s;

class ManualLinkTest : public CompanionTest {
protected:
    ManualLinkTest() {
        const platform::Files& files = os().files();
        EXPECT_TRUE(files.createFolderPath(LinkFolder));
        EXPECT_TRUE(files.copyFile(u"D:\\programs\\manual_link\\ManualLink.exe"_s,
                                   LinkFolder + u"\\ManualLink.exe"_s));
        const QString database = LinkFolder + u"\\ManualLink.mdb"_s;
        EXPECT_TRUE(files.copyFile(u"D:\\programs\\setup\\ManualLink_new.mdb"_s, database));
        EXPECT_TRUE(files.setAttributes(database, platform::FILE_ATTRIBUTE_NORMAL));
        shared::clsMDB db(os().machine());
        EXPECT_TRUE(db.Pcls_MdbOpen(database));
        for (const char* row : {"'RM010EN', 'C:\\Manuals\\Repair Manual\\'",
                                "'NCF00EN', 'C:\\Manuals\\NCF00EN'", "'GONE00EN', 'C:\\Manuals\\Gone'"})
            EXPECT_EQ(db.Pcls_MdbExecute(
                          u"INSERT INTO M_manage (Pub_No, InsPath) VALUES (%1)"_s.arg(QLatin1String(row))),
                      0);
        db.Release();
        EXPECT_TRUE(t.temp().writeFile(HtmlManual + u"\\index.html"_s, "<html></html>"));
        EXPECT_TRUE(t.temp().writeFile(PdfManual + u"\\contents\\NCF00EN.pdf"_s, "%PDF-1.4"));

        EXPECT_TRUE(pagora.install() && browser.install());
        setRegistry(ViewerKey, InstallDirValue, ViewerFolder);
    }

    // Runs ManualLink.exe with the command line's arguments; its exit code.
    std::optional<quint32> open(const QString& arguments) {
        return run(LinkFolder + u"\\ManualLink.exe "_s + arguments);
    }

    const RecordingProgram pagora{host(ViewerFolder + u"\\Pagora.exe"_s),
                                  t.temp().root() + u"/pagora.args"_s};
    const RecordingProgram browser{host(u"C:\\Tools\\browser.sh"_s), t.temp().root() + u"/browser.args"_s};
    const ScopedEnvironment useBrowser{"BROWSER", browser.path()};
};

TEST_F(ManualLinkTest, OpensThePageInPagoraElseInTheSystemWebBrowser) {
    // The viewer folder, the arguments, whether Pagora gets the page, and what the page's program gets.
    // Pagora gets the page path without quotes: one with a blank arrives in pieces, which Pagora joins.
    const std::tuple<QString, QString, bool, QStringList> cases[] = {
        {ViewerFolder, u"rm010en"_s, true, {host(u"C:\\Manuals\\Repair"_s), u"Manual\\index.html"_s}},
        {ViewerFolder, u"NCF00EN"_s, true, {host(PdfManual + u"\\contents\\NCF00EN.pdf"_s)}},
        {u"C:\\Empty"_s, u"RM010EN"_s, false, {host(HtmlManual + u"\\index.html"_s)}},
        {QString(), u"RM010EN"_s, false, {host(HtmlManual + u"\\index.html"_s)}}};
    for (const auto& [viewer, arguments, inPagora, page] : cases) {
        SCOPED_TRACE(viewer.toStdString() + ' ' + arguments.toStdString());
        setRegistry(ViewerKey, InstallDirValue, viewer);
        pagora.clear();
        browser.clear();
        ASSERT_EQ(open(arguments), 0u);
        EXPECT_EQ((inPagora ? pagora : browser).waitForRuns(1), QList<QStringList>{page});
        EXPECT_TRUE((inPagora ? browser : pagora).runs().isEmpty());
    }
    EXPECT_TRUE(boxes().isEmpty());
}

// An upgrade cut off after the database lost its name: ManualLink puts the whole backup back and opens
// the manual.
TEST_F(ManualLinkTest, MissingDatabaseIsRestoredFromTheUpgradesBackup) {
    ASSERT_TRUE(
        os().files().rename(LinkFolder + u"\\ManualLink.mdb"_s, LinkFolder + u"\\BACK_ManualLink.mdb"_s));
    ASSERT_EQ(open(u"RM010EN"_s), 0u);
    EXPECT_EQ(pagora.waitForRuns(1),
              (QList<QStringList>{{host(u"C:\\Manuals\\Repair"_s), u"Manual\\index.html"_s}}));
    EXPECT_TRUE(os().files().fileExists(LinkFolder + u"\\ManualLink.mdb"_s));
    EXPECT_FALSE(os().files().exists(LinkFolder + u"\\BACK_ManualLink.mdb"_s));
    EXPECT_TRUE(boxes().isEmpty());
}

TEST_F(ManualLinkTest, RefusalsShowOneBoxAndOpenNothing) {
    // The arguments, the result and a piece of the box's text.
    const std::tuple<const char*, ManualLinkResult, const char*> cases[] = {
        {"", ManualLinkResult::BadInput, "publication number"},
        {"RM010EN NCF00EN", ManualLinkResult::BadInput, "\"RM010EN NCF00EN\" is not a publication number"},
        {"NOPE00EN", ManualLinkResult::NotInstalled, "NOPE00EN is not installed"},
        {"GONE00EN", ManualLinkResult::FilesMissing, "C:\\\\Manuals\\\\Gone"}};
    for (const auto& [arguments, result, inText] : cases) {
        SCOPED_TRACE(arguments);
        QFile::remove(uiLog);
        EXPECT_EQ(open(QString::fromUtf8(arguments)), static_cast<quint32>(result));
        const QStringList shown = boxes();
        ASSERT_EQ(shown.size(), 1);
        EXPECT_TRUE(shown[0].startsWith(u"ManualLink\t48\t"_s)) << shown[0].toStdString();
        EXPECT_TRUE(shown[0].contains(QString::fromUtf8(inText))) << shown[0].toStdString();
    }
    QThread::msleep(300); // a started viewer would have written by now
    EXPECT_TRUE(pagora.runs().isEmpty() && browser.runs().isEmpty());
}

} // namespace
} // namespace marvek::companions::testing
