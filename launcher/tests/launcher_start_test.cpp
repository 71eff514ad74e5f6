// The launcher's start sequence in this process: the exact command line it starts, the drive of its
// folder, and the ends that open nothing.

#include "LauncherTestSupport.h"
#include "shared/testing/SharedTestContext.h"

using namespace marvek;
using namespace marvek::testing;
using launcher::LaunchOutcome;

namespace {

constexpr auto PagoraCommand = "c:\\Program Files\\Marvek\\Scanlux\\View\\Pagora.exe D:\\index.html";

class LauncherStartTest : public ::testing::Test {
protected:
    LauncherStartTest() {
        t.temp().addDrive(QLatin1Char('D'));
        EXPECT_TRUE(prepareCd(t.temp()));
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

    SharedTestContext t;
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
        EXPECT_EQ(started,
                  c.outcome == LaunchOutcome::Opened
                      ? QStringList{QLatin1String(launcher::PagoraPath) + u' ' + QLatin1String(c.page)}
                      : QStringList());
    }
    EXPECT_TRUE(t.ui().asked().empty());
}

TEST_F(LauncherStartTest, CheckThatCannotMakeItsFolderEndsWithoutAPage) {
    ASSERT_TRUE(t.temp().writeFile(QStringLiteral("C:\\man_info"), "a file in the way"));
    EXPECT_EQ(run(QStringLiteral("D:\\")), LaunchOutcome::EndedByCheck);
    EXPECT_TRUE(started.isEmpty());
    ASSERT_EQ(t.ui().asked().size(), 1u);
    EXPECT_EQ(t.ui().asked().front().title, QLatin1String(launcher::ProgramName));
}

TEST_F(LauncherStartTest, NotLatestCdOpensThePageOnlyWhenTheUserSaysYes) {
    ASSERT_TRUE(t.temp().writeFile(QStringLiteral("C:\\man_info\\man_info_do.ci"),
                                   manInfoLine("RM010EN", "2024/06")));
    t.ui().addAnswer(QString::number(platform::mb::IdNo));
    EXPECT_EQ(run(QStringLiteral("D:\\")), LaunchOutcome::Declined);
    EXPECT_TRUE(started.isEmpty());
    t.ui().addAnswer(QString::number(platform::mb::IdYes));
    EXPECT_EQ(run(QStringLiteral("D:\\")), LaunchOutcome::Opened);
    EXPECT_EQ(started, QStringList{QLatin1String(PagoraCommand)});
    EXPECT_EQ(t.ui().asked().size(), 2u);
}

TEST_F(LauncherStartTest, LatestCdCatalogueIsRecordedAndFailedStartIsSilent) {
    startSucceeds = false;
    EXPECT_EQ(run(QStringLiteral("D:\\")), LaunchOutcome::OpenFailed);
    EXPECT_EQ(started, QStringList{QLatin1String(PagoraCommand)});
    EXPECT_EQ(t.temp().readFile(QStringLiteral("C:\\man_info\\man_info_do.ci")),
              manInfoLine("RM010EN", "2024/03"));

    // Without Pagora the system web browser gets the page; one that cannot start ends silently too.
    ASSERT_TRUE(QFile::remove(t.temp().host(QLatin1String(launcher::PagoraPath))));
    const QByteArray saved = qgetenv("BROWSER");
    qputenv("BROWSER", "/nonexistent/browser");
    EXPECT_EQ(run(QStringLiteral("D:\\")), LaunchOutcome::OpenFailed);
    qputenv("BROWSER", saved);
    EXPECT_EQ(started.size(), 1);
    EXPECT_TRUE(t.ui().asked().empty());
}

} // namespace
