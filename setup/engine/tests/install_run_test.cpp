// The installer engine on a copy of the sample CD: the start routine, the companion installs, the room
// the folder screen asks for, and the installation run end to end.
#include "SetupTestFixture.h"
#include "platform/Processes.h"
#include "platform/testing/BuildPath.h"
#include "platform/testing/ScopedEnvironment.h"
#include "platform/testing/TestArchive.h"
#include "setup/engine/Companions.h"
#include "setup/engine/InstallRun.h"
#include "setup/engine/Pipeline.h"
#include "setup/engine/Survey.h"
#include "shared/catalogue/CarInfo.h"
#include "shared/config/Messages.h"
#include "shared/maninfo/AutRunLocalRead.h"

#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QThread>
#include <cmath>
#include <unistd.h>

using marvek::testing::BuildPath;

using namespace marvek;
using namespace marvek::testing;

namespace {

// The start routine's outcomes and the paths it settles.
using StartupTest = SetupFixture;

TEST_F(StartupTest, SettlesEveryPathAndOpensTheMenu) {
    // A second copy of the program ends silently.
    setup::SetupContext second(base.os());
    EXPECT_EQ(setup::StartSetup(second, q("D:\\programs\\setup"), true), setup::StartOutcome::End);
    EXPECT_FALSE(second.Database().IsOpen());

    ASSERT_EQ(start(), setup::StartOutcome::ShowMenu);
    EXPECT_EQ((QStringList{ctx.shared.SourceRoot, ctx.shared.CleanupBatchPath, ctx.ProgramFilesDrive,
                           ctx.LinkManualDir, ctx.ViewerExePath, ctx.UnzipTempDir, ctx.DatabasePath,
                           ctx.LockFilePath}),
              (QStringList{
                  "D:\\", "D:\\programs\\setup\\SysDir\\RmDir.bat", "C:", "C:\\Marvek\\Scanlux\\Link\\Manual",
                  "C:\\Program Files\\Marvek\\Scanlux\\View\\Pagora.exe", "C:\\ManualLink\\UnZipTemp",
                  "C:\\ManualLink\\ManualLink.mdb", "C:\\ManualLink\\ManualLink.ldb"}));
    EXPECT_TRUE(ctx.os().files().folderExists(ctx.LinkDir));
    EXPECT_TRUE(ctx.Database().IsOpen());
    EXPECT_FALSE(ctx.shared.UsersGroupName.isEmpty());
    EXPECT_TRUE(ui().asked().empty());
}

TEST_F(StartupTest, JapaneseMachineFallsBackToTheFixedViewerFolder) {
    ASSERT_TRUE(base.setLocale("0411"));
    base.os().registry().writeString(platform::HKEY_LOCAL_MACHINE, QLatin1String(setup::WindowsVersionKey),
                                     q("ProgramFilesDir"), q("D:\\Apps"));
    ASSERT_EQ(start(), setup::StartOutcome::ShowMenu);
    EXPECT_EQ(ctx.shared.LanguageCode, q("11"));
    EXPECT_EQ(ctx.ViewerDir, q("C:\\Program Files\\Marvek\\Scanlux\\View"));
    EXPECT_EQ(ctx.ProgramFilesDrive, q("D:"));
}

// A missing or unreadable parameter file ends with a fixed box; a failed database check (missing, not a
// database, read-only) shows the result screen with its message and M024.
TEST_F(StartupTest, FailuresEndWithAFixedBoxOrShowTheResult) {
    const QString parameterFile = q("D:\\programs\\setup\\SysDir\\SysParameter.ini");
    const QByteArray parameters = temp().readFile(parameterFile);
    ASSERT_TRUE(parameters.contains("ZIP_ExtractTime=60"));
    const QString databasePath = q("C:\\ManualLink\\ManualLink.mdb");
    const QString database = host(databasePath);
    const platform::Files& files = ctx.os().files();
    const struct {
        const char* name;
        std::function<void()> prepare;
        const char* box; // or the result screen's first line
        int message;
    } cases[] = {
        {"parameters missing", [&] { QFile::remove(host(parameterFile)); }, setup::NoParameterFile, 0},
        {"parameter not a number",
         [&] {
             ASSERT_TRUE(temp().writeFile(
                 parameterFile,
                 QByteArray(parameters).replace("ZIP_ExtractTime=60", "ZIP_ExtractTime=sixty")));
         },
         setup::NoSystemData, 0},
        {"database missing", [&] { QFile::remove(database); }, nullptr, 19},
        {"not a database", [&] { ASSERT_TRUE(temp().writeFile(databasePath, "this is no database")); },
         nullptr, 20},
        {"read-only", [&] { files.setAttributes(databasePath, platform::FILE_ATTRIBUTE_READONLY); }, nullptr,
         67},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        c.prepare();
        setup::SetupContext fresh(base.os());
        const size_t asked = ui().asked().size();
        const setup::StartOutcome outcome = setup::StartSetup(fresh, q("D:\\programs\\setup"), false);
        if (c.box) {
            EXPECT_EQ(outcome, setup::StartOutcome::End);
            ASSERT_EQ(ui().asked().size(), asked + 1);
            EXPECT_EQ(lastBox(),
                      (QStringList{c.box, setup::StartupTitle, QString::number(platform::mb::Exclamation)}));
        } else {
            EXPECT_EQ(outcome, setup::StartOutcome::ShowResult);
            EXPECT_EQ(errorLines(fresh),
                      std::pair(setup::Message(fresh, c.message), setup::Message(fresh, 24)));
            EXPECT_FALSE(fresh.InstallSucceeded);
        }
        setup::EndSetup(fresh, true);
        ASSERT_TRUE(temp().writeFile(parameterFile, parameters));
        files.setAttributes(databasePath, platform::FILE_ATTRIBUTE_NORMAL);
        QFile::remove(database);
        ASSERT_TRUE(QFile::copy(cdRoot + q("/programs/setup/ManualLink_new.mdb"), database));
        QFile(database).setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    }
}

// An upgrade cut off after the database lost its name: the start puts a whole backup back before its
// database checks; a backup that is no whole database stays where it is, and M019 follows.
TEST_F(StartupTest, MissingDatabaseIsRestoredFromAWholeBackup) {
    const QString database = host(q("C:\\ManualLink\\ManualLink.mdb"));
    const QString backup = host(q("C:\\ManualLink")) + q("/BACK_ManualLink.mdb");
    ASSERT_TRUE(QFile::rename(database, backup));
    ASSERT_EQ(start(), setup::StartOutcome::ShowMenu);
    EXPECT_TRUE(ctx.Database().IsOpen());
    EXPECT_FALSE(QFileInfo::exists(backup));
    setup::EndSetup(ctx, true);

    ASSERT_TRUE(QFile::rename(database, backup));
    ASSERT_TRUE(QFile::resize(backup, 100));
    setup::SetupContext fresh(base.os());
    EXPECT_EQ(setup::StartSetup(fresh, q("D:\\programs\\setup"), false), setup::StartOutcome::ShowResult);
    EXPECT_EQ(errorLines(fresh), std::pair(setup::Message(fresh, 19), setup::Message(fresh, 24)));
    EXPECT_EQ(QFileInfo(backup).size(), 100);
    EXPECT_FALSE(QFileInfo::exists(database));
}

TEST_F(StartupTest, ManualLinkMissingOpensTheStartPageAndEnds) {
    ASSERT_TRUE(QFile::remove(host(q("C:\\ManualLink\\ManualLink.exe"))));
    // The system web browser gets the start page.
    const QString opened = temp().root() + q("/opened.txt");
    {
        const ScopedEnvironment browser("BROWSER", recorderCommand(opened));
        EXPECT_EQ(start(), setup::StartOutcome::End);
    }
    // The latest-CD check ran first: the PC now keeps the CD's information file.
    EXPECT_TRUE(ctx.os().files().fileExists(q("C:\\man_info\\man_info_do.ci")));
    const QByteArray page = waitForLine(opened);
    EXPECT_TRUE(page.endsWith("index.html")) << page.toStdString();
}

// Before any screen is loaded the caption is empty: the latest-CD check's failure box takes the
// program's title, and the program ends without opening the page.
TEST_F(StartupTest, LatestCdCheckFailureAtStartIsTitledWithTheProgramTitle) {
    ASSERT_TRUE(QFile::remove(host(q("C:\\ManualLink\\ManualLink.exe"))));
    ASSERT_TRUE(temp().writeFile(q("C:\\man_info"), "a file where the folder belongs"));
    const QString opened = temp().root() + q("/opened.txt");
    const ScopedEnvironment browser("BROWSER", recorderCommand(opened));
    EXPECT_EQ(start(), setup::StartOutcome::End);
    EXPECT_EQ(lastBox(), (QStringList{shared::ManInfoSystemError, setup::StartupTitle, "0"}));
    EXPECT_FALSE(QFileInfo::exists(opened));
}

TEST_F(StartupTest, RunningManagerBlocksOnlyUnderItsExactName) {
    QTemporaryDir bin;
    for (const char* name : {"mandex.exe", "Mandex.exe"}) {
        SCOPED_TRACE(name);
        const QString program = bin.filePath(QLatin1String(name));
        ASSERT_TRUE(QFile::copy(q("/bin/sleep"), program));
        QProcess manager;
        manager.start(program, {q("30")});
        ASSERT_TRUE(manager.waitForStarted());
        setup::SetupContext fresh(base.os());
        const setup::StartOutcome outcome = setup::StartSetup(fresh, q("D:\\programs\\setup"), false);
        manager.kill();
        manager.waitForFinished();
        if (QLatin1String(name) == q("Mandex.exe")) {
            EXPECT_EQ(outcome, setup::StartOutcome::ShowResult);
            EXPECT_EQ(fresh.ErrorLine1, setup::Message(fresh, 70));
        } else {
            EXPECT_EQ(outcome, setup::StartOutcome::ShowMenu);
        }
    }
}

TEST(StartupPaths, SourceRootAndDriveNames) {
    for (const auto& [folder, root] : {std::pair("D:\\programs\\setup", "D:\\"),
                                       {"C:\\CD\\programs\\setup", "C:\\"},
                                       {"E:\\Disc\\One\\programs\\setup", "E:\\Disc\\"}})
        EXPECT_EQ(setup::SourceRootOf(q(folder)), q(root)) << folder;
    for (const auto& [path, drive] : {std::pair("C:\\Program Files", "C:"),
                                      {"e:", "e:"},
                                      {"\\\\server\\share\\manuals", "\\\\server\\share"},
                                      {"Manuals", ""},
                                      {"", ""}})
        EXPECT_EQ(setup::GetDriveName(q(path)), q(drive)) << path;
}

// The companion installs of step 2: which installer runs, how its result is judged, and what the
// installer leaves around the manager program.
class CompanionsTest : public SetupFixture {
protected:
    void SetUp() override {
        SetupFixture::SetUp();
        calls = host(q("C:\\calls.txt"));
    }

    // A companion installer on the CD: a script that records its folder and arguments, then runs body.
    void writeInstaller(const QString& cdFolder, const QByteArray& body) {
        const QString path = q("D:\\") + cdFolder + q("/setup.exe");
        ASSERT_TRUE(temp().writeFile(path, "#!/bin/sh\nC=\"$MARVEK_ROOT/drives/c\"\necho \"" +
                                               cdFolder.toUtf8() + " $*\" >> \"$C/calls.txt\"\n" + body));
        QFile script(host(path));
        script.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        // Older than anything installed, as a CD's files are.
        ASSERT_TRUE(script.open(QIODevice::ReadWrite));
        script.setFileTime(QDateTime(QDate(2024, 3, 1), QTime(0, 0)), QFileDevice::FileModificationTime);
    }

    QStringList recordedCalls() {
        return QString::fromUtf8(temp().readFile(q("C:\\calls.txt")))
            .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }

    void removeManager() { ASSERT_TRUE(QFile::remove(host(q("C:\\ManualLink\\Mandex.exe")))); }
    QString managerLink() {
        return ctx.os().files().specialFolder(platform::CSIDL_PROGRAMS) + QLatin1Char('\\') + message(43) +
               q(".lnk");
    }

    void startOk() { ASSERT_EQ(start(), setup::StartOutcome::ShowMenu) << ctx.ErrorLine1.toStdString(); }

    QString calls;
};

constexpr const char* InstallManager = "cp \"$0\" \"$C/ManualLink/Mandex.exe\"\n";

// An up-to-date manager is left alone; a missing one comes from the installer of the machine's language,
// else the English one; an installer that installs nothing, or none, fails the step.
TEST_F(CompanionsTest, ManagerInstallerOfTheLanguageElseEnglish) {
    ASSERT_TRUE(base.setLocale("0411"));
    writeInstaller(q("programs/man_manager/09"), InstallManager);
    startOk();
    ASSERT_TRUE(setup::InstallManagerStep(ctx, view));
    EXPECT_TRUE(recordedCalls().isEmpty());
    EXPECT_FALSE(ctx.os().files().exists(managerLink()));
    EXPECT_FALSE(ctx.os().files().exists(q("C:\\ManualLink\\mandex.fdf")));

    removeManager();
    ASSERT_TRUE(setup::InstallManagerStep(ctx, view));
    EXPECT_EQ(recordedCalls(), QStringList{q("programs/man_manager/09 /VERYSILENT /SP-")});
    EXPECT_EQ(view.steps[2].text, message(10));
    EXPECT_TRUE(view.steps[2].bold) << "step 2 stays running until step 2b";

    QFile::remove(calls);
    removeManager();
    writeInstaller(q("programs/man_manager/11"), InstallManager);
    ASSERT_TRUE(setup::InstallManagerStep(ctx, view));
    EXPECT_EQ(recordedCalls(), QStringList{q("programs/man_manager/11 /VERYSILENT /SP-")});

    // An installer that installs nothing fails as a missing one does.
    removeManager();
    writeInstaller(q("programs/man_manager/11"), "exit 0\n");
    for (const bool onTheCd : {true, false}) {
        if (!onTheCd)
            QDir(cdRoot + q("/programs/man_manager")).removeRecursively();
        ctx.ErrorLine1.clear();
        EXPECT_FALSE(setup::InstallManagerStep(ctx, view)) << onTheCd;
        EXPECT_EQ(errorLines(ctx), std::pair(message(18), message(24))) << onTheCd;
    }
}

TEST_F(CompanionsTest, InstalledManagerGetsShortcutAndVersionFile) {
    removeManager();
    // The payload is a program with a version record: 1.2.3.4 gives "1.2.4".
    ASSERT_TRUE(QFile::copy(BuildPath("VERSIONED_PROGRAM"), cdRoot + q("/payload")));
    writeInstaller(q("programs/man_manager/09"),
                   "cp \"$(dirname \"$0\")/../../../payload\" \"$C/ManualLink/Mandex.exe\"\n");
    startOk();
    const QString link = managerLink();
    ASSERT_TRUE(setup::InstallManagerStep(ctx, view));
    EXPECT_TRUE(ctx.os().files().fileExists(link));
    EXPECT_TRUE(temp().readFile(q("C:\\ManualLink\\mandex.fdf")).contains("1.2.4"));

    // An existing shortcut is never overwritten; ShortcutIcon 0 makes none.
    ASSERT_TRUE(temp().writeFile(link, "mine"));
    removeManager();
    ASSERT_TRUE(setup::InstallManagerStep(ctx, view));
    EXPECT_EQ(temp().readFile(link), QByteArray("mine"));
    QFile::remove(host(link));
    removeManager();
    ctx.shared.systemParameters.ShortcutIcon = 0;
    ASSERT_TRUE(setup::InstallManagerStep(ctx, view));
    EXPECT_FALSE(ctx.os().files().exists(link));
}

TEST_F(CompanionsTest, ResultLogsDecideAndFailuresAsk) {
    const QByteArray linkOk = "printf '1\\r\\n0\\r\\n' > \"$C/ManualLink/setup.log\"\n";
    const QByteArray noLog = "exit 0\n";
    const QByteArray viewerOk = "mkdir -p \"$C/Program Files/Marvek/Scanlux/View\"\n"
                                "echo 0 > \"$C/Program Files/Marvek/Scanlux/View/setup.log\"\n";
    const QByteArray viewerFails =
        "mkdir -p \"$C/Program Files/Marvek/Scanlux/View\"\n"
        "printf 'copying\\n3\\n' > \"$C/Program Files/Marvek/Scanlux/View/setup.log\"\n";
    struct Case {
        const char* name;
        QByteArray link;
        QByteArray viewer;
        QStringList answers;
        bool succeeds;
        int questions;
    };
    const std::vector<Case> cases = {
        {"both succeed", linkOk, viewerOk, {}, true, 0},
        {"link without log, go on", noLog, viewerOk, {q("6")}, true, 1},
        {"link without log, stop", noLog, noLog, {q("7")}, false, 1},
        {"viewer reports 3, go on", linkOk, viewerFails, {q("6")}, true, 1},
        {"viewer reports 3, default is No", linkOk, viewerFails, {}, false, 1},
    };
    startOk();
    // Installers missing from the CD are skipped without a question.
    EXPECT_TRUE(setup::InstallLinkAndViewerStep(ctx, view));
    EXPECT_TRUE(ui().asked().empty());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(calls);
        writeInstaller(q("programs/manual_link"), c.link);
        writeInstaller(q("programs/View"), c.viewer);
        for (const QString& answer : c.answers)
            ui().addAnswer(answer);
        const size_t asked = ui().asked().size();
        ctx.ErrorLine1.clear();
        EXPECT_EQ(setup::InstallLinkAndViewerStep(ctx, view), c.succeeds);
        ASSERT_EQ(ui().asked().size(), asked + c.questions);
        if (c.questions > 0) {
            EXPECT_EQ(lastBox(), (QStringList{message(90) + message(91), message(34), "308"}));
        }
        EXPECT_EQ(ctx.ErrorLine1, c.succeeds ? QString() : message(90));
        if (c.succeeds) {
            EXPECT_EQ(recordedCalls(),
                      (QStringList{q("programs/manual_link 1"), q("programs/View /VERYSILENT /SP-")}));
            EXPECT_EQ(view.steps[2].text, message(11));
            EXPECT_EQ(view.steps[2].frame, setup::StepFrameDone);
        }
        // Every log read is deleted.
        EXPECT_FALSE(ctx.os().files().exists(q("C:\\ManualLink\\setup.log")));
        EXPECT_FALSE(ctx.os().files().exists(ctx.ViewerDir + q("\\setup.log")));
    }
}

// The log's last line decides, whatever the line ends and the size of the log; a missing log is no
// result.
TEST(ResultLog, LastLineIsTheResult) {
    SharedTestContext base;
    setup::SetupContext ctx(base.os());
    const QByteArray longLog = QByteArray("copying a file of the manual-link component\r\n").repeated(40000);
    const QByteArray longLine(setup::MaxResultLineBytes, ' ');
    const std::vector<std::pair<QByteArray, std::optional<qint16>>> cases = {
        {"starting\r\n2\r\n", 2},
        {"starting\n7", 7},
        {"starting\r3\r", 3},         // CR alone ends a line
        {"1\r\ncopying\n\r\n-4", -4}, // mixed line ends
        {"0\r\r", std::nullopt},      // an empty last line
        {"0\n\n", std::nullopt},
        {"", std::nullopt},
        {longLog + "0\r\n", 0}, // above 1 MiB, read from its end
        {longLog + "5", 5},
        {longLog + "0\rcopying", std::nullopt},
        {"1\r\n" + longLine + "9", std::nullopt}, // a last line longer than a result can be
        {"1\r\n" + longLine.left(longLine.size() - 1) + "9\r\n", 9},
    };
    for (const auto& [content, expected] : cases) {
        ASSERT_TRUE(base.temp().writeFile(q("C:\\setup.log"), content));
        EXPECT_EQ(setup::ReadResultLog(ctx, q("C:\\setup.log")), expected) << content.right(40).toStdString();
        EXPECT_EQ(setup::ParseResultLog(content), expected) << content.right(40).toStdString();
    }
    EXPECT_EQ(setup::ReadResultLog(ctx, q("C:\\missing.log")), std::nullopt);
    EXPECT_EQ(setup::ManagerVersionText(1, 2, 0, 5), q("1.2.5"));
}

// The installation run end to end on a copy of the sample CD: survey, folder screen, extraction, copy,
// registration, and the decisions of a second run after the CD or the PC changed.
class InstallRunTest : public SetupFixture {
protected:
    void SetUp() override {
        SetupFixture::SetUp();
        ASSERT_EQ(start(), setup::StartOutcome::ShowMenu) << ctx.ErrorLine1.toStdString();
    }

    bool run() {
        ctx.ManualTable.clear();
        ctx.ErrorLine1.clear();
        ctx.ErrorLine2.clear();
        setup::RunFirstActivation(ctx, view);
        return ctx.InstallSucceeded;
    }

    const shared::ManualEntry& entry(const char* pubNo) {
        for (int i = 1; i <= ctx.ManualTable.count(); ++i) {
            if (ctx.ManualTable.entry(i).Pub_No == QLatin1String(pubNo))
                return ctx.ManualTable.entry(i);
        }
        ADD_FAILURE() << "no entry " << pubNo;
        static const shared::ManualEntry none;
        return none;
    }

    // A manual's Selected, Status and InstallKind.
    QStringList outcome(const char* pubNo) {
        const shared::ManualEntry& e = entry(pubNo);
        return {e.Selected, e.Status, e.InstallKind};
    }

    // The registered row of a publication (CurrentManual), or false.
    bool registered(const char* pubNo) { return ctx.db.FindInstalledManual(QLatin1String(pubNo)) == 0; }

    bool installedFile(const QString& windowsPath) { return QFileInfo::exists(host(windowsPath)); }

    const QString base = q("C:\\Marvek\\Scanlux\\Link\\Manual");
};

TEST_F(InstallRunTest, NewInstallationPlacesAndRegistersEveryManual) {
    clock().onSleep = [this] {
        EXPECT_EQ(view.pointer, setup::Hourglass);
    };
    ASSERT_TRUE(run()) << ctx.ErrorLine1.toStdString() << " / " << ctx.ErrorLine2.toStdString();
    clock().onSleep = nullptr;

    // Steps 2, 3 and 4 ran and finished one after the other, with the hourglass at every wait.
    EXPECT_EQ(view.stepLog, (std::vector<int>{21, 22, 31, 32, 41, 42}));
    EXPECT_EQ(view.pointer, setup::DefaultPointer);
    for (int step = 2; step <= 4; ++step) {
        EXPECT_EQ(std::tuple(view.steps[step].text, view.steps[step].frame),
                  std::tuple(message(11 + (step - 2) * 3), setup::StepFrameDone));
    }

    // Six new manuals asked for a folder (RM010EN and RM011EN both, the later revision removing the
    // earlier).
    EXPECT_EQ(view.folderScreens.size(), 6u);
    for (const char* pubNo : {"BRM00EN", "NCF00EN", "RM011EN", "RMJ00JA"}) {
        EXPECT_EQ(outcome(pubNo), QStringList({"1", "1", "1"})) << pubNo;
        EXPECT_EQ(entry(pubNo).Done, q("1"));
        ASSERT_TRUE(registered(pubNo)) << pubNo;
        EXPECT_EQ((std::tuple(ctx.db.CurrentManual.InsDate, ctx.db.CurrentManual.InsUser,
                              ctx.db.CurrentManual.Adjust_flg)),
                  (std::tuple(ctx.NewInstallDate, ctx.shared.UserName, q("0"))))
            << pubNo;
    }
    EXPECT_EQ(ctx.NewInstallDate, ctx.RunStart.addSecs(1));
    EXPECT_EQ(ctx.UpdateInstallDate, ctx.RunStart.addSecs(2));

    // HTML manuals land in the archive's top folder, PDF manuals in their CD folder's name.
    ASSERT_TRUE(registered("EWD00EN"));
    EXPECT_EQ(ctx.db.CurrentManual.InsPath, base + q("\\AureaEWD"));
    EXPECT_TRUE(installedFile(base + q("\\AureaEWD\\index.html")));
    ASSERT_TRUE(registered("BRM00EN"));
    EXPECT_EQ(ctx.db.CurrentManual.InsPath, base + q("\\BRM00EN"));
    EXPECT_EQ(ctx.db.CurrentManual.Pdf_flg, q("1"));
    EXPECT_TRUE(installedFile(base + q("\\BRM00EN\\contents\\BRM00EN.pdf")));
    EXPECT_TRUE(installedFile(base + q("\\RM011EN\\contents")));

    // The later revision took the place of revision 0: its folder and rows are gone.
    EXPECT_FALSE(registered("RM010EN"));
    EXPECT_FALSE(installedFile(base + q("\\RM010EN")));

    // The user guide with its shortcut on the all-users desktop, the information files beside the database.
    EXPECT_TRUE(installedFile(q("C:\\ManualLink\\MandexGuide_E.pdf")));
    const QString desktop = ctx.os().files().specialFolder(platform::CSIDL_COMMON_DESKTOP);
    EXPECT_TRUE(installedFile(desktop + QLatin1Char('\\') + message(66) + q(".lnk")));
    EXPECT_TRUE(installedFile(q("C:\\ManualLink\\man_info_do.ci")));
    EXPECT_TRUE(installedFile(q("C:\\ManualLink\\man_info_us.ci")));
}

TEST_F(InstallRunTest, SecondRunChangesNothingAndOlderOrUnreadableVersionsOnTheCd) {
    ASSERT_TRUE(run());
    const QFileInfo database(host(q("C:\\ManualLink\\ManualLink.mdb")));
    const QDateTime before = database.lastModified();
    view.folderScreens.clear();

    ASSERT_TRUE(run());
    EXPECT_TRUE(view.folderScreens.empty());
    for (const char* pubNo : {"BRM00EN", "EWD00EN", "NCF00EN", "RM011EN", "RMJ00JA"}) {
        EXPECT_EQ(outcome(pubNo), QStringList({"0", "3", ""})) << pubNo;
        EXPECT_TRUE(entry(pubNo).Folder.isEmpty());
        EXPECT_TRUE(entry(pubNo).InstallPath.isEmpty());
    }
    // Revision 0 stands beside the installed revision 1.
    EXPECT_EQ(entry("RM010EN").Selected, q("9"));
    EXPECT_EQ(entry("RM010EN").Status, q("3"));
    EXPECT_FALSE(registered("RM010EN"));
    EXPECT_EQ(QFileInfo(database.filePath()).lastModified(), before);

    // An older version is left alone; one that is no number compares as text, and a different text
    // brings the CD's copy in full, once.
    setCdValue(q("NCF00EN"), q("Version"), q("0"));
    setCdValue(q("EWD00EN"), q("Version"), q("B"));
    ASSERT_TRUE(run());
    EXPECT_EQ(outcome("NCF00EN"), QStringList({"0", "3", ""}));
    EXPECT_EQ(outcome("EWD00EN"), QStringList({"1", "2", "1"}));
    ASSERT_TRUE(run());
    EXPECT_EQ(outcome("EWD00EN"), QStringList({"0", "3", ""}));

    // Versions with a fraction compare as numbers: "2.1" installs, an older "2.0" keeps the manual and
    // its memo.
    setCdValue(q("EWD00EN"), q("Version"), q("2.1"));
    ASSERT_TRUE(run());
    EXPECT_EQ(outcome("EWD00EN"), QStringList({"1", "2", "1"}));
    ASSERT_TRUE(ctx.db.UpdateManualMemo(q("EWD00EN"), q("wiring checked")));
    setCdValue(q("EWD00EN"), q("Version"), q("2.0"));
    ASSERT_TRUE(run());
    EXPECT_EQ(outcome("EWD00EN"), QStringList({"0", "3", ""}));
    EXPECT_EQ(ctx.db.GetManualMemo(q("EWD00EN")), q("wiring checked"));
}

TEST_F(InstallRunTest, NewerCdVersionsUpdateDifferentiallyOrInFullUnlessALaterRevisionIsInstalled) {
    ASSERT_TRUE(run());
    // RM011EN: version + 1 with compare files (differential); EWD00EN: + 1 with an empty compare folder
    // (full); NCF00EN: + 2 (full); RMJ00JA: same version but its folder deleted by hand (full);
    // BRM00EN: same version, marked for adjustment (full).
    setCdValue(q("RM011EN"), q("Version"), q("3"));
    setCdValue(q("EWD00EN"), q("Version"), q("2"));
    QDir(cdRoot + q("/EWD00EN/install/compare")).removeRecursively();
    QDir().mkpath(cdRoot + q("/EWD00EN/install/compare/empty"));
    setCdValue(q("NCF00EN"), q("Version"), q("3"));
    ASSERT_TRUE(registered("RMJ00JA"));
    ASSERT_TRUE(QDir(host(ctx.db.CurrentManual.InsPath)).removeRecursively());
    ASSERT_TRUE(ctx.db.MarkManualForAdjust(q("BRM00EN")));
    // A page only the compare tree carries shows the differential copy went into "contents".
    ASSERT_TRUE(temp().writeFile(q("D:\\RM011EN\\install\\compare\\sec99\\new.html"), "<html>"));

    view.folderScreens.clear();
    ASSERT_TRUE(run()) << ctx.ErrorLine1.toStdString();
    EXPECT_TRUE(view.folderScreens.empty()) << "updates never ask for a folder";
    EXPECT_EQ(outcome("RM011EN"), QStringList({"1", "2", "2"}));
    for (const char* pubNo : {"EWD00EN", "NCF00EN", "RMJ00JA", "BRM00EN"})
        EXPECT_EQ(outcome(pubNo), QStringList({"1", "2", "1"})) << pubNo;
    EXPECT_TRUE(installedFile(base + q("\\RM011EN\\contents\\sec99\\new.html")));
    EXPECT_TRUE(installedFile(base + q("\\RMJ00JA\\index.html")));
    for (const char* pubNo : {"RM011EN", "EWD00EN", "NCF00EN", "RMJ00JA", "BRM00EN"}) {
        ASSERT_TRUE(registered(pubNo));
        EXPECT_EQ(ctx.db.CurrentManual.InsDate, ctx.UpdateInstallDate) << pubNo;
        EXPECT_EQ(ctx.db.CurrentManual.Adjust_flg, q("0")) << pubNo;
    }

    // Revision 2 of RM01xEN installed: the CD's revision 1 is excluded, whatever its version.
    ASSERT_TRUE(registered("RM011EN"));
    shared::ManualEntry later = entry("RM011EN");
    later.Pub_No = q("RM012EN");
    later.InstallPath = ctx.db.CurrentManual.InsPath;
    later.Status = q("1");
    ASSERT_TRUE(ctx.db.RegisterInstalledManual(later, ctx.NewInstallDate, ctx.UpdateInstallDate));
    setCdValue(q("RM011EN"), q("Version"), q("9"));
    ASSERT_TRUE(run());
    EXPECT_EQ(entry("RM011EN").Selected, q("9"));
    EXPECT_EQ(entry("RM011EN").Status, q("3"));
    ASSERT_TRUE(registered("RM011EN"));
    EXPECT_EQ(ctx.db.CurrentManual.Version, q("3"));
}

TEST_F(InstallRunTest, TwoNewManualsShareTheChosenFolder) {
    // Only two manuals on the CD; the second folder screen starts at the folder chosen the first time.
    for (const char* folder : {"BRM00EN", "EWD00EN", "RM010EN", "RM011EN"})
        QDir(cdRoot + QLatin1Char('/') + QLatin1String(folder)).removeRecursively();
    temp().addDrive(QLatin1Char('E'));
    ui().addAnswer(q("folder:E:\\"));
    view.folderClicks = {"change", "ok"};
    ASSERT_TRUE(run()) << ctx.ErrorLine1.toStdString();
    ASSERT_EQ(view.folderScreens.size(), 2u);
    EXPECT_EQ(view.folderScreens[1].L_Msg[0], message(59).replace(QLatin1Char('@'), q("2")));
    EXPECT_EQ(ctx.InstallBase, q("E:"));
    ASSERT_TRUE(registered("RMJ00JA"));
    EXPECT_TRUE(ctx.db.CurrentManual.InsPath.startsWith(q("E:\\")));
    EXPECT_TRUE(installedFile(ctx.db.CurrentManual.InsPath + q("\\index.html")));
}

TEST_F(InstallRunTest, CancelInTheFolderScreen) {
    view.folderClicks = {"cancel", "cancel"};
    ui().addAnswer(QString::number(platform::mb::IdNo));  // first: not confirmed, the screen stays
    ui().addAnswer(QString::number(platform::mb::IdYes)); // then confirmed
    EXPECT_FALSE(run());
    EXPECT_TRUE(ctx.CancelRequested);
    EXPECT_EQ(ctx.ErrorLine1, message(25));
    EXPECT_EQ(view.folderScreens.size(), 1u);
    EXPECT_EQ(ui().asked().size(), 2u);
    EXPECT_EQ(std::tuple(view.steps[4].text, view.steps[4].bold), std::tuple(message(16), true));
    EXPECT_FALSE(registered("BRM00EN"));
    EXPECT_EQ(entry("BRM00EN").Done, q("0"));
}

TEST_F(InstallRunTest, DatabaseTurnedReadOnlyDuringTheRunStopsBeforeRegistering) {
    view.onFolderScreen = [this] {
        ctx.os().files().setAttributes(ctx.DatabasePath, platform::FILE_ATTRIBUTE_READONLY);
    };
    EXPECT_FALSE(run());
    EXPECT_EQ(errorLines(ctx), std::pair(message(67), message(24)));
    // The first manual's files are in place, but it is not registered; nothing after it was touched.
    EXPECT_TRUE(installedFile(base + q("\\BRM00EN\\contents\\BRM00EN.pdf")));
    EXPECT_FALSE(registered("BRM00EN"));
    EXPECT_EQ(view.folderScreens.size(), 1u);
}

TEST_F(InstallRunTest, CatalogueValueTooLongStopsTheSurvey) {
    setCdValue(q("EWD00EN"), q("Pub_No"), q("EWD00EN-TOO-LONG"));
    EXPECT_FALSE(run());
    EXPECT_EQ(ctx.ErrorLine1, QLatin1String(shared::CatalogueErrorLine1));
    EXPECT_TRUE(view.folderScreens.empty());
    EXPECT_EQ(view.stepLog.back(), 31) << "the survey's label stays running";
    EXPECT_EQ(std::tuple(view.steps[3].text, view.steps[3].frame),
              std::tuple(message(13), setup::StepFrameRunning));
}

TEST_F(InstallRunTest, UnsafeArchiveFailsTheManualAndWritesNothingOutside) {
    enum class Kind { File, Link, Fifo };
    const struct {
        const char* name;
        Kind kind;
        const char* entry;
    } cases[] = {
        {"parent folder", Kind::File, "EWD00EN/../../escaped.html"},
        {"absolute name", Kind::File, "/tmp/escaped.html"},
        {"drive name", Kind::File, "C:escaped.html"},
        {"link out", Kind::Link, "EWD00EN/escaped"},
        {"device", Kind::Fifo, "EWD00EN/fifo"},
    };
    // Only EWD00EN on the CD, so the run reaches it first.
    for (const char* folder : {"BRM00EN", "NCF00EN", "RM010EN", "RM011EN", "RMJ00JA"})
        QDir(cdRoot + QLatin1Char('/') + QLatin1String(folder)).removeRecursively();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TestArchive archive;
        archive.file(q("EWD00EN/index.html"), "<html></html>");
        if (c.kind == Kind::File)
            archive.file(QLatin1String(c.entry), "x");
        else if (c.kind == Kind::Link)
            archive.symlink(QLatin1String(c.entry), q("/etc"));
        else
            archive.special(TestArchive::Kind::Fifo, QLatin1String(c.entry));
        QFile::remove(cdRoot + q("/EWD00EN/install/condense/manual.zip"));
        // Zip carries no special files: the device comes in a 7z archive under the same name.
        ASSERT_TRUE(
            archive.write(cdRoot + q("/EWD00EN/install/condense/manual.zip"),
                          c.kind == Kind::Fifo ? TestArchive::Format::SevenZip : TestArchive::Format::Zip));
        view.folderScreens.clear();
        EXPECT_FALSE(run());
        EXPECT_EQ(errorLines(ctx), std::pair(message(83), message(24)));
        EXPECT_FALSE(registered("EWD00EN"));
        EXPECT_FALSE(QFileInfo::exists(host(q("C:\\ManualLink\\escaped.html"))));
        EXPECT_FALSE(QFileInfo::exists(host(q("C:\\escaped.html"))));
        EXPECT_FALSE(QFileInfo::exists(q("/tmp/escaped.html")));
        EXPECT_FALSE(installedFile(base + q("\\EWD00EN")));
    }
}

// An update or a later revision removes the registered folder only when it holds nothing but the manual.
// A row written by an older program, or damaged, whose folder is the manuals' parent (with or without
// a trailing separator), a link to it, a path through a link, a sibling's folder or the diagnostic
// software's folder, is refused with a box: the run goes on and every other manual stays.
TEST_F(InstallRunTest, RemovalsNeverTakeAFolderThatHoldsOtherManuals) {
    ASSERT_TRUE(run());
    const QString linkDir = q("C:\\Marvek\\Scanlux\\Link");
    ASSERT_TRUE(QFile::link(host(base), host(linkDir) + q("/Shortcut")));
    ASSERT_TRUE(QFile::link(host(linkDir), host(q("C:\\Marvek\\Scanlux")) + q("/Alias")));
    QStringList others; // the folders of every manual but EWD00EN
    for (const char* pubNo : {"BRM00EN", "NCF00EN", "RM011EN", "RMJ00JA"}) {
        ASSERT_TRUE(registered(pubNo));
        others << ctx.db.CurrentManual.InsPath;
    }
    const auto missing = [&] {
        QStringList gone;
        for (const QString& folder : std::as_const(others)) {
            if (!installedFile(folder + q("\\contents")))
                gone << folder;
        }
        if (!installedFile(q("C:\\Marvek\\Scanlux\\readme.txt")))
            gone << q("diagnostic software");
        return gone;
    };
    const auto refusedOnce = [&](size_t asked, const QString& folder) {
        ASSERT_EQ(ui().asked().size(), asked + 1);
        EXPECT_TRUE(ui().asked().back().text.contains(q("\"") + folder + q("\"")))
            << ui().asked().back().text.toStdString();
        EXPECT_EQ(ui().asked().back().style, platform::mb::OKOnly | platform::mb::Exclamation);
    };

    const QString cases[] = {base,
                             base + q("\\"),
                             linkDir + q("\\Shortcut"),
                             q("C:\\Marvek\\Scanlux\\Alias\\Manual"),
                             base + q("\\BRM00EN"),
                             q("C:\\Marvek\\Scanlux")};
    for (const QString& insPath : cases) {
        SCOPED_TRACE(insPath.toStdString());
        // The CD's copy is newer than the registered one: a full update, which removes the old folder first.
        ASSERT_EQ(ctx.db.Database.Pcls_MdbExecute(q("UPDATE M_manage SET INSPath = '") + insPath +
                                                  q("', Version = '0' WHERE Pub_No = 'EWD00EN'")),
                  0);
        const size_t asked = ui().asked().size();
        EXPECT_TRUE(run()) << ctx.ErrorLine1.toStdString();
        EXPECT_EQ(outcome("EWD00EN"), QStringList({"1", "2", "1"}));
        refusedOnce(asked, insPath);
        EXPECT_EQ(missing(), QStringList());
    }

    // Revision 1 anew, while revision 0's row names the manuals' parent: its rows go, the folder stays.
    QDir(cdRoot + q("/RM010EN")).removeRecursively();
    ASSERT_TRUE(registered("RM011EN"));
    const QString revision1 = ctx.db.CurrentManual.InsPath;
    ASSERT_TRUE(ctx.db.DeleteInstalledManual(q("RM011EN")));
    ASSERT_TRUE(QDir(host(revision1)).removeRecursively());
    others.removeAll(revision1);
    ASSERT_EQ(ctx.db.Database.Pcls_MdbExecute(q("INSERT INTO M_manage (Pub_No, Version, INSPath) VALUES "
                                                "('RM010EN', '1', '") +
                                              base + q("')")),
              0);
    const size_t asked = ui().asked().size();
    EXPECT_TRUE(run()) << ctx.ErrorLine1.toStdString();
    EXPECT_EQ(outcome("RM011EN"), QStringList({"1", "1", "1"}));
    refusedOnce(asked, base);
    EXPECT_FALSE(registered("RM010EN"));
    EXPECT_EQ(missing(), QStringList());
}

// Links are never followed or written through: a loop in a PDF manual's CD folder, or a link standing
// at a manual's folder (new PDF or HTML manual, the "contents" of a differential update), fails the
// manual with M083 / M024 at once, and nothing outside changes.
TEST_F(InstallRunTest, LinksOnTheCdOrAtTheTargetFailTheManualAndWriteNothingOutside) {
    ASSERT_TRUE(temp().writeFile(q("C:\\Users\\Docs\\contents\\BRM00EN.pdf"), "mine"));
    ASSERT_TRUE(temp().writeFile(q("C:\\Users\\Docs\\index.html"), "mine"));
    const QString docs = host(q("C:\\Users\\Docs"));
    const auto snapshot = [&] {
        QStringList files;
        for (QDirIterator it(docs, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System,
                             QDirIterator::Subdirectories);
             it.hasNext();) {
            const QString path = it.next();
            QFile file(path);
            files << path.mid(docs.size()) + u'=' + (file.open(QIODevice::ReadOnly) ? file.readAll() : "");
        }
        files.sort();
        return files;
    };
    const QStringList before = snapshot();
    const auto failsWithNothingOutside = [&] {
        EXPECT_FALSE(run());
        EXPECT_EQ(errorLines(ctx), std::pair(message(83), message(24)));
        EXPECT_EQ(snapshot(), before);
    };

    // The loop: BRM00EN, the first manual, copies no nested folder and is not registered.
    const QByteArray loop = QFile::encodeName(cdRoot + q("/BRM00EN/contents/loop"));
    ASSERT_EQ(::symlink("..", loop.constData()), 0);
    QElapsedTimer timer;
    timer.start();
    failsWithNothingOutside();
    EXPECT_LT(timer.elapsed(), 10000);
    EXPECT_FALSE(QFileInfo::exists(host(base + q("\\BRM00EN\\contents\\loop"))));
    EXPECT_FALSE(registered("BRM00EN"));
    ASSERT_TRUE(QFile::remove(QFile::decodeName(loop)));
    ASSERT_TRUE(QDir(host(base)).removeRecursively());

    // A link at the new folder of a PDF manual, then of an HTML manual (after BRM00EN went in).
    for (const char* folder : {"\\BRM00EN", "\\AureaEWD"}) {
        SCOPED_TRACE(folder);
        ASSERT_TRUE(QDir().mkpath(host(base)));
        ASSERT_TRUE(QFile::link(docs, host(base) + QLatin1Char('/') + q(folder).mid(1)));
        failsWithNothingOutside();
        ASSERT_TRUE(QFile::remove(host(base) + QLatin1Char('/') + q(folder).mid(1)));
    }
    EXPECT_TRUE(registered("BRM00EN"));
    EXPECT_FALSE(registered("EWD00EN"));

    // A differential update whose "contents" is a link.
    ASSERT_TRUE(run()) << ctx.ErrorLine1.toStdString();
    ASSERT_TRUE(registered("RM011EN"));
    const QString contents = host(ctx.db.CurrentManual.InsPath + q("\\contents"));
    ASSERT_TRUE(QDir(contents).removeRecursively());
    ASSERT_TRUE(QFile::link(docs, contents));
    setCdValue(q("RM011EN"), q("Version"), q("3"));
    failsWithNothingOutside();
    EXPECT_EQ(outcome("RM011EN"), QStringList({"1", "2", "2"}));
}

TEST_F(InstallRunTest, RequiredAndFreeSpace) {
    shared::ManualEntry& entry = ctx.ManualTable.append();
    entry.Pub_No = q("PDF00EN");
    entry.PdfFlag = q("1");
    ctx.CurrentIndex = 1;
    struct Case {
        qint64 pdfSize; // -1: no file
        double required;
    };
    const QString pdf = q("D:\\PDF00EN\\contents\\PDF00EN.pdf");
    for (const Case& c : {Case{23456789, 30000000}, Case{9999999, 10000000}, Case{20000000, 30000000},
                          Case{0, 10000000}, Case{-1, 10000000}}) {
        QFile::remove(host(pdf));
        if (c.pdfSize >= 0) {
            ASSERT_TRUE(temp().writeFile(pdf, {}));
            ASSERT_TRUE(QFile::resize(host(pdf), c.pdfSize));
        }
        EXPECT_EQ(setup::RequiredSpace(ctx), c.required) << c.pdfSize;
    }
    ctx.ManualTable.entry(1).PdfFlag = q("0");
    EXPECT_EQ(setup::RequiredSpace(ctx), 150000000.0);

    // Free space keeps the Program Files reserve.
    EXPECT_EQ(setup::FreeSpace(ctx, q("Manuals")), 0.0);
    EXPECT_EQ(setup::FreeSpace(ctx, q("Q:\\Manuals")), 0.0) << "no such drive";
    // C: and D: lie on the same host file system here; C: is the Program Files drive.
    const double c = setup::FreeSpace(ctx, q("C:\\Manuals"));
    const double d = setup::FreeSpace(ctx, q("D:\\"));
    EXPECT_LT(std::abs(d - c - setup::ProgramFilesReserve), 64e6);
    ctx.ProgramFilesDrive = q("c:"); // compared exactly: another spelling keeps no reserve
    EXPECT_LT(std::abs(setup::FreeSpace(ctx, q("C:\\Manuals")) - d), 64e6);
}

// The whole CD as it ships, companion installers included, on a PC with only the manual-link component
// (installed by the CD's own installer): the manager and the viewer are installed, then every manual.
class FullCdTest : public SetupFixture {
protected:
    void SetUp() override {
        placeCd(q("C:\\Program Files\\Marvek\\Scanlux"));
        const std::unique_ptr<platform::ChildProcess> link = base.os().processes().start(
            q("D:\\programs\\manual_link\\setup.exe 1"), platform::WindowMode::Hidden);
        ASSERT_TRUE(link);
        while (link->exitCode() == platform::STILL_ACTIVE)
            QThread::msleep(20);
        ASSERT_EQ(link->exitCode(), 0u);
    }
};

TEST_F(FullCdTest, InstallsCompanionsAndEveryManual) {
    ASSERT_EQ(start(), setup::StartOutcome::ShowMenu) << ctx.ErrorLine1.toStdString();
    setup::RunFirstActivation(ctx, view);
    ASSERT_TRUE(ctx.InstallSucceeded)
        << ctx.ErrorLine1.toStdString() << " / " << ctx.ErrorLine2.toStdString();
    EXPECT_TRUE(ui().asked().empty()) << "no companion failed";
    const platform::Files& files = ctx.os().files();
    EXPECT_TRUE(files.fileExists(ctx.shared.ManualLinkDir + q("\\Mandex.exe")));
    EXPECT_TRUE(files.fileExists(ctx.shared.ManualLinkDir + q("\\SysDir\\SysParameter.ini")));
    EXPECT_TRUE(files.fileExists(ctx.shared.ManualLinkDir + q("\\mandex.fdf")));
    EXPECT_TRUE(files.fileExists(ctx.ViewerExePath));
    EXPECT_TRUE(files.fileExists(ctx.ViewerDir + q("\\PagoraEngine.exe")));
    for (const char* pubNo : {"BRM00EN", "EWD00EN", "NCF00EN", "RM011EN", "RMJ00JA"})
        EXPECT_EQ(ctx.db.FindInstalledManual(QLatin1String(pubNo)), 0) << pubNo;
}

// Timer1 moves an enabled extraction bar on by 1 up to ZIP_ExtractTime, Timer2 the PDF bar by 5; neither
// goes past the bar's maximum, a disabled bar stays.
TEST(BarTimers, TicksUpToTheExtractTimeNeverPastTheMaximum) {
    const struct {
        bool pdf;
        qint32 zipExtractTime;
        setup::ProgressBarState start;
        int ticks;
        qint32 expected;
    } cases[] = {
        {false, 60, {0, 60, 0, true, true}, 75, 60}, // full after ZIP_ExtractTime ticks, no further
        {false, 60, {0, 30, 0, true, true}, 60, 30}, // never past the maximum
        {false, 60, {0, 60, 0, true, false}, 10, 0}, // disabled: no move
        {true, 60, {0, 60, 0, true, true}, 12, 60},  // 5 a tick
        {true, 60, {0, 60, 0, true, true}, 20, 60},
        {true, 62, {0, 62, 0, true, true}, 20, 62}, // the last step cut at the maximum
    };
    for (const auto& c : cases) {
        setup::ProgressBarState bar = c.start;
        for (int tick = 0; tick < c.ticks; ++tick)
            (c.pdf ? setup::Timer2Tick : setup::Timer1Tick)(bar, c.zipExtractTime);
        EXPECT_EQ(bar.Value, c.expected) << c.pdf << " " << c.ticks;
    }
}

// Versions that read as decimal numbers compare by value (an older or equal number changes nothing, only
// a whole number one ahead is a differential update); anything else compares as text.
TEST(SurveyVersions, DecimalNumbersCompareByValueOtherTextsAsText) {
    using setup::VersionStep;
    const struct {
        const char* cd;
        const char* installed;
        VersionStep expected;
    } cases[] = {
        {"10", "9", VersionStep::OneAhead},
        {"7", "5", VersionStep::FarAhead},
        {"9", "10", VersionStep::NotNewer},
        {"2.0", "2.1", VersionStep::NotNewer}, // an older CD
        {"2.1", "2.0", VersionStep::FarAhead},
        {"3.0", "2", VersionStep::FarAhead},    // one ahead, but only whole numbers update differentially
        {"2.10", "2.9", VersionStep::NotNewer}, // 2.10 is the number 2.1
        {"2.9", "2.10", VersionStep::FarAhead},
        {"2.10", "2.1", VersionStep::NotNewer},
        {"02.50", "2.5", VersionStep::NotNewer},
        {"-1.5", "-1.25", VersionStep::NotNewer},
        {"39999", "40000", VersionStep::NotNewer}, // beyond 16 bits
        {"40000", "39999", VersionStep::FarAhead},
        {"123456789012345678901", "123456789012345678900", VersionStep::FarAhead},
        {"B", "B", VersionStep::NotNewer}, // not numbers: the same text, or the CD's copy in full
        {"B", "2", VersionStep::FarAhead},
        {"2.1.3", "2.1.4", VersionStep::FarAhead},
        {".5", "0.4", VersionStep::FarAhead},
    };
    for (const auto& c : cases)
        EXPECT_EQ(setup::CompareVersions(q(c.cd), q(c.installed)), c.expected)
            << c.cd << " / " << c.installed;
}

// Blanks around a whole number are ignored; empty, not whole, out of range, a sign alone or an embedded
// NUL is no number.
TEST(SurveyNumbers, VersionsAndRevisions) {
    std::vector<std::optional<qint16>> parsed;
    for (const QString& text :
         {q(" 7 "), q("-3"), q(""), q("1a"), q("40000"), q("-"), q("9") + QChar(0) + q("9")})
        parsed.push_back(setup::SurveyNumber(text));
    EXPECT_EQ(parsed, (std::vector<std::optional<qint16>>{7, -3, {}, {}, {}, {}, {}}));
}

} // namespace
