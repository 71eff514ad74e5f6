#include "TestSupport.h"
#include "platform/MediaDrives.h"

#include <future>
#include <vector>

namespace {

TEST(MountInfo, LinesBecomeMountPointsAndTypes) {
    const QByteArray text =
        "22 27 0:21 / /proc rw,relatime - proc proc rw\n"
        // optional fields before the separator; a blank in the mount point
        "45 27 11:0 / /media/tech/SERVICE\\040CD ro shared:7 master:1 - iso9660 /dev/sr0 ro\n"
        // a tab, a backslash and a byte of a UTF-8 name as octal escapes
        "46 27 7:0 / /mnt/a\\011b\\134c\\303\\234 ro - udf /dev/loop0 ro\n"
        "47 27 0:50 / /run/x rw -\n"           // no type: skipped
        "48 27 0:51 / relative rw - tmpfs t\n" // no absolute mount point: skipped
        "short line\n\n"
        "49 27 0:52 / /mnt/\\04 rw - fuse.fuseiso fuseiso rw"; // cut escape stays text
    const QList<MountEntry> expected = {{"/proc", "proc"},
                                        {"/media/tech/SERVICE CD", "iso9660"},
                                        {QString::fromUtf8("/mnt/a\tb\\cÜ"), "udf"},
                                        {"/mnt/\\04", "fuse.fuseiso"}};
    EXPECT_EQ(parseMountInfo(text), expected);
    EXPECT_TRUE(parseMountInfo("").isEmpty());
}

// Media on a machine in a temporary prefix: folders outside the prefix stand for mounted CDs and
// copies of them; the mount table is given.
class MediaDrivesTest : public ::testing::Test {
protected:
    MediaDrivesTest() : outside(QFileInfo(dir.path()).canonicalFilePath()) {}

    // A CD tree at a folder outside the drives: an autostart file at its root and a program folder.
    QString makeCd(const QString& relative, const char* marker = "autorun.inf") const {
        const QString root = outside + '/' + relative;
        EXPECT_TRUE(writeHostFile(root + '/' + marker, "[autorun]\r\nopen=Cdlaunch.exe\r\n"));
        EXPECT_TRUE(QDir().mkpath(root + "/programs/setup"));
        return root;
    }
    MediaDrives media(QList<MountEntry> mounts = {}) const {
        mounts.prepend({"/", "ext4"});
        return MediaDrives(machine, mounts, outside + "/home");
    }
    QString record() const {
        QFile file(media().recordFile());
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }

    TempMachine temp;
    const Machine& machine = temp.machine();
    QTemporaryDir dir;
    QString outside;
};

TEST_F(MediaDrivesTest, MediumRootIsTheNearestAutostartFolderOrARemovableMount) {
    const QString copy = makeCd("copy");
    const QString upper = makeCd("upper", "AUTORUN.INF");
    const QString freedesktop = makeCd("fd", ".autorun");
    const QString nested = makeCd("copy/programs/inner", "autorun.sh");
    const QString plain = outside + "/plain/programs/setup";
    const QString iso = outside + "/iso/programs/setup";
    const QString below = outside + "/mounted/deeper";
    ASSERT_TRUE(QDir().mkpath(plain) && QDir().mkpath(iso) && QDir().mkpath(below));
    ASSERT_TRUE(writeHostFile(outside + "/autorun.inf", "")); // above the mount of "mounted" and "iso"
    ASSERT_TRUE(writeHostFile(outside + "/home/autorun.sh", ""));
    ASSERT_TRUE(QDir().mkpath(outside + "/home/bin"));
    const MediaDrives drives = media({{outside + "/iso", "iso9660"}, {outside + "/mounted", "ext4"}});

    const std::pair<QString, QString> cases[] = {
        {copy + "/programs/setup", copy},
        {copy, copy},
        {upper + "/programs/setup", upper}, // a CD without long names shows its names in capitals
        {freedesktop + "/programs", freedesktop},
        {nested + "/programs/setup", nested}, // the nearest autostart folder
        {iso, outside + "/iso"},              // a CD file system: its mount point
        {below, ""},                          // another file system's mount point is no medium
        {plain, outside},                     // on the root file system: the autostart folder above
        {outside + "/home/bin", outside},     // the home folder never is a medium
        {outside + "/missing", ""},
        {"/", ""},
    };
    for (const auto& [folder, root] : cases)
        EXPECT_EQ(drives.mediumRoot(folder), root) << folder.toStdString();
}

// A medium outside the drives gets the first free letter from D:, kept for it on the next start; a
// second medium the next letter; letters with any drive entry are skipped; a folder under a drive, and
// a folder on no medium, keep their names.
TEST_F(MediaDrivesTest, LettersOfMedia) {
    const QString first = makeCd("first");
    const QString second = makeCd("second");
    const QString third = makeCd("third");
    const QString fourth = makeCd("fourth");
    ASSERT_TRUE(machine.mapDrive('E', temp.root() + "/media/e-elsewhere")); // a dangling drive entry
    ASSERT_TRUE(QDir().mkpath(outside + "/loose"));

    EXPECT_EQ(media().windowsName(first + "/programs/setup"), "D:\\programs\\setup");
    EXPECT_EQ(QFileInfo(machine.drivesFolder() + "/d").symLinkTarget(), first);
    EXPECT_EQ(media().windowsName(second + "/programs/setup"), "F:\\programs\\setup"); // E: is taken
    EXPECT_EQ(media().windowsName(first + "/programs"), "D:\\programs");
    EXPECT_EQ(media().windowsName(outside + "/loose"), "Z:" + QString(outside + "/loose").replace('/', '\\'));
    EXPECT_EQ(record(), QString("[Media]\nD=%1\nF=%2\n").arg(first, second));

    // Unmounted, the first CD keeps its letter; the one that was mapped by hand is left alone.
    ASSERT_TRUE(QDir().rename(first, first + "-away"));
    EXPECT_EQ(media().windowsName(third), "G:\\");
    ASSERT_TRUE(QDir().rename(first + "-away", first));
    EXPECT_EQ(media().windowsName(first), "D:\\");
    EXPECT_EQ(QFileInfo(machine.drivesFolder() + "/e").symLinkTarget(), temp.root() + "/media/e-elsewhere");

    // A letter remapped by hand is no longer the medium's: it gets a new one.
    ASSERT_TRUE(machine.mapDrive('D', temp.root() + "/media/d"));
    EXPECT_EQ(media().windowsName(first), "H:\\");
    EXPECT_EQ(record(), QString("[Media]\nF=%1\nG=%2\nH=%3\n").arg(second, third, first));

    // With every letter taken, a medium that is not there gives its letter up.
    for (char letter = 'i'; letter <= 'y'; ++letter)
        ASSERT_TRUE(machine.mapDrive(letter, temp.root() + "/media/" + letter));
    ASSERT_TRUE(QDir(third).removeRecursively());
    EXPECT_EQ(media().windowsName(fourth), "G:\\");
    ASSERT_TRUE(QDir(second).removeRecursively());
    ASSERT_TRUE(machine.mapDrive('F', temp.root() + "/media/f")); // by hand: not the suite's to give
    EXPECT_EQ(media().assignLetter(makeCd("fifth")), QChar());
}

// The README's demonstration links the CD folder as D: by hand: a program there keeps that drive, and
// a CD copied under a drive is on that drive.
TEST_F(MediaDrivesTest, FolderUnderAMappedDriveKeepsItsDrive) {
    const QString cd = makeCd("cd");
    ASSERT_TRUE(machine.mapDrive('D', cd));
    EXPECT_EQ(media().windowsName(cd + "/programs/setup"), "D:\\programs\\setup");
    const QString onC = temp.host("C:\\cdcopy");
    ASSERT_TRUE(writeHostFile(onC + "/autorun.inf", "") && QDir().mkpath(onC + "/programs"));
    EXPECT_EQ(media().windowsName(onC + "/programs"), "C:\\cdcopy\\programs");
    EXPECT_FALSE(QFileInfo::exists(media().recordFile()));
}

// Programs started at once from one medium agree on its letter.
TEST_F(MediaDrivesTest, StartsAtOnceGiveOneLetter) {
    const QString cd = makeCd("cd");
    std::vector<std::future<QString>> names;
    for (int i = 0; i < 8; ++i)
        names.push_back(
            std::async(std::launch::async, [&] { return media().windowsName(cd + "/programs"); }));
    for (auto& name : names)
        EXPECT_EQ(name.get(), "D:\\programs");
    EXPECT_FALSE(QFileInfo::exists(machine.drivesFolder() + "/e"));
    EXPECT_EQ(record(), QString("[Media]\nD=%1\n").arg(cd));
}

} // namespace
