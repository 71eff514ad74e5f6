// The installation run end to end on a copy of the sample CD: survey, folder screen, extraction, copy,
// registration, and the decisions of a second run after the CD or the PC changed.
#include "SetupTestFixture.h"
#include "platform/Processes.h"
#include "platform/testing/TestArchive.h"
#include "setup/engine/InstallRun.h"
#include "setup/engine/Pipeline.h"
#include "setup/engine/Survey.h"
#include "shared/catalogue/CarInfo.h"
#include "shared/config/Messages.h"

#include <QFileInfo>
#include <QThread>

using namespace marvek;
using namespace marvek::testing;

namespace {

struct Outcome {
    const char* selected;
    const char* status;
    const char* kind;
};

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

    void expectOutcome(const char* pubNo, Outcome expected) {
        const shared::ManualEntry& e = entry(pubNo);
        EXPECT_EQ(e.Selected, QLatin1String(expected.selected)) << pubNo;
        EXPECT_EQ(e.Status, QLatin1String(expected.status)) << pubNo;
        EXPECT_EQ(e.InstallKind, QLatin1String(expected.kind)) << pubNo;
    }

    // The registered row of a publication (CurrentManual), or false.
    bool registered(const char* pubNo) { return ctx.db.FindInstalledManual(QLatin1String(pubNo)) == 0; }

    bool installedFile(const QString& windowsPath) { return QFileInfo::exists(host(windowsPath)); }

    const QString base = QStringLiteral("C:\\Marvek\\Scanlux\\Link\\Manual");
};

TEST_F(InstallRunTest, NewInstallationPlacesAndRegistersEveryManual) {
    ASSERT_TRUE(run()) << ctx.ErrorLine1.toStdString() << " / " << ctx.ErrorLine2.toStdString();

    // Steps 2, 3 and 4 ran and finished one after the other (their texts, the pointer and the bars are
    // checked on the installation window).
    EXPECT_EQ(view.stepLog, (std::vector<int>{21, 22, 31, 32, 41, 42}));

    // Six new manuals asked for a folder (RM010EN and RM011EN both, the later revision removing the
    // earlier); the counter went up each time and the default was the link folder.
    ASSERT_EQ(view.folderScreens.size(), 6u);
    EXPECT_TRUE(view.folderScreens[1].L_Msg[0].endsWith(QLatin1String("2")));
    for (const char* pubNo : {"BRM00EN", "NCF00EN", "RM011EN", "RMJ00JA"}) {
        expectOutcome(pubNo, {"1", "1", "1"});
        EXPECT_EQ(entry(pubNo).Done, QLatin1String("1"));
        ASSERT_TRUE(registered(pubNo)) << pubNo;
        EXPECT_EQ(ctx.db.CurrentManual.InsDate, ctx.NewInstallDate) << pubNo;
        EXPECT_EQ(ctx.db.CurrentManual.InsUser, ctx.shared.UserName);
        EXPECT_EQ(ctx.db.CurrentManual.Adjust_flg, QLatin1String("0"));
    }
    EXPECT_EQ(ctx.NewInstallDate, ctx.RunStart.addSecs(1));
    EXPECT_EQ(ctx.UpdateInstallDate, ctx.RunStart.addSecs(2));

    // HTML manuals land in the archive's top folder, PDF manuals in their CD folder's name.
    ASSERT_TRUE(registered("EWD00EN"));
    EXPECT_EQ(ctx.db.CurrentManual.InsPath, base + QStringLiteral("\\AureaEWD"));
    EXPECT_TRUE(installedFile(base + QStringLiteral("\\AureaEWD\\index.html")));
    ASSERT_TRUE(registered("BRM00EN"));
    EXPECT_EQ(ctx.db.CurrentManual.InsPath, base + QStringLiteral("\\BRM00EN"));
    EXPECT_EQ(ctx.db.CurrentManual.Pdf_flg, QLatin1String("1"));
    EXPECT_TRUE(installedFile(base + QStringLiteral("\\BRM00EN\\contents\\BRM00EN.pdf")));
    EXPECT_TRUE(installedFile(base + QStringLiteral("\\RM011EN\\contents")));

    // The later revision took the place of revision 0: its folder and rows are gone.
    EXPECT_FALSE(registered("RM010EN"));
    EXPECT_FALSE(installedFile(base + QStringLiteral("\\RM010EN")));

    // The user guide with its shortcut on the all-users desktop, the information files beside the database.
    EXPECT_TRUE(installedFile(QStringLiteral("C:\\ManualLink\\MandexGuide_E.pdf")));
    const QString desktop = ctx.os().files().specialFolder(platform::CSIDL_COMMON_DESKTOP);
    EXPECT_TRUE(
        installedFile(desktop + QLatin1Char('\\') + setup::Message(ctx, 66) + QStringLiteral(".lnk")));
    EXPECT_TRUE(installedFile(QStringLiteral("C:\\ManualLink\\man_info_do.ci")));
    EXPECT_TRUE(installedFile(QStringLiteral("C:\\ManualLink\\man_info_us.ci")));
}

TEST_F(InstallRunTest, SecondRunChangesNothingAndOlderOrUnreadableVersionsOnTheCd) {
    ASSERT_TRUE(run());
    const QFileInfo database(host(QStringLiteral("C:\\ManualLink\\ManualLink.mdb")));
    const QDateTime before = database.lastModified();
    view.folderScreens.clear();

    ASSERT_TRUE(run());
    EXPECT_TRUE(view.folderScreens.empty());
    for (const char* pubNo : {"BRM00EN", "EWD00EN", "NCF00EN", "RM011EN", "RMJ00JA"}) {
        expectOutcome(pubNo, {"0", "3", ""});
        EXPECT_TRUE(entry(pubNo).Folder.isEmpty());
        EXPECT_TRUE(entry(pubNo).InstallPath.isEmpty());
    }
    // Revision 0 stands beside the installed revision 1.
    EXPECT_EQ(entry("RM010EN").Selected, QLatin1String("9"));
    EXPECT_EQ(entry("RM010EN").Status, QLatin1String("3"));
    EXPECT_FALSE(registered("RM010EN"));
    EXPECT_EQ(QFileInfo(database.filePath()).lastModified(), before);

    // An older version is left alone; one that is no number compares as text, and a different text
    // brings the CD's copy in full, once.
    setCdValue(QStringLiteral("NCF00EN"), QStringLiteral("Version"), QStringLiteral("0"));
    setCdValue(QStringLiteral("EWD00EN"), QStringLiteral("Version"), QStringLiteral("B"));
    ASSERT_TRUE(run());
    expectOutcome("NCF00EN", {"0", "3", ""});
    expectOutcome("EWD00EN", {"1", "2", "1"});
    ASSERT_TRUE(run());
    expectOutcome("EWD00EN", {"0", "3", ""});
}

TEST_F(InstallRunTest, NewerCdVersionsUpdateDifferentiallyOrInFullUnlessALaterRevisionIsInstalled) {
    ASSERT_TRUE(run());
    // RM011EN: version + 1 with compare files (differential); EWD00EN: + 1 with an empty compare folder
    // (full); NCF00EN: + 2 (full); RMJ00JA: same version but its folder deleted by hand (full);
    // BRM00EN: same version, marked for adjustment (full).
    setCdValue(QStringLiteral("RM011EN"), QStringLiteral("Version"), QStringLiteral("3"));
    setCdValue(QStringLiteral("EWD00EN"), QStringLiteral("Version"), QStringLiteral("2"));
    QDir(cdRoot + QStringLiteral("/EWD00EN/install/compare")).removeRecursively();
    QDir().mkpath(cdRoot + QStringLiteral("/EWD00EN/install/compare/empty"));
    setCdValue(QStringLiteral("NCF00EN"), QStringLiteral("Version"), QStringLiteral("3"));
    ASSERT_TRUE(registered("RMJ00JA"));
    ASSERT_TRUE(QDir(host(ctx.db.CurrentManual.InsPath)).removeRecursively());
    ASSERT_TRUE(ctx.db.MarkManualForAdjust(QStringLiteral("BRM00EN")));
    // A page only the compare tree carries shows the differential copy went into "contents".
    ASSERT_TRUE(temp().writeFile(QStringLiteral("D:\\RM011EN\\install\\compare\\sec99\\new.html"), "<html>"));

    view.folderScreens.clear();
    ASSERT_TRUE(run()) << ctx.ErrorLine1.toStdString();
    EXPECT_TRUE(view.folderScreens.empty()) << "updates never ask for a folder";
    expectOutcome("RM011EN", {"1", "2", "2"});
    expectOutcome("EWD00EN", {"1", "2", "1"});
    expectOutcome("NCF00EN", {"1", "2", "1"});
    expectOutcome("RMJ00JA", {"1", "2", "1"});
    expectOutcome("BRM00EN", {"1", "2", "1"});
    EXPECT_TRUE(installedFile(base + QStringLiteral("\\RM011EN\\contents\\sec99\\new.html")));
    EXPECT_TRUE(installedFile(base + QStringLiteral("\\RMJ00JA\\index.html")));
    for (const char* pubNo : {"RM011EN", "EWD00EN", "NCF00EN", "RMJ00JA", "BRM00EN"}) {
        ASSERT_TRUE(registered(pubNo));
        EXPECT_EQ(ctx.db.CurrentManual.InsDate, ctx.UpdateInstallDate) << pubNo;
        EXPECT_EQ(ctx.db.CurrentManual.Adjust_flg, QLatin1String("0")) << pubNo;
    }

    // Revision 2 of RM01xEN installed: the CD's revision 1 is excluded, whatever its version.
    ASSERT_TRUE(registered("RM011EN"));
    shared::ManualEntry later = entry("RM011EN");
    later.Pub_No = QStringLiteral("RM012EN");
    later.InstallPath = ctx.db.CurrentManual.InsPath;
    later.Status = QStringLiteral("1");
    ASSERT_TRUE(ctx.db.RegisterInstalledManual(later, ctx.NewInstallDate, ctx.UpdateInstallDate));
    setCdValue(QStringLiteral("RM011EN"), QStringLiteral("Version"), QStringLiteral("9"));
    ASSERT_TRUE(run());
    EXPECT_EQ(entry("RM011EN").Selected, QLatin1String("9"));
    EXPECT_EQ(entry("RM011EN").Status, QLatin1String("3"));
    ASSERT_TRUE(registered("RM011EN"));
    EXPECT_EQ(ctx.db.CurrentManual.Version, QLatin1String("3"));
}

TEST_F(InstallRunTest, TwoNewManualsShareTheChosenFolder) {
    // Only two manuals on the CD; the second folder screen starts at the folder chosen the first time.
    for (const char* folder : {"BRM00EN", "EWD00EN", "RM010EN", "RM011EN"})
        QDir(cdRoot + QLatin1Char('/') + QLatin1String(folder)).removeRecursively();
    temp().addDrive(QLatin1Char('E'));
    ui().addAnswer(QStringLiteral("folder:E:\\"));
    view.folderClicks = {"change", "ok"};
    ASSERT_TRUE(run()) << ctx.ErrorLine1.toStdString();
    ASSERT_EQ(view.folderScreens.size(), 2u);
    EXPECT_EQ(view.folderScreens[1].L_Msg[0],
              setup::Message(ctx, 59).replace(QLatin1Char('@'), QStringLiteral("2")));
    EXPECT_EQ(ctx.InstallBase, QStringLiteral("E:"));
    ASSERT_TRUE(registered("RMJ00JA"));
    EXPECT_TRUE(ctx.db.CurrentManual.InsPath.startsWith(QLatin1String("E:\\")));
    EXPECT_TRUE(installedFile(ctx.db.CurrentManual.InsPath + QStringLiteral("\\index.html")));
}

TEST_F(InstallRunTest, CancelInTheFolderScreen) {
    view.folderClicks = {"cancel", "cancel"};
    ui().addAnswer(QString::number(platform::mb::IdNo));  // first: not confirmed, the screen stays
    ui().addAnswer(QString::number(platform::mb::IdYes)); // then confirmed
    EXPECT_FALSE(run());
    EXPECT_TRUE(ctx.CancelRequested);
    EXPECT_EQ(ctx.ErrorLine1, setup::Message(ctx, 25));
    EXPECT_EQ(ctx.ErrorLine2, setup::Message(ctx, 24));
    EXPECT_EQ(view.folderScreens.size(), 1u);
    ASSERT_EQ(ui().asked().size(), 2u);
    EXPECT_EQ(ui().asked()[0].style, 52);
    EXPECT_FALSE(registered("BRM00EN"));
    EXPECT_EQ(entry("BRM00EN").Done, QLatin1String("0"));
}

TEST_F(InstallRunTest, DatabaseTurnedReadOnlyDuringTheRunStopsBeforeRegistering) {
    view.onFolderScreen = [this] {
        ctx.os().files().setAttributes(ctx.DatabasePath, platform::FILE_ATTRIBUTE_READONLY);
    };
    EXPECT_FALSE(run());
    EXPECT_EQ(ctx.ErrorLine1, setup::Message(ctx, 67));
    EXPECT_EQ(ctx.ErrorLine2, setup::Message(ctx, 24));
    // The first manual's files are in place, but it is not registered; nothing after it was touched.
    EXPECT_TRUE(installedFile(base + QStringLiteral("\\BRM00EN\\contents\\BRM00EN.pdf")));
    EXPECT_FALSE(registered("BRM00EN"));
    EXPECT_EQ(view.folderScreens.size(), 1u);
}

TEST_F(InstallRunTest, CatalogueValueTooLongStopsTheSurvey) {
    setCdValue(QStringLiteral("EWD00EN"), QStringLiteral("Pub_No"), QStringLiteral("EWD00EN-TOO-LONG"));
    EXPECT_FALSE(run());
    EXPECT_EQ(ctx.ErrorLine1, QLatin1String(shared::CatalogueErrorLine1));
    EXPECT_TRUE(view.folderScreens.empty());
    EXPECT_EQ(view.stepLog.back(), 31) << "the survey's label stays running";
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
        archive.file(QStringLiteral("EWD00EN/index.html"), "<html></html>");
        if (c.kind == Kind::File)
            archive.file(QLatin1String(c.entry), "x");
        else if (c.kind == Kind::Link)
            archive.symlink(QLatin1String(c.entry), QStringLiteral("/etc"));
        else
            archive.special(TestArchive::Kind::Fifo, QLatin1String(c.entry));
        QFile::remove(cdRoot + QStringLiteral("/EWD00EN/install/condense/manual.zip"));
        // Zip carries no special files: the device comes in a 7z archive under the same name.
        ASSERT_TRUE(
            archive.write(cdRoot + QStringLiteral("/EWD00EN/install/condense/manual.zip"),
                          c.kind == Kind::Fifo ? TestArchive::Format::SevenZip : TestArchive::Format::Zip));
        view.folderScreens.clear();
        EXPECT_FALSE(run());
        EXPECT_EQ(ctx.ErrorLine1, setup::Message(ctx, 83));
        EXPECT_EQ(ctx.ErrorLine2, setup::Message(ctx, 24));
        EXPECT_FALSE(registered("EWD00EN"));
        EXPECT_FALSE(QFileInfo::exists(host(QStringLiteral("C:\\ManualLink\\escaped.html"))));
        EXPECT_FALSE(QFileInfo::exists(host(QStringLiteral("C:\\escaped.html"))));
        EXPECT_FALSE(QFileInfo::exists(QStringLiteral("/tmp/escaped.html")));
        EXPECT_FALSE(installedFile(base + QStringLiteral("\\EWD00EN")));
    }
}

// The whole CD as it ships, companion installers included, on a PC with only the manual-link component
// (installed by the CD's own installer): the manager and the viewer are installed, then every manual.
class FullCdTest : public SetupFixture {
protected:
    void SetUp() override {
        cdRoot = base.temp().addDrive(QLatin1Char('D'));
        ASSERT_TRUE(copyTree(QStringLiteral(MARVEK_SAMPLE_CD_DIR), cdRoot));
        const platform::Registry& registry = base.os().registry();
        registry.writeString(platform::HKEY_LOCAL_MACHINE, QLatin1String(setup::ScanluxKey),
                             QStringLiteral("ProgramPath"),
                             QStringLiteral("C:\\Program Files\\Marvek\\Scanlux"));
        registry.writeString(platform::HKEY_LOCAL_MACHINE, QLatin1String(setup::WindowsVersionKey),
                             QStringLiteral("ProgramFilesDir"), QStringLiteral("C:\\Program Files"));
        const std::unique_ptr<platform::ChildProcess> link = base.os().processes().start(
            QStringLiteral("D:\\programs\\manual_link\\setup.exe 1"), platform::WindowMode::Hidden);
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
    EXPECT_TRUE(files.fileExists(ctx.shared.ManualLinkDir + QStringLiteral("\\Mandex.exe")));
    EXPECT_TRUE(files.fileExists(ctx.shared.ManualLinkDir + QStringLiteral("\\SysDir\\SysParameter.ini")));
    EXPECT_TRUE(files.fileExists(ctx.shared.ManualLinkDir + QStringLiteral("\\mandex.fdf")));
    EXPECT_TRUE(files.fileExists(ctx.ViewerExePath));
    EXPECT_TRUE(files.fileExists(ctx.ViewerDir + QStringLiteral("\\PagoraEngine.exe")));
    for (const char* pubNo : {"BRM00EN", "EWD00EN", "NCF00EN", "RM011EN", "RMJ00JA"})
        EXPECT_EQ(ctx.db.FindInstalledManual(QLatin1String(pubNo)), 0) << pubNo;
}

TEST(SurveyNumbers, VersionsAndRevisions) {
    EXPECT_EQ(setup::SurveyNumber(q(" 7 ")), 7);
    EXPECT_EQ(setup::SurveyNumber(q("-3")), -3);
    // Empty, not whole, out of range, a sign alone, an embedded NUL.
    for (const QString& text : {q(""), q("1a"), q("40000"), q("-"), q("999") + QChar(0) + QChar(0) + q("99")})
        EXPECT_FALSE(setup::SurveyNumber(text)) << text.toStdString();
}

} // namespace
