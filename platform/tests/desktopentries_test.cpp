#include "TestSupport.h"
#include "platform/DesktopEntries.h"
#include "platform/Files.h"
#include "platform/Shortcut.h"
#include "platform/testing/DesktopEntryFiles.h"

#include <QMap>
#include <QProcess>
#include <QStandardPaths>
#include <optional>

using namespace marvek::testing;

namespace {

class DesktopEntriesTest : public ::testing::Test {
protected:
    DesktopEntriesTest()
        : tool("MARVEK_MACHINE_TOOL", "/opt/marvek/bin/marvek-machine"), files(temp.machine()) {}
    void SetUp() override {
        ASSERT_TRUE(temp.writeFile("C:\\Program Files\\Marvek 100%\\$HOME's `x`\\Mandex.exe", "p"));
    }

    QString link(int csidl, const QString& name) const {
        return temp.host(files.specialFolder(csidl) + "\\" + name + ".lnk");
    }

    TempMachine temp;
    ScopedEnvironment tool;
    Files files;
};

ShortcutProperties managerShortcut() {
    ShortcutProperties props;
    props.targetPath = "C:\\Program Files\\Marvek 100%\\$HOME's `x`\\Mandex.exe";
    props.workingDirectory = "C:\\";
    props.windowStyle = 1;
    return props;
}

} // namespace

// Start-menu links (subfolders too) go to the applications menu in the "Service manuals" category, desktop
// links to the XDG desktop folder as launchers; other links are not published. Exec gives the machine
// tool the prefix, the working folder and the Windows command line exactly; every file validates.
TEST_F(DesktopEntriesTest, PublishedWhereTheDesktopLooks) {
    struct Case {
        int csidl;
        const char* name;
        bool menu;
    };
    const Case cases[] = {{CSIDL_PROGRAMS, "Manual Manager", true},
                          {CSIDL_COMMON_PROGRAMS, "Marvek\\Guide", true},
                          {CSIDL_COMMON_DESKTOP, "User guide", false},
                          {CSIDL_DESKTOPDIRECTORY, "マニュアル", false}};
    for (const Case& c : cases) {
        const QString path = link(c.csidl, c.name);
        ASSERT_TRUE(QDir().mkpath(QFileInfo(path).absolutePath()));
        ASSERT_TRUE(writeShortcut(temp.machine(), path, managerShortcut()));
        const QString entry = DesktopEntries(temp.machine()).entryPath(path);
        const QString folder = c.menu ? temp.dataHome() + "/applications" : temp.desktopFolder();
        EXPECT_EQ(QFileInfo(entry).absolutePath(), folder) << c.name;
        ASSERT_TRUE(QFileInfo::exists(entry)) << c.name;
        EXPECT_EQ(QFileInfo(entry).isExecutable(), !c.menu) << c.name;
        const auto keys = readDesktopEntryKeys(entry);
        EXPECT_EQ(keys.value("Name"), QString(c.name).section('\\', -1));
        EXPECT_EQ(keys.value("Categories"), c.menu ? "X-Marvek-ServiceManuals;" : "");
        EXPECT_EQ(keys.value("Icon"), "marvek-service-manuals");
        EXPECT_EQ(desktopEntryExecArguments(keys.value("Exec")),
                  QStringList({"/opt/marvek/bin/marvek-machine", "--root", temp.root(), "run", "--folder",
                               "C:\\", "\"C:\\Program Files\\Marvek 100%\\$HOME's `x`\\Mandex.exe\""}));
        if (const auto failure = desktopFileValidation(entry)) {
            EXPECT_EQ(*failure, "") << c.name;
        }
    }
    EXPECT_TRUE(
        QFileInfo::exists(temp.dataHome() + "/icons/hicolor/scalable/apps/marvek-service-manuals.svg"));
    EXPECT_TRUE(
        QFileInfo::exists(temp.configHome() + "/menus/applications-merged/marvek-service-manuals.menu"));
    const QString directory = temp.dataHome() + "/desktop-directories/marvek-service-manuals.directory";
    EXPECT_EQ(readDesktopEntryKeys(directory).value("Name"), "Service manuals");
    if (const auto failure = desktopFileValidation(directory)) {
        EXPECT_EQ(*failure, "");
    }

    // A link outside the Start menus and desktops stays where it is.
    ASSERT_TRUE(QDir().mkpath(temp.host("C:\\Temp")));
    ASSERT_TRUE(writeShortcut(temp.machine(), temp.host("C:\\Temp\\x.lnk"), managerShortcut()));
    EXPECT_EQ(DesktopEntries(temp.machine()).entryPath(temp.host("C:\\Temp\\x.lnk")), "");
    EXPECT_EQ(QDir(temp.dataHome() + "/applications").entryList(QDir::Files).size(), 2);
    EXPECT_EQ(QDir(temp.desktopFolder()).entryList(QDir::Files).size(), 2);
}

// Writing a link again replaces its entry; removing it removes the entry and, with the last menu entry,
// the menu folder; a link removed behind the suite's back loses its entry at the next sweep, others stay.
TEST_F(DesktopEntriesTest, ReplacedAndRemovedWithTheShortcut) {
    const QString manager = link(CSIDL_PROGRAMS, "Manual Manager");
    const QString guide = link(CSIDL_COMMON_DESKTOP, "User guide");
    ASSERT_TRUE(writeShortcut(temp.machine(), manager, managerShortcut()));
    ASSERT_TRUE(writeShortcut(temp.machine(), guide, managerShortcut()));
    const QString managerEntry = DesktopEntries(temp.machine()).entryPath(manager);
    const QString guideEntry = DesktopEntries(temp.machine()).entryPath(guide);

    ShortcutProperties document;
    document.targetPath = "C:\\Link\\Guide.pdf";
    document.description = "The guide";
    ASSERT_TRUE(writeShortcut(temp.machine(), manager, document));
    const auto keys = readDesktopEntryKeys(managerEntry);
    EXPECT_EQ(keys.value("Comment"), "The guide");
    EXPECT_EQ(desktopEntryExecArguments(keys.value("Exec")).mid(3),
              QStringList({"run", "\"C:\\Link\\Guide.pdf\""}));
    EXPECT_EQ(QDir(temp.dataHome() + "/applications").entryList(QDir::Files).size(), 1);

    ASSERT_TRUE(removeShortcut(temp.machine(), manager));
    EXPECT_FALSE(QFileInfo::exists(manager));
    EXPECT_FALSE(QFileInfo::exists(managerEntry));
    EXPECT_FALSE(QFileInfo::exists(DesktopEntries::menuFile()));
    EXPECT_FALSE(QFileInfo::exists(DesktopEntries::directoryFile()));

    const QString other = link(CSIDL_DESKTOPDIRECTORY, "Other");
    ASSERT_TRUE(writeShortcut(temp.machine(), other, managerShortcut()));
    ASSERT_TRUE(QFile::remove(guide));
    DesktopEntries::sweep();
    EXPECT_FALSE(QFileInfo::exists(guideEntry));
    EXPECT_TRUE(QFileInfo::exists(DesktopEntries(temp.machine()).entryPath(other)));
}
