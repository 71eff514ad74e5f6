#include "ScopedEnvironment.h"
#include "platform/Machine.h"
#include "platform/testing/TempMachine.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using marvek::platform::Machine;
using marvek::testing::TempMachine;

namespace {

// Changes the working folder for the life of the object.
class ScopedWorkingFolder {
public:
    explicit ScopedWorkingFolder(const QString& folder) : m_old(QDir::currentPath()) {
        QDir::setCurrent(folder);
    }
    ~ScopedWorkingFolder() { QDir::setCurrent(m_old); }

private:
    QString m_old;
};

void makeFolder(const QString& path) {
    ASSERT_TRUE(QDir().mkpath(path)) << path.toStdString();
}

} // namespace

TEST(Machine, LayoutAndDefaultRoot) {
    TempMachine temp;
    const Machine& machine = temp.machine();
    EXPECT_EQ(machine.root(), QDir::cleanPath(temp.root()));
    EXPECT_EQ(machine.registryFile(), machine.root() + "/registry.ini");
    EXPECT_EQ(machine.machineIniFile(), machine.root() + "/machine.ini");
    EXPECT_TRUE(QFileInfo(machine.drivesFolder() + "/c").isDir());
    EXPECT_TRUE(machine.driveExists('C'));
    EXPECT_FALSE(machine.driveExists('Q'));
    EXPECT_FALSE(machine.driveExists('1'));
    EXPECT_EQ(machine.driveFolder('Z'), "/");

    EXPECT_EQ(Machine::defaultRoot(), temp.root()); // TempMachine sets MARVEK_ROOT
    {
        ScopedEnvironment root("MARVEK_ROOT", QByteArray());
        ScopedEnvironment data("XDG_DATA_HOME", "/srv/data");
        EXPECT_EQ(Machine::defaultRoot(), "/srv/data/marvek");
        ScopedEnvironment noData("XDG_DATA_HOME", QByteArray());
        EXPECT_EQ(Machine::defaultRoot(), QDir::homePath() + "/.local/share/marvek");
    }
}

TEST(Machine, DrivePathsBecomeHostPaths) {
    TempMachine temp;
    const Machine& machine = temp.machine();
    const QString c = machine.drivesFolder() + "/c";
    EXPECT_EQ(machine.toHost("C:\\Windows\\a.txt"), c + "/Windows/a.txt");
    EXPECT_EQ(machine.toHost("c:/Windows/a.txt"), c + "/Windows/a.txt");
    EXPECT_EQ(machine.toHost("C:\\Temp\\\\x\\"), c + "/Temp/x");
    EXPECT_EQ(machine.toHost("C:\\"), c);
    EXPECT_EQ(machine.toHost("C:"), c);
    EXPECT_EQ(machine.toHost("C:\\a\\.\\b\\..\\c"), c + "/a/c");
    EXPECT_EQ(machine.toHost("C:\\..\\..\\etc\\passwd"), c + "/etc/passwd"); // never above the drive root
    EXPECT_EQ(machine.toHost("Z:\\etc\\hostname"), "/etc/hostname");
    EXPECT_EQ(machine.toHost("Z:\\"), "/");

    EXPECT_EQ(machine.toHost("Q:\\x"), "");                // no such drive
    EXPECT_EQ(machine.toHost("\\\\server\\share\\x"), ""); // UNC
    EXPECT_EQ(machine.toHost(QString("C:\\a") + QChar(0) + "b"), "");
    EXPECT_EQ(machine.toHost(""), "");
}

TEST(Machine, ComponentsAreFoundWithoutRegardToCase) {
    TempMachine temp;
    const Machine& machine = temp.machine();
    const QString c = machine.drivesFolder() + "/c";
    makeFolder(c + "/Program Files/Marvek");
    EXPECT_EQ(machine.toHost("C:\\PROGRAM FILES\\marvek\\Mandex.exe"),
              c + "/Program Files/Marvek/Mandex.exe");
    // Once a component is missing the rest is kept as written.
    EXPECT_EQ(machine.toHost("c:\\program files\\NEW\\Sub"), c + "/Program Files/NEW/Sub");

    // The exact spelling wins when it exists; otherwise the first match in name order.
    makeFolder(c + "/Data");
    makeFolder(c + "/DATA");
    EXPECT_EQ(machine.toHost("C:\\Data"), c + "/Data");
    EXPECT_EQ(machine.toHost("C:\\DATA"), c + "/DATA");
    EXPECT_EQ(machine.toHost("C:\\data"), c + "/DATA");

    // Non-ASCII names fold too.
    makeFolder(c + QString::fromUtf8("/Überblick"));
    EXPECT_EQ(machine.toHost(QString::fromUtf8("C:\\ÜBERBLICK")), c + QString::fromUtf8("/Überblick"));
}

TEST(Machine, HostPathsBecomeWindowsPaths) {
    TempMachine temp;
    const Machine& machine = temp.machine();
    const QString c = machine.drivesFolder() + "/c";
    EXPECT_EQ(machine.toWindows(c), "C:\\");
    EXPECT_EQ(machine.toWindows(c + "/man_info/a.ci"), "C:\\man_info\\a.ci");
    EXPECT_EQ(machine.toWindows("/etc/hostname"), "Z:\\etc\\hostname");
    EXPECT_EQ(machine.toWindows("/"), "Z:\\");
    EXPECT_EQ(machine.toWindows(""), "");

    makeFolder(c + "/Program Files");
    for (const QString path : {"C:\\Program Files", "C:\\Program Files\\x.txt", "Z:\\usr\\lib"})
        EXPECT_EQ(machine.toWindows(machine.toHost(path)), path);
}

TEST(Machine, MappedDrives) {
    TempMachine temp;
    const Machine& machine = temp.machine();
    const QString cd = temp.addDrive('D');
    makeFolder(cd + "/Manuals");
    EXPECT_TRUE(machine.driveExists('d'));
    EXPECT_TRUE(QFileInfo(machine.drivesFolder() + "/d").isSymLink());
    EXPECT_EQ(machine.toHost("D:\\manuals\\index.html"), machine.drivesFolder() + "/d/Manuals/index.html");
    // Through the symlink or through the folder it leads to: both are D:.
    EXPECT_EQ(machine.toWindows(machine.drivesFolder() + "/d/Manuals"), "D:\\Manuals");
    EXPECT_EQ(machine.toWindows(cd + "/Manuals"), "D:\\Manuals");
    EXPECT_EQ(machine.toWindows(cd), "D:\\");

    // A new mapping replaces the old one.
    QTemporaryDir other;
    ASSERT_TRUE(machine.mapDrive('d', other.path()));
    EXPECT_EQ(machine.toWindows(other.path() + "/x"), "D:\\x");
    EXPECT_EQ(machine.toWindows(cd + "/Manuals"), "Z:" + QString(cd + "/Manuals").replace('/', '\\'));

    // A drive whose folder holds files is not thrown away.
    ASSERT_TRUE(temp.writeFile("C:\\keep.txt", "data"));
    EXPECT_FALSE(machine.mapDrive('c', other.path()));
    EXPECT_EQ(temp.readFile("C:\\keep.txt"), "data");
    EXPECT_FALSE(machine.mapDrive('!', other.path()));

    // A drive inside another drive's folder: the more specific one names the path.
    makeFolder(machine.drivesFolder() + "/c/cdimage");
    ASSERT_TRUE(machine.mapDrive('E', machine.drivesFolder() + "/c/cdimage"));
    EXPECT_EQ(machine.toWindows(machine.drivesFolder() + "/c/cdimage/x"), "E:\\x");

    // A symlink to a missing medium is no drive.
    ASSERT_TRUE(machine.mapDrive('F', temp.root() + "/no-medium"));
    EXPECT_FALSE(machine.driveExists('F'));
    EXPECT_EQ(machine.toHost("F:\\x"), "");

    // Z: mapped elsewhere: "/" is no longer reachable by name.
    ASSERT_TRUE(machine.mapDrive('Z', other.path()));
    EXPECT_EQ(machine.toHost("Z:\\x"), machine.drivesFolder() + "/z/x");
    EXPECT_EQ(machine.toWindows("/etc"), "");
}

TEST(Machine, RelativePathsUseTheWorkingFolder) {
    TempMachine temp;
    const Machine& machine = temp.machine();
    const QString c = machine.drivesFolder() + "/c";
    makeFolder(c + "/Work/Sub");
    ScopedWorkingFolder cwd(c + "/Work");
    EXPECT_EQ(machine.toHost("sub\\f.txt"), c + "/Work/Sub/f.txt");
    EXPECT_EQ(machine.toHost("..\\top.txt"), c + "/top.txt");
    EXPECT_EQ(machine.toHost("\\root.txt"), c + "/root.txt");
    EXPECT_EQ(machine.toWindows("Sub"), "C:\\Work\\Sub");
}
