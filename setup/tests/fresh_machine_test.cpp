// The installer on a PC that holds only the diagnostic software: the machine sets itself up, the
// manual-link component and then the whole sample CD (companions and every manual) install without a box, and
// the shortcuts it makes reach the desktop as entries that start their targets through the machine tool and
// go when the shortcut goes.
#include "platform/Machine.h"
#include "platform/Processes.h"
#include "platform/Registry.h"
#include "platform/testing/BuildPath.h"
#include "platform/testing/DesktopEntryFiles.h"
#include "platform/testing/ScopedEnvironment.h"
#include "platform/testing/ShortPauses.h"
#include "platform/testing/TempMachine.h"
#include "shared/database/clsMDB.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

using marvek::testing::BuildPath;

using namespace marvek;
using namespace marvek::testing;

namespace {

QStringList fileLines(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts)
                                          : QStringList();
}

QString writeText(const QString& path, const QByteArray& text) {
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly) && file.write(text) == text.size());
    return path;
}

QStringList entriesIn(const QString& folder) {
    QStringList paths;
    for (const QString& name : QDir(folder).entryList({"marvek-*.desktop"}, QDir::Files))
        paths << folder + u'/' + name;
    return paths;
}

} // namespace

TEST(FreshMachine, TheWholeCdInstallsWithoutABoxAndItsShortcutsReachTheDesktop) {
    TempMachine temp;
    const ShortPauses pauses;
    const ScopedEnvironment locale("LC_ALL", "en_US.UTF-8");
    const ScopedEnvironment tool("MARVEK_MACHINE_TOOL", BuildPath("MARVEK_MACHINE_TOOL_PROGRAM"));
    const platform::Machine& machine = temp.machine();
    const QString cdRoot = temp.addDrive(u'D');
    ASSERT_EQ(
        QProcess::execute("cp", {"-a", BuildPath("MARVEK_SAMPLE_CD_DIR") + QStringLiteral("/."), cdRoot}), 0);
    // All the PC has: the diagnostic software and its key.
    ASSERT_TRUE(temp.writeFile("C:\\Program Files\\Marvek\\Scanlux\\Scanlux.exe", "diagnostic software"));
    ASSERT_TRUE(QFile(machine.registryFile()).open(QIODevice::WriteOnly));
    const platform::Registry registry(machine);
    ASSERT_TRUE(registry.writeString(platform::HKEY_LOCAL_MACHINE, "SOFTWARE\\MARVEK\\Scanlux", "ProgramPath",
                                     "C:\\Program Files\\Marvek\\Scanlux"));

    const QString files = temp.root() + "/run";
    ASSERT_TRUE(QDir().mkpath(files));
    // The technician first installs the manual-link component from the CD, as its start page says.
    {
        const std::unique_ptr<platform::ChildProcess> link = platform::Processes(machine).start(
            "D:\\programs\\manual_link\\setup.exe 1", platform::WindowMode::Normal);
        ASSERT_TRUE(link);
        ASSERT_TRUE(QTest::qWaitFor([&] { return link->exitCode() != platform::STILL_ACTIVE; }, 60000));
        ASSERT_EQ(link->exitCode(), 0u);
    }
    {
        const ScopedEnvironment script(
            "MARVEK_SCREEN_SCRIPT",
            writeText(files + "/setup.txt",
                      "frmMenu cmdStartInstall\nfrmStartUp O_Value(1)\nfrmStartUp B_OK\n"
                      "frmDirectorySelect B_OK *\nfrmResult B_END\nfrmTarm B_END\n"));
        const ScopedEnvironment screens("MARVEK_SCREEN_LOG", files + "/screens.log");
        const ScopedEnvironment boxes("MARVEK_UI_LOG", files + "/boxes.log");
        const std::unique_ptr<platform::ChildProcess> setup = platform::Processes(machine).start(
            "D:\\programs\\setup\\setup.exe", platform::WindowMode::Normal);
        ASSERT_TRUE(setup);
        ASSERT_TRUE(QTest::qWaitFor([&] { return setup->exitCode() != platform::STILL_ACTIVE; }, 300000));
        EXPECT_EQ(setup->exitCode(), 0u);
    }
    EXPECT_EQ(fileLines(files + "/boxes.log"), QStringList());
    EXPECT_TRUE(fileLines(files + "/screens.log").contains("shown\tfrmTarm"));

    // The companions went where ProgramFilesDir, now on the machine, leads, and every manual is registered.
    EXPECT_EQ(registry.readString(platform::HKEY_LOCAL_MACHINE,
                                  "SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir"),
              "C:\\Program Files");
    const QString linkDir = "C:\\Program Files\\Marvek\\Scanlux\\ManualLink";
    EXPECT_EQ(registry.readString(platform::HKEY_LOCAL_MACHINE, "SOFTWARE\\Marvek\\Scanlux\\ManualLink",
                                  "InstallDir"),
              linkDir);
    EXPECT_EQ(registry.readString(platform::HKEY_LOCAL_MACHINE, "SOFTWARE\\Marvek\\Scanlux\\MarvekView",
                                  "InstallDir"),
              "C:\\Program Files\\Marvek\\Scanlux\\View");
    EXPECT_TRUE(QFileInfo(temp.host(linkDir + "\\Mandex.exe")).isExecutable());
    EXPECT_TRUE(QFileInfo(temp.host("C:\\Program Files\\Marvek\\Scanlux\\View\\Pagora.exe")).isExecutable());
    QStringList manuals;
    {
        shared::clsMDB db(machine);
        ASSERT_TRUE(db.Pcls_MdbOpenReadOnly(linkDir + "\\ManualLink.mdb"));
        ASSERT_TRUE(db.ReadRows("SELECT Pub_No FROM M_manage ORDER BY Pub_No",
                                [&](const shared::QueryRow& row) { manuals << row.text(0); }));
    }
    EXPECT_EQ(manuals, QStringList({"BRM00EN", "EWD00EN", "NCF00EN", "RM011EN", "RMJ00JA"}));

    // The manager's start-menu shortcut is in the user's applications menu, the guide's on the desktop.
    const QStringList menu = entriesIn(temp.dataHome() + "/applications");
    const QStringList desktop = entriesIn(temp.desktopFolder());
    ASSERT_EQ(menu.size(), 1);
    ASSERT_EQ(desktop.size(), 1);
    EXPECT_EQ(readDesktopEntryKeys(menu[0]).value("Name"), "Service Manual Management");
    EXPECT_EQ(readDesktopEntryKeys(desktop[0]).value("Name"), "Service Manual Management Guide");
    for (const QString& entry : menu + desktop) {
        if (const auto failure = desktopFileValidation(entry)) {
            EXPECT_EQ(*failure, "") << entry.toStdString();
        }
    }

    // The menu entry starts the manager.
    const QStringList exec = desktopEntryExecArguments(readDesktopEntryKeys(menu[0]).value("Exec"));
    ASSERT_GE(exec.size(), 2);
    EXPECT_EQ(exec.last(), '"' + linkDir + "\\Mandex.exe\"");
    {
        const ScopedEnvironment script("MARVEK_SCREEN_SCRIPT",
                                       writeText(files + "/manager.txt", "frmMmpMain B_End\n"));
        const ScopedEnvironment screens("MARVEK_SCREEN_LOG", files + "/manager.log");
        QProcess manager;
        manager.start(exec[0], exec.mid(1));
        ASSERT_TRUE(manager.waitForFinished(120000));
        EXPECT_EQ(manager.exitCode(), 0) << manager.readAllStandardError().toStdString();
    }
    EXPECT_TRUE(fileLines(files + "/manager.log").contains("shown\tfrmMmpMain"));

    // The shortcut removed, the next program of the suite withdraws its entry; the guide's stays.
    const QString link = readDesktopEntryKeys(menu[0]).value("X-Marvek-Link");
    EXPECT_TRUE(link.endsWith("/Start Menu/Programs/Service Manual Management.lnk")) << link.toStdString();
    ASSERT_TRUE(QFile::remove(link));
    EXPECT_EQ(QProcess::execute(BuildPath("MARVEK_MACHINE_TOOL_PROGRAM"), {"--root", temp.root(), "show"}),
              0);
    EXPECT_EQ(entriesIn(temp.dataHome() + "/applications"), QStringList());
    EXPECT_EQ(entriesIn(temp.desktopFolder()), desktop);
}
