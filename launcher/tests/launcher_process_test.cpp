// The built launcher as a real process on a CD in drive D: of a temporary machine: started from the
// CD's root, from a subfolder, and by the CD's autostart file as a desktop starts it.

#include "LauncherTestSupport.h"
#include "platform/InstanceLock.h"

#include <QDir>
#include <QProcess>

using namespace marvek;
using namespace marvek::testing;

namespace {

class LauncherProcessTest : public ::testing::Test {
protected:
    LauncherProcessTest()
        : pagora(temp.host(QLatin1String(launcher::PagoraPath)), temp.root() + QStringLiteral("/pagora.txt")),
          browser(temp.root() + QStringLiteral("/browser.sh"), temp.root() + QStringLiteral("/browser.txt")) {
        cd = temp.addDrive(QLatin1Char('D'));
        EXPECT_TRUE(prepareCd(temp) && pagora.install() && browser.install() &&
                    placeLauncher(QStringLiteral("Cdlaunch.exe")));
    }

    // Copies the built launcher onto the CD (relative to its root); its own folder is where it lies.
    bool placeLauncher(const QString& relative) const {
        const QString target = QDir(cd).filePath(relative);
        QDir().mkpath(QFileInfo(target).path());
        return QFile::copy(QStringLiteral(CDLAUNCH_EXE), target);
    }

    // Runs a program of the CD with the CD's root as the working folder and waits for its end.
    int run(const QString& program, const QStringList& arguments = {}, const QStringList& answers = {}) {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("MARVEK_ROOT"), temp.root());
        env.insert(QStringLiteral("MARVEK_UI_LOG"), temp.root() + QStringLiteral("/ui.log"));
        env.insert(QStringLiteral("BROWSER"), browser.path());
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("LANG"), QStringLiteral("en_US.UTF-8"));
        env.remove(QStringLiteral("LC_ALL"));
        QFile script(temp.root() + QStringLiteral("/ui-script.txt"));
        script.open(QIODevice::WriteOnly | QIODevice::Truncate);
        script.write(answers.join(u'\n').toUtf8());
        script.close();
        env.insert(QStringLiteral("MARVEK_UI_SCRIPT"), script.fileName());
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(cd);
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start(program, arguments);
        if (!process.waitForFinished(30000)) {
            process.kill();
            process.waitForFinished();
            return -1;
        }
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }

    int runLauncher(const QString& relative = QStringLiteral("Cdlaunch.exe"),
                    const QStringList& answers = {}) {
        return run(QDir(cd).filePath(relative), {}, answers);
    }

    QString uiLog() const {
        QFile log(temp.root() + QStringLiteral("/ui.log"));
        return log.open(QIODevice::ReadOnly) ? QString::fromUtf8(log.readAll()) : QString();
    }

    QString hostPage() const { return temp.host(QStringLiteral("D:\\index.html")); }

    TempMachine temp;
    QString cd;
    RecordingProgram pagora;
    RecordingProgram browser;
};

TEST_F(LauncherProcessTest, FromTheRootOrASubfolderPagoraElseTheWebBrowserGetsTheRootPage) {
    ASSERT_TRUE(placeLauncher(QStringLiteral("programs/tools/Cdlaunch.exe")));
    EXPECT_EQ(runLauncher(), 0);
    EXPECT_EQ(pagora.waitForRuns(1).size(), 1);
    EXPECT_EQ(runLauncher(QStringLiteral("programs/tools/Cdlaunch.exe")), 0);
    // The page path is the only argument: the process layer hands the drive path over as a host path.
    EXPECT_EQ(pagora.waitForRuns(2), (QList<QStringList>{{hostPage()}, {hostPage()}}));
    EXPECT_TRUE(browser.runs().isEmpty());
    EXPECT_EQ(uiLog(), QString());
    // The PC now keeps the CD's record of its issues.
    EXPECT_EQ(temp.readFile(QStringLiteral("C:\\man_info\\man_info_do.ci")),
              manInfoLine("RM010EN", "2024/03"));

    // Without Pagora the system web browser shows the page.
    ASSERT_TRUE(QFile::remove(pagora.path()));
    EXPECT_EQ(runLauncher(), 0);
    EXPECT_EQ(browser.waitForRuns(1), QList<QStringList>{{hostPage()}});
}

TEST_F(LauncherProcessTest, NoStartPageAndSecondInstanceEndSilently) {
    {
        const platform::InstanceLock running(temp.machine(), QLatin1String(launcher::ProgramName));
        ASSERT_FALSE(running.previousInstance());
        EXPECT_EQ(runLauncher(), 0);
    }
    ASSERT_TRUE(QFile::remove(hostPage()));
    EXPECT_EQ(runLauncher(), 0);
    QThread::msleep(300); // a started browser would have written by now
    EXPECT_TRUE(pagora.runs().isEmpty());
    EXPECT_TRUE(browser.runs().isEmpty());
    EXPECT_EQ(uiLog(), QString());
    EXPECT_FALSE(QFileInfo::exists(temp.host(QStringLiteral("C:\\man_info"))));
}

TEST_F(LauncherProcessTest, NotLatestCdOpensThePageOnlyWhenTheUserSaysYes) {
    ASSERT_TRUE(
        temp.writeFile(QStringLiteral("C:\\man_info\\man_info_do.ci"), manInfoLine("RM010EN", "2024/06")));
    EXPECT_EQ(runLauncher(QStringLiteral("Cdlaunch.exe"), {QStringLiteral("7")}), 0);
    QThread::msleep(300);
    EXPECT_TRUE(pagora.runs().isEmpty());
    EXPECT_EQ(runLauncher(QStringLiteral("Cdlaunch.exe"), {QStringLiteral("6")}), 0);
    EXPECT_EQ(pagora.waitForRuns(1), QList<QStringList>{{hostPage()}});
    const QString question =
        QStringLiteral("Marvek Manual Information\t52\tAurea classification ZVH50 "
                       "type(RM010EN)  is not the latest manuals.\\r\\rUse the latest "
                       "hybrid version service manual CD.\\rDo you want to view as is ?\t");
    EXPECT_EQ(uiLog(), question + QStringLiteral("7\n") + question + QStringLiteral("6\n"));
}

TEST_F(LauncherProcessTest, AutostartFilesOfTheCdStartTheLauncher) {
    const QString content = QStringLiteral(MARVEK_CD_CONTENT_DIR) + QStringLiteral("/root/");
    ASSERT_TRUE(
        QFile::copy(content + QStringLiteral("autorun.sh"), QDir(cd).filePath(QStringLiteral("autorun.sh"))));
    // A desktop runs the autostart file with the medium's root as the working folder; a medium whose
    // files lost their execute bits is run through the shell.
    EXPECT_EQ(run(QDir(cd).filePath(QStringLiteral("autorun.sh"))), 0);
    EXPECT_EQ(pagora.waitForRuns(1), QList<QStringList>{{hostPage()}});
    EXPECT_EQ(run(QStringLiteral("/bin/sh"), {QStringLiteral("autorun.sh")}), 0);
    EXPECT_EQ(pagora.waitForRuns(2).size(), 2);

    // Windows reads autorun.inf: it names the launcher at the root.
    QFile inf(content + QStringLiteral("autorun.inf"));
    ASSERT_TRUE(inf.open(QIODevice::ReadOnly));
    EXPECT_TRUE(inf.readAll().contains("open=Cdlaunch.exe"));
}

} // namespace
