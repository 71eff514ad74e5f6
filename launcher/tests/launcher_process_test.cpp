// The built launcher as a real process on a CD in drive D: of a temporary machine: started by the CD's
// autostart file as a desktop starts it, and from a subfolder; and from CDs mounted outside every drive,
// which get drive letters of their own.

#include "LauncherTestSupport.h"
#include "platform/InstanceLock.h"
#include "platform/testing/BuildPath.h"
#include "platform/testing/ScopedEnvironment.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>

using marvek::testing::BuildPath;

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
        return QFile::copy(BuildPath("CDLAUNCH_EXE"), target);
    }

    // Runs a program of the CD with the CD's root as the working folder and waits for its end.
    int run(const QString& program, const QStringList& arguments = {}) {
        QProcess process;
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

    int runLauncher(const QString& relative = QStringLiteral("Cdlaunch.exe")) {
        return run(QDir(cd).filePath(relative));
    }

    QString uiLog() const {
        QFile log(temp.root() + QStringLiteral("/ui.log"));
        return log.open(QIODevice::ReadOnly) ? QString::fromUtf8(log.readAll()) : QString();
    }

    QString hostPage() const { return temp.host(QStringLiteral("D:\\index.html")); }

    TempMachine temp; // MARVEK_ROOT points at it
    QString cd;
    RecordingProgram pagora;
    RecordingProgram browser;
    const ScopedEnvironment environment[4] = {{"MARVEK_UI_LOG", temp.root() + QStringLiteral("/ui.log")},
                                              {"BROWSER", browser.path()},
                                              {"LANG", "en_US.UTF-8"},
                                              {"LC_ALL", nullptr}};
};

TEST_F(LauncherProcessTest, AutostartOrASubfolderStartsPagoraElseTheWebBrowserOnTheRootPage) {
    ASSERT_TRUE(QFile::copy(BuildPath("MARVEK_CD_CONTENT_DIR") + QStringLiteral("/root/autorun.sh"),
                            QDir(cd).filePath(QStringLiteral("autorun.sh"))));
    ASSERT_TRUE(placeLauncher(QStringLiteral("programs/tools/Cdlaunch.exe")));
    // A desktop runs the autostart file with the medium's root as the working folder; a medium whose
    // files lost their execute bits is run through the shell.
    EXPECT_EQ(run(QDir(cd).filePath(QStringLiteral("autorun.sh"))), 0);
    EXPECT_EQ(run(QStringLiteral("/bin/sh"), {QStringLiteral("autorun.sh")}), 0);
    EXPECT_EQ(runLauncher(QStringLiteral("programs/tools/Cdlaunch.exe")), 0);
    // The page path is the only argument: the process layer hands the drive path over as a host path.
    EXPECT_EQ(pagora.waitForRuns(3), (QList<QStringList>{{hostPage()}, {hostPage()}, {hostPage()}}));
    EXPECT_TRUE(browser.runs().isEmpty());
    EXPECT_EQ(uiLog(), QString());

    // Without Pagora the system web browser shows the page.
    ASSERT_TRUE(QFile::remove(pagora.path()));
    EXPECT_EQ(runLauncher(), 0);
    EXPECT_EQ(browser.waitForRuns(1), QList<QStringList>{{hostPage()}});
}

// A desktop mounts CDs outside the machine's drives and runs their autostart file: each CD becomes a
// drive of its own, the first free letter from D:, and keeps it on the next start; its start page opens
// from that drive.
TEST_F(LauncherProcessTest, CdsMountedOutsideTheDrivesGetLettersOfTheirOwn) {
    // The CD files of the fixture's drive D:, which is no drive any more.
    const QString fixtureCd = cd;
    ASSERT_TRUE(QFile::remove(temp.machine().drivesFolder() + QStringLiteral("/d")));
    QTemporaryDir media;
    const QString mounted[] = {QFileInfo(media.path()).canonicalFilePath() + QStringLiteral("/SMCD"),
                               QFileInfo(media.path()).canonicalFilePath() + QStringLiteral("/SMCD 2")};
    for (const QString& root : mounted) {
        cd = root;
        ASSERT_TRUE(QDir().mkpath(cd + QStringLiteral("/programs/setup")));
        ASSERT_TRUE(
            QFile::copy(fixtureCd + QStringLiteral("/index.html"), cd + QStringLiteral("/index.html")));
        ASSERT_TRUE(QFile::copy(fixtureCd + QStringLiteral("/programs/setup/man_info_do.ci"),
                                cd + QStringLiteral("/programs/setup/man_info_do.ci")));
        ASSERT_TRUE(QFile::copy(BuildPath("MARVEK_CD_CONTENT_DIR") + QStringLiteral("/root/autorun.sh"),
                                cd + QStringLiteral("/autorun.sh")));
        ASSERT_TRUE(placeLauncher(QStringLiteral("Cdlaunch.exe")));
    }
    for (const QString& root : {mounted[0], mounted[1], mounted[0]}) {
        cd = root;
        EXPECT_EQ(run(QDir(cd).filePath(QStringLiteral("autorun.sh"))), 0);
    }
    // Pagora gets the drive path of the page as a host path through the drive.
    const auto page = [&](const char* drive) {
        return QStringList{temp.host(QLatin1String(drive))};
    };
    EXPECT_EQ(pagora.waitForRuns(3),
              (QList<QStringList>{page("D:\\index.html"), page("E:\\index.html"), page("D:\\index.html")}));
    EXPECT_EQ(QFileInfo(temp.machine().drivesFolder() + QStringLiteral("/d")).symLinkTarget(), mounted[0]);
    EXPECT_EQ(QFileInfo(temp.machine().drivesFolder() + QStringLiteral("/e")).symLinkTarget(), mounted[1]);
    EXPECT_FALSE(QFileInfo::exists(temp.machine().drivesFolder() + QStringLiteral("/f")));
    EXPECT_EQ(uiLog(), QString());
}

TEST_F(LauncherProcessTest, SecondInstanceEndsSilently) {
    const platform::InstanceLock running(temp.machine(), QLatin1String(launcher::ProgramName));
    ASSERT_FALSE(running.previousInstance());
    EXPECT_EQ(runLauncher(), 0);
    QThread::msleep(300); // a started browser would have written by now
    EXPECT_TRUE(pagora.runs().isEmpty());
    EXPECT_TRUE(browser.runs().isEmpty());
    EXPECT_EQ(uiLog(), QString());
    EXPECT_FALSE(QFileInfo::exists(temp.host(QStringLiteral("C:\\man_info"))));
}

} // namespace
