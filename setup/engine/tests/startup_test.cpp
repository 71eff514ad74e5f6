// The start routine's outcomes and the paths it settles.
#include "SetupTestFixture.h"
#include "platform/testing/ScopedEnvironment.h"
#include "shared/config/Messages.h"

#include <QFile>
#include <QTemporaryDir>

using namespace marvek;
using namespace marvek::testing;

namespace {

using StartupTest = SetupFixture;

TEST_F(StartupTest, SettlesEveryPathAndOpensTheMenu) {
    // A second copy of the program ends silently.
    setup::SetupContext second(base.os());
    EXPECT_EQ(setup::StartSetup(second, QStringLiteral("D:\\programs\\setup"), true),
              setup::StartOutcome::End);
    EXPECT_FALSE(second.Database().IsOpen());

    ASSERT_EQ(start(), setup::StartOutcome::ShowMenu);
    EXPECT_EQ(ctx.shared.SourceRoot, QStringLiteral("D:\\"));
    EXPECT_EQ(ctx.shared.CleanupBatchPath, QStringLiteral("D:\\programs\\setup\\SysDir\\RmDir.bat"));
    EXPECT_EQ(ctx.ProgramFilesDrive, QStringLiteral("C:"));
    EXPECT_EQ(ctx.LinkManualDir, QStringLiteral("C:\\Marvek\\Scanlux\\Link\\Manual"));
    EXPECT_TRUE(ctx.os().files().folderExists(ctx.LinkDir));
    EXPECT_EQ(ctx.ViewerExePath, QStringLiteral("C:\\Program Files\\Marvek\\Scanlux\\View\\Pagora.exe"));
    EXPECT_EQ(ctx.UnzipTempDir, QStringLiteral("C:\\ManualLink\\UnZipTemp"));
    EXPECT_EQ(ctx.DatabasePath, QStringLiteral("C:\\ManualLink\\ManualLink.mdb"));
    EXPECT_EQ(ctx.LockFilePath, QStringLiteral("C:\\ManualLink\\ManualLink.ldb"));
    EXPECT_TRUE(ctx.Database().IsOpen());
    EXPECT_FALSE(ctx.shared.UsersGroupName.isEmpty());
    EXPECT_TRUE(ui().asked().empty());
}

TEST_F(StartupTest, JapaneseMachineFallsBackToTheFixedViewerFolder) {
    ASSERT_TRUE(base.setLocale("0411"));
    base.os().registry().writeString(platform::HKEY_LOCAL_MACHINE, QLatin1String(setup::WindowsVersionKey),
                                     QStringLiteral("ProgramFilesDir"), QStringLiteral("D:\\Apps"));
    ASSERT_EQ(start(), setup::StartOutcome::ShowMenu);
    EXPECT_EQ(ctx.shared.LanguageCode, QStringLiteral("11"));
    EXPECT_EQ(ctx.ViewerDir, QStringLiteral("C:\\Program Files\\Marvek\\Scanlux\\View"));
    EXPECT_EQ(ctx.ProgramFilesDrive, QStringLiteral("D:"));
}

TEST_F(StartupTest, ConfigurationFailuresEndWithFixedBoxes) {
    struct Case {
        const char* name;
        QByteArray parameters; // empty: the file is removed
        const char* box;
    };
    const QString parameterFile = QStringLiteral("D:\\programs\\setup\\SysDir\\SysParameter.ini");
    QByteArray badNumber = temp().readFile(parameterFile);
    ASSERT_TRUE(badNumber.contains("ZIP_ExtractTime=60"));
    badNumber.replace("ZIP_ExtractTime=60", "ZIP_ExtractTime=sixty");
    for (const Case& c :
         {Case{"missing", {}, setup::NoParameterFile}, Case{"bad number", badNumber, setup::NoSystemData}}) {
        SCOPED_TRACE(c.name);
        QFile::remove(host(parameterFile));
        if (!c.parameters.isEmpty()) {
            ASSERT_TRUE(temp().writeFile(parameterFile, c.parameters));
        }
        setup::SetupContext fresh(base.os());
        const size_t asked = ui().asked().size();
        EXPECT_EQ(setup::StartSetup(fresh, QStringLiteral("D:\\programs\\setup"), false),
                  setup::StartOutcome::End);
        ASSERT_EQ(ui().asked().size(), asked + 1);
        EXPECT_EQ(ui().asked().back().text, QLatin1String(c.box));
        EXPECT_EQ(ui().asked().back().title, QLatin1String(setup::StartupTitle));
        EXPECT_EQ(ui().asked().back().style, platform::mb::Exclamation);
    }
}

TEST_F(StartupTest, ManualLinkMissingOpensTheStartPageAndEnds) {
    ASSERT_TRUE(QFile::remove(host(QStringLiteral("C:\\ManualLink\\ManualLink.exe"))));
    // The system web browser gets the start page.
    const QString opened = temp().root() + QStringLiteral("/opened.txt");
    {
        const ScopedEnvironment browser("BROWSER", recorderCommand(opened));
        EXPECT_EQ(start(), setup::StartOutcome::End);
    }
    // The latest-CD check ran first: the PC now keeps the CD's information file.
    EXPECT_TRUE(ctx.os().files().fileExists(QStringLiteral("C:\\man_info\\man_info_do.ci")));
    const QByteArray page = waitForLine(opened);
    EXPECT_TRUE(page.endsWith("index.html")) << page.toStdString();
}

TEST_F(StartupTest, DatabaseChecksFirstFailureWins) {
    struct Case {
        const char* name;
        std::function<void()> prepare;
        int message;
    };
    const QString databasePath = QStringLiteral("C:\\ManualLink\\ManualLink.mdb");
    const QString database = host(databasePath);
    const platform::Files& files = ctx.os().files();
    const std::vector<Case> cases = {
        {"database missing", [&] { QFile::remove(database); }, 19},
        {"not a database",
         [&] {
             QFile file(database);
             ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
             file.write("this is no database");
         },
         20},
        {"read-only", [&] { files.setAttributes(databasePath, platform::FILE_ATTRIBUTE_READONLY); }, 67},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.prepare();
        setup::SetupContext fresh(base.os());
        EXPECT_EQ(setup::StartSetup(fresh, QStringLiteral("D:\\programs\\setup"), false),
                  setup::StartOutcome::ShowResult);
        EXPECT_EQ(fresh.ErrorLine1, setup::Message(fresh, c.message));
        EXPECT_EQ(fresh.ErrorLine2, setup::Message(fresh, 24));
        EXPECT_FALSE(fresh.InstallSucceeded);
        setup::EndSetup(fresh, true);
        files.setAttributes(databasePath, platform::FILE_ATTRIBUTE_NORMAL);
        QFile::remove(database);
        ASSERT_TRUE(QFile::copy(cdRoot + QStringLiteral("/programs/setup/ManualLink_new.mdb"), database));
        QFile(database).setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    }
}

TEST_F(StartupTest, RunningManagerBlocksOnlyUnderItsExactName) {
    QTemporaryDir bin;
    for (const char* name : {"mandex.exe", "Mandex.exe"}) {
        SCOPED_TRACE(name);
        const QString program = bin.filePath(QLatin1String(name));
        ASSERT_TRUE(QFile::copy(QStringLiteral("/bin/sleep"), program));
        QProcess manager;
        manager.start(program, {QStringLiteral("30")});
        ASSERT_TRUE(manager.waitForStarted());
        setup::SetupContext fresh(base.os());
        const setup::StartOutcome outcome =
            setup::StartSetup(fresh, QStringLiteral("D:\\programs\\setup"), false);
        manager.kill();
        manager.waitForFinished();
        if (QLatin1String(name) == QLatin1String("Mandex.exe")) {
            EXPECT_EQ(outcome, setup::StartOutcome::ShowResult);
            EXPECT_EQ(fresh.ErrorLine1, setup::Message(fresh, 70));
        } else {
            EXPECT_EQ(outcome, setup::StartOutcome::ShowMenu);
        }
    }
}

TEST(StartupPaths, SourceRootAndDriveNames) {
    EXPECT_EQ(setup::SourceRootOf(QStringLiteral("D:\\programs\\setup")), QStringLiteral("D:\\"));
    EXPECT_EQ(setup::SourceRootOf(QStringLiteral("C:\\CD\\programs\\setup")), QStringLiteral("C:\\"));
    EXPECT_EQ(setup::SourceRootOf(QStringLiteral("E:\\Disc\\One\\programs\\setup")),
              QStringLiteral("E:\\Disc\\"));
    EXPECT_EQ(setup::GetDriveName(QStringLiteral("C:\\Program Files")), QStringLiteral("C:"));
    EXPECT_EQ(setup::GetDriveName(QStringLiteral("e:")), QStringLiteral("e:"));
    EXPECT_EQ(setup::GetDriveName(QStringLiteral("\\\\server\\share\\manuals")),
              QStringLiteral("\\\\server\\share"));
    EXPECT_EQ(setup::GetDriveName(QStringLiteral("Manuals")), QString());
    EXPECT_EQ(setup::GetDriveName(QString()), QString());
}

} // namespace
