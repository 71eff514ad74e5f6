#include "TestSupport.h"
#include "platform/DesktopEntries.h"
#include "platform/Files.h"
#include "platform/Shortcut.h"

#include <QMap>
#include <QProcess>
#include <QStandardPaths>
#include <optional>

namespace {

// The keys of a desktop entry, with the string escapes undone.
QMap<QString, QString> readEntry(const QString& path) {
    QFile file(path);
    const QStringList lines =
        file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts) : QStringList();
    QMap<QString, QString> result;
    for (const QString& line : lines) {
        const qsizetype equals = line.indexOf('=');
        QString value;
        for (qsizetype i = equals + 1; equals > 0 && i < line.size(); ++i) {
            const QChar c = line[i] == '\\' && i + 1 < line.size() ? line[++i] : QChar();
            value += c.isNull() ? line[i] : c == 's' ? QChar(' ') : c;
        }
        if (equals > 0)
            result.insert(line.left(equals), value);
    }
    return result;
}

// Exec's arguments by the desktop-entry rules: blanks separate, double quotes group, and inside them a
// backslash takes the next character literally; "%%" is "%".
QStringList execArguments(const QString& exec) {
    QStringList arguments;
    QString current;
    bool inQuotes = false;
    bool any = false;
    for (qsizetype i = 0; i < exec.size(); ++i) {
        const QChar c = exec[i];
        if (inQuotes) {
            if (c == '\\' && i + 1 < exec.size())
                current += exec[++i];
            else if (c == '"')
                inQuotes = false;
            else
                current += c;
        } else if (c == ' ') {
            if (any)
                arguments << current;
            current.clear();
            any = false;
        } else if (c == '"') {
            inQuotes = any = true;
        } else {
            current += c;
            any = true;
            if (c == '%' && i + 1 < exec.size() && exec[i + 1] == '%')
                ++i;
        }
    }
    if (any)
        arguments << current;
    return arguments;
}

// desktop-file-validate's verdict on a file (its output on failure); empty when it is not installed.
std::optional<QString> validationFailure(const QString& path) {
    const QString validator = QStandardPaths::findExecutable("desktop-file-validate");
    if (validator.isEmpty())
        return std::nullopt;
    QProcess process;
    process.start(validator, {path});
    process.waitForFinished(30000);
    if (process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0)
        return QString();
    return QString::fromUtf8(process.readAllStandardOutput() + process.readAllStandardError());
}

class DesktopEntriesTest : public ::testing::Test {
protected:
    DesktopEntriesTest() : tool("MARVEK_MACHINE_TOOL", "/opt/marvek/bin/marvek-machine"), files(temp.machine()) {}
    void SetUp() override { ASSERT_TRUE(temp.writeFile("C:\\Program Files\\Marvek 100%\\$HOME's `x`\\Mandex.exe", "p")); }

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
        const auto keys = readEntry(entry);
        EXPECT_EQ(keys.value("Name"), QString(c.name).section('\\', -1));
        EXPECT_EQ(keys.value("Categories"), c.menu ? "X-Marvek-ServiceManuals;" : "");
        EXPECT_EQ(keys.value("Icon"), "marvek-service-manuals");
        EXPECT_EQ(execArguments(keys.value("Exec")),
                  QStringList({"/opt/marvek/bin/marvek-machine", "--root", temp.root(), "run", "--folder", "C:\\",
                               "\"C:\\Program Files\\Marvek 100%\\$HOME's `x`\\Mandex.exe\""}));
        if (const auto failure = validationFailure(entry))
            EXPECT_EQ(*failure, "") << c.name;
    }
    EXPECT_TRUE(QFileInfo::exists(temp.dataHome() + "/icons/hicolor/scalable/apps/marvek-service-manuals.svg"));
    EXPECT_TRUE(QFileInfo::exists(temp.configHome() + "/menus/applications-merged/marvek-service-manuals.menu"));
    const QString directory = temp.dataHome() + "/desktop-directories/marvek-service-manuals.directory";
    EXPECT_EQ(readEntry(directory).value("Name"), "Service manuals");
    if (const auto failure = validationFailure(directory))
        EXPECT_EQ(*failure, "");

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
    const auto keys = readEntry(managerEntry);
    EXPECT_EQ(keys.value("Comment"), "The guide");
    EXPECT_EQ(execArguments(keys.value("Exec")).mid(3), QStringList({"run", "\"C:\\Link\\Guide.pdf\""}));
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
