// The launcher's start sequence in this process: the command line it starts, the system web browser
// without Pagora, the silent ends and the latest-CD question.

#include "LauncherTestSupport.h"
#include "shared/maninfo/AutRunLocalRead.h"
#include "shared/testing/SharedTestContext.h"

#include <QDir>

using namespace marvek;
using namespace marvek::testing;
using launcher::LaunchOutcome;

namespace {

constexpr auto PagoraCommand = "c:\\Program Files\\Marvek\\Scanlux\\View\\Pagora.exe D:\\index.html";

class LauncherStartTest : public ::testing::Test {
protected:
    LauncherStartTest() {
        cd = t.temp().addDrive(QLatin1Char('D'));
        EXPECT_TRUE(t.temp().writeFile(QStringLiteral("D:\\index.html"), "<html></html>"));
        EXPECT_TRUE(t.temp().writeFile(QStringLiteral("D:\\programs\\setup\\man_info_do.ci"),
                                       manInfoLine("RM010EN", "2024/03")));
        EXPECT_TRUE(t.temp().writeFile(QLatin1String(launcher::PagoraPath), "stand-in"));
    }

    LaunchOutcome run(const QString& programFolder, bool previousInstance = false) {
        launcher::LauncherContext ctx(t.os(), programFolder);
        ctx.startProgram = [this](const QString& commandLine) {
            started.append(commandLine);
            return startSucceeds;
        };
        const LaunchOutcome outcome = launcher::RunStartSequence(ctx, previousInstance);
        startPage = ctx.StartPage;
        return outcome;
    }

    bool manInfoFolderMade() { return t.os().files().folderExists(QStringLiteral("C:\\man_info")); }

    SharedTestContext t;
    QString cd;
    QStringList started;
    QString startPage;
    bool startSucceeds = true;
};

TEST_F(LauncherStartTest, StartPageOfTheDriveWithTheUnquotedCommandLine) {
    struct Case {
        const char* folder;
        LaunchOutcome outcome;
        const char* page;
    };
    const Case cases[] = {
        {"D:\\", LaunchOutcome::Opened, "D:\\index.html"},
        {"D:", LaunchOutcome::Opened, "D:\\index.html"},
        {"D:\\programs\\tools", LaunchOutcome::Opened, "D:\\index.html"},
        {"d:\\Programs\\Tools\\deeper", LaunchOutcome::Opened, "d:\\index.html"},
        {"C:\\Elsewhere", LaunchOutcome::NoStartPage, "C:\\index.html"}, // C: has no start page
        {"", LaunchOutcome::NoStartPage, ""},                            // the folder has no Windows name
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.folder);
        started.clear();
        EXPECT_EQ(run(QLatin1String(c.folder)), c.outcome);
        EXPECT_EQ(startPage, QLatin1String(c.page));
        if (c.outcome == LaunchOutcome::Opened) {
            ASSERT_EQ(started.size(), 1);
            EXPECT_EQ(started.front(), QLatin1String(launcher::PagoraPath) + u' ' + QLatin1String(c.page));
        } else {
            EXPECT_TRUE(started.isEmpty());
        }
    }
    EXPECT_EQ(started, QStringList());
    EXPECT_TRUE(t.ui().asked().empty());
}

TEST_F(LauncherStartTest, SilentEndsBeforeTheCheck) {
    EXPECT_EQ(run(QStringLiteral("D:\\"), true), LaunchOutcome::PreviousInstance);
    ASSERT_TRUE(QFile::remove(t.temp().host(QStringLiteral("D:\\index.html"))));
    EXPECT_EQ(run(QStringLiteral("D:\\")), LaunchOutcome::NoStartPage);
    EXPECT_TRUE(started.isEmpty());
    EXPECT_TRUE(t.ui().asked().empty());
    EXPECT_FALSE(manInfoFolderMade()); // the latest-CD check never ran
}

TEST_F(LauncherStartTest, WithoutPagoraTheSystemWebBrowserGetsThePage) {
    ASSERT_TRUE(QFile::remove(t.temp().host(QLatin1String(launcher::PagoraPath))));
    const RecordingProgram browser(t.temp().root() + QStringLiteral("/browser.sh"),
                                   t.temp().root() + QStringLiteral("/browser.txt"));
    ASSERT_TRUE(browser.install());
    {
        const QByteArray saved = qgetenv("BROWSER");
        qputenv("BROWSER", QFile::encodeName(browser.path()));
        EXPECT_EQ(run(QStringLiteral("D:\\programs")), LaunchOutcome::Opened);
        qputenv("BROWSER", "/nonexistent/browser");
        EXPECT_EQ(run(QStringLiteral("D:\\programs")), LaunchOutcome::OpenFailed);
        qputenv("BROWSER", saved);
    }
    EXPECT_TRUE(started.isEmpty());
    const QList<QStringList> runs = browser.waitForRuns(1);
    ASSERT_EQ(runs.size(), 1);
    EXPECT_EQ(runs.front(), QStringList{t.temp().host(QStringLiteral("D:\\index.html"))});
    EXPECT_TRUE(t.ui().asked().empty()); // a browser that cannot start ends silently
}

TEST_F(LauncherStartTest, NotLatestCdAsksAndOnlyNoKeepsThePageClosed) {
    ASSERT_TRUE(t.temp().writeFile(QStringLiteral("C:\\man_info\\man_info_do.ci"),
                                   manInfoLine("RM010EN", "2024/06")));
    struct Case {
        const char* answer;
        LaunchOutcome outcome;
        qsizetype starts;
    };
    for (const Case& c : {Case{"7", LaunchOutcome::Declined, 0}, Case{"6", LaunchOutcome::Opened, 1}}) {
        SCOPED_TRACE(c.answer);
        t.ui().addAnswer(QLatin1String(c.answer));
        EXPECT_EQ(run(QStringLiteral("D:\\")), c.outcome);
        EXPECT_EQ(started.size(), c.starts);
        ASSERT_FALSE(t.ui().asked().empty());
        EXPECT_EQ(t.ui().asked().back().title, QLatin1String(shared::ManInfoTitle));
        EXPECT_EQ(t.ui().asked().back().style, shared::ManInfoQuestionStyle);
        EXPECT_TRUE(t.ui().asked().back().text.startsWith(
            QStringLiteral("Aurea classification ZVH50 type(RM010EN)  is not the latest manuals.")));
    }
    EXPECT_EQ(started, QStringList{QLatin1String(PagoraCommand)});
}

TEST_F(LauncherStartTest, CheckThatCannotMakeItsFolderEndsWithoutAPage) {
    ASSERT_TRUE(t.temp().writeFile(QStringLiteral("C:\\man_info"), "a file in the way"));
    EXPECT_EQ(run(QStringLiteral("D:\\")), LaunchOutcome::EndedByCheck);
    EXPECT_TRUE(started.isEmpty());
    ASSERT_EQ(t.ui().asked().size(), 1u);
    EXPECT_EQ(t.ui().asked().front().title, QLatin1String(launcher::ProgramName));
}

TEST_F(LauncherStartTest, LatestCdCatalogueIsRecordedAndFailedStartIsSilent) {
    startSucceeds = false;
    EXPECT_EQ(run(QStringLiteral("D:\\")), LaunchOutcome::OpenFailed);
    EXPECT_EQ(started, QStringList{QLatin1String(PagoraCommand)});
    EXPECT_EQ(t.temp().readFile(QStringLiteral("C:\\man_info\\man_info_do.ci")),
              manInfoLine("RM010EN", "2024/03"));
    EXPECT_TRUE(t.ui().asked().empty());
}

} // namespace
