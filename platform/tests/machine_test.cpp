#include "TestSupport.h"
#include "platform/Machine.h"

#include <unistd.h>

namespace {

class MachineTest : public ::testing::Test {
protected:
    void makeFolder(const QString& path) const { ASSERT_TRUE(QDir().mkpath(c + path)) << path.toStdString(); }

    TempMachine temp;
    const Machine& machine = temp.machine();
    const QString c = machine.drivesFolder() + "/c";
};

} // namespace

TEST_F(MachineTest, LayoutAndDefaultRoot) {
    EXPECT_TRUE(machine.driveExists('C') && !machine.driveExists('Q') && !machine.driveExists('1'));

    EXPECT_EQ(Machine::defaultRoot(), temp.root()); // TempMachine sets MARVEK_ROOT
    const QString noConfig = temp.root() + "/no-machine.conf";
    ScopedEnvironment root("MARVEK_ROOT", QByteArray());
    ScopedEnvironment data("XDG_DATA_HOME", "/srv/data");
    EXPECT_EQ(Machine::defaultChoice(noConfig).root, "/srv/data/marvek");
    ScopedEnvironment noData("XDG_DATA_HOME", QByteArray());
    EXPECT_EQ(Machine::defaultChoice(noConfig).root, QDir::homePath() + "/.local/share/marvek");
}

// MARVEK_ROOT, else the machine the PC's configuration names, else the user's own; a configuration
// that names nothing usable is passed over, never half-read.
TEST_F(MachineTest, TheMachineIsChosenByEnvironmentThenSystemConfigThenUser) {
    using Source = Machine::Source;
    const QString config = temp.root() + "/machine.conf";
    auto choose = [&](const char* marvekRoot, const QByteArray& text) {
        QFile::remove(config);
        if (!text.isNull()) {
            QFile file(config);
            EXPECT_TRUE(file.open(QIODevice::WriteOnly) && file.write(text) == text.size());
        }
        return Machine::choose(marvekRoot, "/home/tech/.data", "/home/tech", config);
    };
    const QString user = "/home/tech/.data/marvek";
    const struct {
        const char* marvekRoot;
        QByteArray text;
        QString root;
        Source source;
    } cases[] = {
        {"/srv/m", "root=/var/lib/marvek\n", "/srv/m", Source::Environment},
        {"", "root=/var/lib/marvek\n", "/var/lib/marvek", Source::SystemConfig},
        {"", "# the PC's machine\r\n\n  root = /var/lib/marvek/ \r\n", "/var/lib/marvek",
         Source::SystemConfig},
        {"", "other=1\nroot=/srv/a\nroot=/srv/b\n", "/srv/b", Source::SystemConfig}, // the last line counts
        {"", "#root=/var/lib/marvek\n", user, Source::UserDefault},                  // put out of use
        {"", QByteArray(), user, Source::UserDefault},                               // no file
        {"", "", user, Source::UserDefault},
        {"", "root=var/lib/marvek\n", user, Source::UserDefault}, // relative
        {"", "root=\n", user, Source::UserDefault},
        {"", "root=/var/lib/marvek\ngarbage\n", user, Source::UserDefault}, // garbled: names nothing
        {"", "=/x\n", user, Source::UserDefault},
        {"", QByteArray("root=/var/lib/m\0x\n", 19), user, Source::UserDefault},
        {"", "\xff\xfe\x00\x00", user, Source::UserDefault},
    };
    for (const auto& c : cases) {
        const Machine::Choice choice = choose(c.marvekRoot, c.text);
        EXPECT_EQ(choice.root, c.root) << c.text.toStdString();
        EXPECT_EQ(choice.source, c.source) << c.text.toStdString();
    }
    // An unreadable or oversized file names nothing.
    choose("", "root=/var/lib/marvek\n");
    ASSERT_TRUE(QFile::setPermissions(config, QFileDevice::Permissions()));
    if (::geteuid() != 0) {
        EXPECT_EQ(Machine::choose("", "", "/home/tech", config).source, Source::UserDefault);
    }
    choose("", "root=/var/lib/marvek\n" + QByteArray(70000, '#'));
    EXPECT_EQ(Machine::choose("", "", "/home/tech", config).source, Source::UserDefault);
    EXPECT_EQ(Machine::choose("", "", "/home/tech", temp.root()).source, Source::UserDefault); // a folder
}

TEST_F(MachineTest, WindowsPathsBecomeHostPathsAndBack) {
    makeFolder("/Program Files/Marvek");
    makeFolder("/Data");
    makeFolder("/DATA");
    makeFolder(QString::fromUtf8("/Überblick"));
    makeFolder("/RM010EN/install");
    const std::pair<QString, QString> cases[] = {
        {"c:/Windows/a.txt", c + "/Windows/a.txt"},
        {"C:\\Temp\\\\x\\", c + "/Temp/x"},
        {"C:", c},
        {"C:\\a\\.\\b\\..\\c", c + "/a/c"},
        {"C:\\..\\..\\etc\\passwd", c + "/etc/passwd"}, // never above the drive root
        {"Z:\\etc\\hostname", "/etc/hostname"},
        {"Z:\\", "/"},
        {"Q:\\x", ""},                // no such drive
        {"\\\\server\\share\\x", ""}, // UNC
        {QString("C:\\a") + QChar(0) + "b", ""},
        {"", ""},
        // Components are found without regard to case; once one is missing the rest is kept as written.
        {"C:\\PROGRAM FILES\\marvek\\Mandex.exe", c + "/Program Files/Marvek/Mandex.exe"},
        {"c:\\program files\\NEW\\Sub", c + "/Program Files/NEW/Sub"},
        {QString::fromUtf8("C:\\ÜBERBLICK"), c + QString::fromUtf8("/Überblick")},
        // The exact spelling wins when it exists; otherwise the first match in name order.
        {"C:\\Data", c + "/Data"},
        {"C:\\DATA", c + "/DATA"},
        {"C:\\data", c + "/DATA"},
        // Trailing blanks and dots of every component are dropped, as Windows does: "RM010EN " is RM010EN.
        {"C:\\RM010EN ", c + "/RM010EN"},
        {"C:\\rm010en .\\Install.\\manual.zip ", c + "/RM010EN/install/manual.zip"},
        {"C:\\New . \\file.", c + "/New/file"}, // also for names that do not exist
        {"C:\\a\\ \\b", c + "/a/b"},            // a name of blanks and dots only vanishes
        {"C:\\a\\b\\.. ", c + "/a/b"},          // only ".." as written goes up, as in the removal checks
        {"C:\\ .x\\y", c + "/ .x/y"},           // leading blanks and dots stay
        {"C:\\a.b c\\d", c + "/a.b c/d"},       // so do inner ones
    };
    for (const auto& [windows, host] : cases)
        EXPECT_EQ(machine.toHost(windows), host) << windows.toStdString();

    // And back.
    EXPECT_EQ(QStringList({machine.toWindows(c), machine.toWindows(c + "/man_info/a.ci"),
                           machine.toWindows("/"), machine.toWindows("")}),
              QStringList({"C:\\", "C:\\man_info\\a.ci", "Z:\\", ""}));
    for (const QString path : {"C:\\Program Files", "C:\\Program Files\\x.txt", "Z:\\usr\\lib"})
        EXPECT_EQ(machine.toWindows(machine.toHost(path)), path);

    // Relative paths use the working folder.
    makeFolder("/Work/Sub");
    const QString oldWorkingFolder = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(c + "/Work"));
    EXPECT_EQ(machine.toHost("sub\\f.txt"), c + "/Work/Sub/f.txt");
    EXPECT_EQ(machine.toHost("..\\top.txt"), c + "/top.txt");
    EXPECT_EQ(machine.toHost("\\root.txt"), c + "/root.txt");
    EXPECT_EQ(machine.toWindows("Sub"), "C:\\Work\\Sub");
    QDir::setCurrent(oldWorkingFolder);
}

TEST_F(MachineTest, MappedDrives) {
    const QString cd = temp.addDrive('D');
    ASSERT_TRUE(QDir().mkpath(cd + "/Manuals"));
    EXPECT_TRUE(machine.driveExists('d'));
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
    makeFolder("/cdimage");
    ASSERT_TRUE(machine.mapDrive('E', c + "/cdimage"));
    EXPECT_EQ(machine.toWindows(c + "/cdimage/x"), "E:\\x");

    // A symlink to a missing medium is no drive.
    ASSERT_TRUE(machine.mapDrive('F', temp.root() + "/no-medium"));
    EXPECT_FALSE(machine.driveExists('F'));
    EXPECT_EQ(machine.toHost("F:\\x"), "");

    // Z: mapped elsewhere: "/" is no longer reachable by name.
    ASSERT_TRUE(machine.mapDrive('Z', other.path()));
    EXPECT_EQ(machine.toHost("Z:\\x"), machine.drivesFolder() + "/z/x");
    EXPECT_EQ(machine.toWindows("/etc"), "");
}
