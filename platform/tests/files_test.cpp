#include "TestSupport.h"
#include "platform/Acl.h"
#include "platform/Files.h"
#include "platform/FolderTransfer.h"
#include "platform/testing/FileFaults.h"

#include <QDateTime>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

class FilesTest : public ::testing::Test {
protected:
    TempMachine temp;
    const Files files{temp.machine()};
};

} // namespace

TEST_F(FilesTest, ExistenceAndAttributes) {
    ASSERT_TRUE(temp.writeFile("C:\\Manuals\\Guide.pdf", "pdf"));
    // Names are found without regard to case; a file is no folder.
    EXPECT_TRUE(files.exists("C:\\MANUALS\\guide.PDF") && files.fileExists("C:\\Manuals\\Guide.pdf") &&
                files.folderExists("c:\\manuals"));
    EXPECT_FALSE(files.folderExists("C:\\Manuals\\Guide.pdf") || files.exists("Q:\\x"));
    EXPECT_EQ(files.size("C:\\Manuals\\Guide.pdf"), 3);
    EXPECT_EQ(files.attributes("C:\\Manuals\\Guide.pdf"), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(files.attributes("C:\\Manuals"), FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_FALSE(files.attributes("C:\\Missing") ||
                 files.setAttributes("C:\\Missing", FILE_ATTRIBUTE_NORMAL));

    // A read-only file is not removed, as on Windows.
    ASSERT_TRUE(files.setAttributes("C:\\Manuals\\Guide.pdf", FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(files.attributes("C:\\Manuals\\Guide.pdf"), FILE_ATTRIBUTE_READONLY);
    EXPECT_FALSE(files.removeFile("C:\\Manuals\\Guide.pdf"));
    EXPECT_TRUE(files.fileExists("C:\\Manuals\\Guide.pdf"));
    ASSERT_TRUE(files.setAttributes("C:\\Manuals\\Guide.pdf", FILE_ATTRIBUTE_NORMAL));
    EXPECT_FALSE(files.removeFile("C:\\Manuals")); // a folder is no file
    EXPECT_TRUE(files.removeFile("C:\\Manuals\\Guide.pdf"));

    EXPECT_TRUE(files.createFolder("C:\\man_info"));
    // One level only, and not over an existing folder (without regard to case).
    EXPECT_FALSE(files.createFolder("C:\\MAN_INFO") || files.createFolder("C:\\a\\b"));
    EXPECT_TRUE(files.createFolderPath("C:\\a\\b\\c") &&
                files.createFolderPath("C:\\A\\B\\c")); // then already there
    EXPECT_FALSE(files.createFolderPath("Q:\\x"));

    // A new file only where nothing has the name, not even a symlink to nothing.
    ASSERT_TRUE(QFile::link(temp.root() + "/nowhere", temp.host("C:\\a\\link")));
    for (const char* taken : {"C:\\a\\b", "C:\\a\\link", "Q:\\x", "C:\\missing\\x"})
        EXPECT_FALSE(files.createNewFile(taken)) << taken;
    EXPECT_FALSE(QFileInfo::exists(temp.root() + "/nowhere"));
    EXPECT_TRUE(files.createNewFile("C:\\a\\new.txt"));
    EXPECT_FALSE(files.createNewFile("C:\\A\\NEW.TXT"));
}

TEST_F(FilesTest, CopyReplacesTargetsLikeCopyFile) {
    QByteArray content(3 * 1024 * 1024 + 17, '\0');
    for (qsizetype i = 0; i < content.size(); ++i)
        content[i] = char(i * 31 % 251);
    ASSERT_TRUE(temp.writeFile("C:\\src\\manual.zip", content));
    const qint64 modified = QDateTime(QDate(2004, 5, 6), QTime(7, 8, 9)).toMSecsSinceEpoch() + 250;
    ASSERT_TRUE(files.setLastModifiedMs("C:\\src\\manual.zip", modified));

    ASSERT_TRUE(files.createFolder("C:\\dst"));
    ASSERT_TRUE(files.copyFile("C:\\src\\manual.zip", "C:\\dst\\manual.zip"));
    EXPECT_EQ(temp.readFile("C:\\dst\\manual.zip"), content);
    EXPECT_EQ(files.lastModifiedMs("C:\\dst\\manual.zip"), modified);

    // Over an existing, longer target.
    ASSERT_TRUE(temp.writeFile("C:\\small.txt", "small"));
    ASSERT_TRUE(files.copyFile("C:\\small.txt", "C:\\dst\\manual.zip"));
    EXPECT_EQ(temp.readFile("C:\\dst\\manual.zip"), "small");

    // A read-only source gives a read-only copy (from a CD); a read-only target is refused.
    ASSERT_TRUE(files.setAttributes("C:\\small.txt", FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(files.copyFile("C:\\small.txt", "C:\\dst\\ro.txt"));
    EXPECT_TRUE(files.isReadOnly("C:\\dst\\ro.txt"));
    EXPECT_FALSE(files.copyFile("C:\\src\\manual.zip", "C:\\dst\\ro.txt"));
    EXPECT_EQ(temp.readFile("C:\\dst\\ro.txt"), "small");

    // A file is never copied onto itself (which would empty it), also under another spelling.
    EXPECT_FALSE(files.copyFile("C:\\src\\manual.zip", "C:\\SRC\\MANUAL.ZIP"));
    EXPECT_EQ(temp.readFile("C:\\src\\manual.zip"), content);

    // From a missing file or a folder, onto a folder or into a missing folder.
    for (const auto& [from, to] : {std::pair("C:\\missing.txt", "C:\\dst\\x.txt"),
                                   {"C:\\src", "C:\\dst\\x.txt"},
                                   {"C:\\src\\manual.zip", "C:\\dst"},
                                   {"C:\\src\\manual.zip", "C:\\no\\x.zip"}})
        EXPECT_FALSE(files.copyFile(from, to)) << from << " " << to;
    EXPECT_FALSE(files.exists("C:\\dst\\x.txt"));

    // Across drives, on another file system where the host has one (the kernel copy then falls back).
    const QTemporaryDir other(QDir("/dev/shm").exists() ? "/dev/shm/marvek-XXXXXX"
                                                        : temp.root() + "/d-XXXXXX");
    ASSERT_TRUE(temp.machine().mapDrive('D', other.path()));
    ASSERT_TRUE(files.copyFile("C:\\src\\manual.zip", "D:\\manual.zip"));
    EXPECT_EQ(temp.readFile("D:\\manual.zip"), content);
}

// copyNewFile refuses any existing target, a link that leads nowhere too, and leaves it as it was.
TEST_F(FilesTest, CopyThatFailsOnAnExistingTarget) {
    ASSERT_TRUE(temp.writeFile("C:\\src\\a.txt", "new"));
    ASSERT_TRUE(temp.writeFile("C:\\dst\\A.TXT", "old"));
    ASSERT_TRUE(QFile::link(temp.host("C:\\nowhere"), temp.host("C:\\dst") + "/link.txt"));
    EXPECT_FALSE(files.copyNewFile("C:\\src\\a.txt", "C:\\dst\\a.txt"));
    EXPECT_EQ(temp.readFile("C:\\dst\\A.TXT"), "old");
    EXPECT_FALSE(files.copyNewFile("C:\\src\\a.txt", "C:\\dst\\link.txt"));
    EXPECT_FALSE(QFileInfo::exists(temp.host("C:\\nowhere")));
    EXPECT_TRUE(files.copyNewFile("C:\\src\\a.txt", "C:\\dst\\b.txt"));
    EXPECT_EQ(temp.readFile("C:\\dst\\b.txt"), "new");
}

// replaceFile moves a file over another in one step; it refuses what MoveFileEx refuses and never leaves
// one file under two names.
TEST_F(FilesTest, ReplaceMovesOverTheTargetInOneStep) {
    ASSERT_TRUE(temp.writeFile("C:\\Link\\new.mdb", "new"));
    ASSERT_TRUE(temp.writeFile("C:\\Link\\db.mdb", "old"));
    ASSERT_TRUE(files.replaceFile("C:\\Link\\new.mdb", "C:\\LINK\\DB.MDB"));
    EXPECT_EQ(temp.readFile("C:\\Link\\db.mdb"), "new");
    EXPECT_FALSE(files.exists("C:\\Link\\new.mdb"));
    ASSERT_TRUE(temp.writeFile("C:\\Link\\next.mdb", "next"));
    ASSERT_TRUE(files.replaceFile("C:\\Link\\next.mdb", "C:\\Link\\fresh.mdb")) << "no target yet";
    EXPECT_EQ(temp.readFile("C:\\Link\\fresh.mdb"), "next");

    ASSERT_TRUE(temp.writeFile("C:\\Link\\ro.mdb", "read-only"));
    ASSERT_TRUE(files.setAttributes("C:\\Link\\ro.mdb", FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(QFile::link(temp.host("C:\\Link\\db.mdb"), temp.host("C:\\Link") + "/alias.mdb"));
    ASSERT_TRUE(files.createFolder("C:\\Link\\folder"));
    for (const auto& [from, to] : {std::pair("C:\\Link\\db.mdb", "C:\\Link\\ro.mdb"),
                                   {"C:\\Link\\db.mdb", "C:\\Link\\folder"},
                                   {"C:\\Link\\folder", "C:\\Link\\x.mdb"},
                                   {"C:\\Link\\missing.mdb", "C:\\Link\\db.mdb"},
                                   {"C:\\Link\\db.mdb", "C:\\Link\\db.mdb."},
                                   {"C:\\Link\\alias.mdb", "C:\\Link\\db.mdb"}})
        EXPECT_FALSE(files.replaceFile(from, to)) << from << " " << to;
    EXPECT_EQ(temp.readFile("C:\\Link\\db.mdb"), "new");
    EXPECT_EQ(temp.readFile("C:\\Link\\ro.mdb"), "read-only");
    EXPECT_EQ(temp.readFile("C:\\Link\\alias.mdb"), "new");
}

TEST_F(FilesTest, SameFileUnderAnySpelling) {
    ASSERT_TRUE(temp.writeFile("C:\\Link\\db.mdb", "db"));
    ASSERT_TRUE(temp.writeFile("C:\\Link\\other.mdb", "other"));
    ASSERT_TRUE(QFile::link(temp.host("C:\\Link\\db.mdb"), temp.host("C:\\Link") + "/alias.mdb"));
    ASSERT_EQ(::link(QFile::encodeName(temp.host("C:\\Link\\db.mdb")).constData(),
                     QFile::encodeName(temp.host("C:\\Link") + "/hard.mdb").constData()),
              0);
    const struct {
        const char* a;
        const char* b;
        bool same;
    } cases[] = {
        {"C:\\Link\\db.mdb", "C:\\Link\\db.mdb", true},
        {"C:\\Link\\db.mdb", "c:\\link\\DB.MDB", true},
        {"C:\\Link\\new.mdb", "C:\\LINK\\NEW.MDB", true}, // neither exists
        {"C:\\Link\\db.mdb", "C:\\Link\\db.mdb. ", true},
        {"C:\\Link\\db.mdb", "C:\\Link\\sub\\..\\.\\db.mdb", true},
        {"C:\\Link\\db.mdb", "C:/Link//db.mdb", true},
        {"C:\\Link\\db.mdb", "C:\\Link\\alias.mdb", true},
        {"C:\\Link\\db.mdb", "C:\\Link\\hard.mdb", true},
        {"C:\\Link\\db.mdb", "C:\\Link\\other.mdb", false},
        {"C:\\Link\\db.mdb", "C:\\Link\\BACK_db.mdb", false},
        {"C:\\Link\\new.mdb", "C:\\Link\\new2.mdb", false},
        {"C:\\Link\\db.mdb", "Q:\\Link\\db.mdb", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(files.sameFile(c.a, c.b), c.same) << c.a << " " << c.b;
}

// A fault policy is asked before each operation that changes the disk, and a failing one changes nothing.
TEST_F(FilesTest, FaultPolicyFailsTheOperationsItChooses) {
    Files faulty{temp.machine()};
    std::vector<std::pair<FileOperation, QString>> asked;
    faulty.setFaultPolicy(std::make_unique<marvek::testing::FileFaultFunction>(
        [&asked](FileOperation operation, const QString& path) {
            asked.emplace_back(operation, path);
            return true;
        }));
    ASSERT_TRUE(temp.writeFile("C:\\a.txt", "a"));
    EXPECT_FALSE(faulty.copyFile("C:\\a.txt", "C:\\b.txt") || faulty.copyNewFile("C:\\a.txt", "C:\\c.txt") ||
                 faulty.rename("C:\\a.txt", "C:\\d.txt") || faulty.replaceFile("C:\\a.txt", "C:\\e.txt") ||
                 faulty.removeFile("C:\\a.txt") ||
                 faulty.setAttributes("C:\\a.txt", FILE_ATTRIBUTE_READONLY) ||
                 faulty.createNewFile("C:\\f.txt") || faulty.createFolder("C:\\g") ||
                 faulty.createFolderPath("C:\\h\\i") || faulty.setLastModifiedMs("C:\\a.txt", 0));
    const std::vector<std::pair<FileOperation, QString>> expected = {
        {FileOperation::Copy, "C:\\b.txt"},   {FileOperation::Copy, "C:\\c.txt"},
        {FileOperation::Rename, "C:\\a.txt"}, {FileOperation::Rename, "C:\\a.txt"},
        {FileOperation::Delete, "C:\\a.txt"}, {FileOperation::Write, "C:\\a.txt"},
        {FileOperation::Write, "C:\\f.txt"},  {FileOperation::Write, "C:\\g"},
        {FileOperation::Write, "C:\\h\\i"},   {FileOperation::Write, "C:\\a.txt"}};
    EXPECT_EQ(asked, expected);
    for (const char* untouched :
         {"C:\\b.txt", "C:\\c.txt", "C:\\d.txt", "C:\\e.txt", "C:\\f.txt", "C:\\g", "C:\\h"})
        EXPECT_FALSE(files.exists(untouched)) << untouched;
    EXPECT_FALSE(files.isReadOnly("C:\\a.txt"));
    EXPECT_TRUE(faulty.exists("C:\\a.txt") && faulty.size("C:\\a.txt") == 1) << "reads are never asked";
    EXPECT_EQ(asked.size(), expected.size());
}

// A transfer places a name only where it is free: ASCII, without the trailing blank or dot Windows drops,
// and held by nothing in the target folder in any case (a non-ASCII name folding onto it, a name placed
// before included). The target gets the content and time and is writable; a copy keeps the source, a move
// does not. A taken name and a failed placement leave the target as it was and the source in place.
TEST_F(FilesTest, FolderTransferPlacesFreeNamesOnly) {
    for (const char* name : {"new.txt", "taken.txt", "ro.txt", "x.txt"})
        ASSERT_TRUE(temp.writeFile(QString("C:\\src\\") + name, name));
    ASSERT_TRUE(temp.writeFile("C:\\dst\\TAKEN.TXT", "old"));
    ASSERT_TRUE(temp.writeFile(QString("C:\\dst\\") + QChar(0x212A) + ".txt", "kelvin")); // folds to "k"
    ASSERT_TRUE(files.setAttributes("C:\\src\\ro.txt", FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(files.setLastModifiedMs("C:\\src\\ro.txt", 1'000'000'000'000));

    FolderTransfer transfer(files, "C:\\SRC", "C:\\dst");
    ASSERT_TRUE(transfer.isValid());
    const struct {
        QString name;
        bool free;
    } names[] = {{"new.txt", true},        {"taken.txt", false}, {"k.txt", false},
                 {"caf\u00e9.txt", false}, {"dot.", false},      {"blank ", false},
                 {"a\\b", false},          {"..", false},        {"", false}};
    for (const auto& n : names)
        EXPECT_EQ(transfer.isFree(n.name), n.free) << n.name.toStdString();

    EXPECT_FALSE(transfer.placeNewWritable("taken.txt", Placement::Copy));
    EXPECT_EQ(temp.readFile("C:\\dst\\TAKEN.TXT"), "old");
    EXPECT_TRUE(transfer.placeNewWritable("new.txt", Placement::Copy));
    EXPECT_EQ(temp.readFile("C:\\dst\\new.txt"), "new.txt");
    EXPECT_TRUE(files.exists("C:\\src\\new.txt"));
    EXPECT_FALSE(transfer.isFree("NEW.TXT") || transfer.placeNewWritable("New.txt", Placement::Move));
    EXPECT_TRUE(transfer.placeNewWritable("ro.txt", Placement::Move));
    EXPECT_FALSE(files.exists("C:\\src\\ro.txt"));
    EXPECT_EQ(temp.readFile("C:\\dst\\ro.txt"), "ro.txt");
    EXPECT_FALSE(files.isReadOnly("C:\\dst\\ro.txt"));
    EXPECT_EQ(files.lastModifiedMs("C:\\dst\\ro.txt"), 1'000'000'000'000);

    // A refused rename falls back to the copy; a refused copy then fails the move with nothing placed.
    Files faulty{temp.machine()};
    std::vector<FileOperation> asked;
    faulty.setFaultPolicy(std::make_unique<marvek::testing::FileFaultFunction>(
        [&asked](FileOperation operation, const QString&) {
            asked.push_back(operation);
            return operation != FileOperation::Write;
        }));
    FolderTransfer refused(faulty, "C:\\src", "C:\\dst");
    EXPECT_FALSE(refused.placeNewWritable("x.txt", Placement::Move));
    EXPECT_EQ(asked, std::vector<FileOperation>({FileOperation::Rename, FileOperation::Copy}));
    EXPECT_TRUE(files.exists("C:\\src\\x.txt"));
    EXPECT_FALSE(files.exists("C:\\dst\\x.txt"));
    EXPECT_TRUE(refused.isFree("x.txt"));

    EXPECT_FALSE(FolderTransfer(files, "C:\\src", "C:\\missing").isValid());
    EXPECT_FALSE(FolderTransfer(files, "C:\\src", "C:\\missing").isFree("x.txt"));
}

// Subfolders and files apart, each in NTFS order: upper-cased, so "_" (0x5F) sorts after "Z"; a link
// counts as what it leads to, a FIFO as a file.
TEST_F(FilesTest, ListFolderInNtfsOrder) {
    for (const char* file :
         {"C:\\m\\b.txt", "C:\\m\\A_.txt", "C:\\m\\aZ.txt", "C:\\m\\Sub\\x", "C:\\m\\a\\x"})
        ASSERT_TRUE(temp.writeFile(file, "x"));
    const QString m = temp.host("C:\\m");
    ASSERT_TRUE(QFile::link(m + "/Sub", m + "/c-link"));
    ASSERT_TRUE(QFile::link(m + "/missing", m + "/dangling"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(m + "/pipe").constData(), 0644), 0);

    const std::optional<FolderListing> listing = files.listFolder("c:\\M");
    ASSERT_TRUE(listing.has_value());
    EXPECT_EQ(listing->folders, (QStringList{"a", "c-link", "Sub"}));
    EXPECT_EQ(listing->files, (QStringList{"aZ.txt", "A_.txt", "b.txt", "dangling", "pipe"}));
    EXPECT_FALSE(files.listFolder("C:\\m\\b.txt").has_value());
    EXPECT_FALSE(files.listFolder("C:\\missing").has_value());
    // A FIFO in place of a file fails the copy instead of waiting for a writer.
    EXPECT_FALSE(files.copyFile("C:\\m\\pipe", "C:\\m\\copy"));
}

// Links apart: every symlink, whatever it leads to, is in links only, while the folder listed may itself
// be reached through a link (a drive's mount point). isLink looks at the named entry only; fullPath and
// finalPath spell a path as the drives do, finalPath with every link on the way resolved.
TEST_F(FilesTest, LinksListedApartAndResolved) {
    for (const char* file : {"C:\\m\\a\\x", "C:\\m\\b.txt"})
        ASSERT_TRUE(temp.writeFile(file, "x"));
    const QString m = temp.host("C:\\m");
    ASSERT_TRUE(QFile::link(m + "/a", m + "/c-link"));
    ASSERT_TRUE(QFile::link(m + "/b.txt", m + "/f-link"));
    ASSERT_TRUE(QFile::link(m + "/missing", m + "/dangling"));
    ASSERT_TRUE(QFile::link(m, temp.host("C:\\") + "/via"));
    const QString cd = temp.addDrive(QLatin1Char('D'));
    ASSERT_TRUE(QDir().mkpath(cd + "/RM010EN"));

    const std::optional<FolderListing> apart = files.listFolder("C:\\via", LinkListing::Apart);
    ASSERT_TRUE(apart.has_value());
    EXPECT_EQ(apart->folders, QStringList{"a"});
    EXPECT_EQ(apart->files, QStringList{"b.txt"});
    EXPECT_EQ(apart->links, (QStringList{"c-link", "dangling", "f-link"}));
    EXPECT_TRUE(files.listFolder("C:\\m")->links.isEmpty());

    for (const char* link : {"C:\\via", "c:\\M\\C-LINK", "C:\\m\\dangling", "C:\\via\\f-link"})
        EXPECT_TRUE(files.isLink(link)) << link;
    for (const char* plain : {"C:\\m", "C:\\via\\a", "C:\\m\\missing", "D:\\", "D:\\RM010EN", ""})
        EXPECT_FALSE(files.isLink(plain)) << plain;

    const struct {
        const char* path;
        const char* full;
        const char* final;
    } paths[] = {
        {"c:\\M\\A\\.\\x", "C:\\m\\a\\x", "C:\\m\\a\\x"},
        {"C:\\via\\a\\new\\", "C:\\via\\a\\new", "C:\\m\\a\\new"},
        {"C:\\via", "C:\\via", "C:\\m"},
        {"C:\\m\\c-link\\..\\b.txt", "C:\\m\\b.txt", "C:\\m\\b.txt"},
        {"C:\\m\\dangling\\x", "C:\\m\\dangling\\x", "C:\\m\\dangling\\x"},
        {"d:\\rm010en", "D:\\RM010EN", "D:\\RM010EN"},
        {"C:\\", "C:\\", "C:\\"},
        {"Q:\\x", "", ""},
    };
    for (const auto& p : paths) {
        EXPECT_EQ(files.fullPath(p.path), p.full) << p.path;
        EXPECT_EQ(files.finalPath(p.path), p.final) << p.path;
    }
}

TEST_F(FilesTest, TimesSpaceAndVolumes) {
    ASSERT_TRUE(temp.writeFile("C:\\old.txt", "x"));
    ASSERT_TRUE(files.setLastModifiedMs("C:\\old.txt", -1500)); // before the epoch
    EXPECT_EQ(files.lastModifiedMs("C:\\old.txt"), -1500);
    EXPECT_FALSE(files.lastModifiedMs("C:\\none.txt") || files.setLastModifiedMs("C:\\none.txt", 0));

    EXPECT_GT(files.freeSpace("C:\\").value_or(0), 0u);
    EXPECT_FALSE(files.freeSpace("Q:\\") || files.freeSpace("\\\\server\\share"));

    // The file system is named after its support of access lists.
    const QString expected = supportsAccessLists(temp.machine().drivesFolder() + "/c") ? "NTFS" : "FAT";
    EXPECT_EQ(files.volumeFileSystem("c:\\Program Files"), expected);
    EXPECT_EQ(files.volumeFileSystem("Q:\\") + files.volumeFileSystem("\\\\server\\share\\"), "");
}

TEST_F(FilesTest, SpecialFoldersLieInThePrefix) {
    ASSERT_TRUE(writeHostFile(temp.machine().machineIniFile(), "[System]\nLogonName=tech\n"));
    EXPECT_EQ(files.specialFolder(CSIDL_PROGRAMS), "C:\\Documents and Settings\\tech\\Start Menu\\Programs");
    EXPECT_TRUE(files.folderExists("C:\\Documents and Settings\\tech\\Start Menu\\Programs"));
    EXPECT_EQ(files.specialFolder(CSIDL_COMMON_DESKTOP), "C:\\Documents and Settings\\All Users\\Desktop");
    EXPECT_EQ(files.specialFolder(CSIDL_APPDATA), "C:\\Documents and Settings\\tech\\Application Data");
    EXPECT_TRUE(files.folderExists("C:\\Documents and Settings\\tech\\Application Data"));
    EXPECT_EQ(files.specialFolder(5), "");

    // A logon name that cannot be a folder name, and a later Windows version.
    ASSERT_TRUE(
        writeHostFile(temp.machine().machineIniFile(), "[System]\nMajorVersion=6\nLogonName=dom\\user\n"));
    EXPECT_EQ(files.specialFolder(CSIDL_PROGRAMS),
              "C:\\Users\\dom_user\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs");
    EXPECT_EQ(files.specialFolder(CSIDL_COMMON_DESKTOP), "C:\\Users\\Public\\Desktop");
    EXPECT_EQ(files.specialFolder(CSIDL_APPDATA), "C:\\Users\\dom_user\\AppData\\Roaming");
}
