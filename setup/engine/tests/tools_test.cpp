// The installer's tools: the tree copy, the extractor, the result list and the database upgrade.
#include "UpgradeSettings.h"
#include "platform/Acl.h"
#include "platform/testing/BuildPath.h"
#include "platform/testing/FileFaults.h"
#include "platform/testing/TestArchive.h"
#include "setup/engine/CopyTree.h"
#include "setup/engine/DatabaseUpgrade.h"
#include "setup/engine/Extractor.h"
#include "setup/engine/ResultList.h"
#include "shared/access/AccessControl.h"
#include "shared/database/DatabaseRecovery.h"
#include "shared/testing/SchemaDatabase.h"
#include "shared/testing/SharedTestContext.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QProcess>
#include <QSet>
#include <cstdio>
#include <gtest/gtest.h>
#include <map>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

using marvek::testing::BuildPath;

using namespace marvek;
using namespace marvek::setup;
using marvek::shared::clsMDB;
using marvek::shared::ManualRecord;
using marvek::testing::FileFaultFunction;

namespace {

// Records what the engine tells, and which file of the destination appeared at each copy.
class RecordingObserver : public CopyObserver {
public:
    explicit RecordingObserver(QString destinationHost) : m_destination(std::move(destinationHost)) {}

    void folderListed() override { ++foldersListed; }
    void fileCopied(qint32 progressValue) override {
        progress.append(progressValue);
        for (QDirIterator it(m_destination, QDir::Files, QDirIterator::Subdirectories); it.hasNext();) {
            const QString file = it.next().mid(m_destination.size() + 1);
            if (!m_seen.contains(file)) {
                m_seen.insert(file);
                copied.append(file);
            }
        }
    }

    int foldersListed = 0;
    QList<qint32> progress;
    QStringList copied; // in the order the files appeared

private:
    QString m_destination;
    QSet<QString> m_seen;
};

class CopyTreeTest : public ::testing::Test {
protected:
    void SetUp() override {
        // Listed as NTFS lists: a, B, c (without regard to case); a1 before A2.
        for (const char* file : {"root.txt", "a\\a.txt", "a\\a1\\a1.txt", "a\\A2\\a2.txt", "B\\b.txt",
                                 "c\\c.txt", "c\\c1\\c1.txt"})
            ASSERT_TRUE(t.temp().writeFile(Source + u'\\' + q(file), QByteArray("content of ") + file));
    }

    qint32 copyTree(int mode, qint32 start, const QString& source, const QString& destination,
                    CopyObserver* observer = nullptr) {
        return CopyTree(t.ctx, mode, start, source, destination, observer);
    }
    QString host(const QString& path) { return t.temp().host(path); }

    const QString Source = q("C:\\Link\\UnZipTemp");
    const QString Destination = q("C:\\Manuals\\New\\Base");
    marvek::testing::SharedTestContext t;
};

// Count mode counts every file on from the start count and touches nothing. Copy mode goes depth first,
// later siblings first: the subfolders of a folder are pushed in listing order and the last pushed is
// visited next; progress counts on from the start count.
TEST_F(CopyTreeTest, CountsThenCopiesInStackOrder) {
    RecordingObserver observer(host(Destination));
    EXPECT_EQ(copyTree(CopyModeCount, 0, Source, Destination, &observer), 7);
    EXPECT_EQ(copyTree(CopyModeCount, 7, Source, Destination), 14);
    EXPECT_EQ(observer.foldersListed, 7);
    EXPECT_TRUE(observer.progress.isEmpty());
    EXPECT_FALSE(t.os().files().exists(q("C:\\Manuals")));
    ASSERT_TRUE(QDir().mkpath(host("C:\\Empty")));
    EXPECT_EQ(copyTree(CopyModeCount, 3, q("C:\\Empty"), Destination), 3);

    EXPECT_EQ(copyTree(CopyModeCopy, 7, Source, Destination, &observer), 0);
    EXPECT_EQ(observer.copied, QStringList({"root.txt", "c/c.txt", "c/c1/c1.txt", "B/b.txt", "a/a.txt",
                                            "a/A2/a2.txt", "a/a1/a1.txt"}));
    EXPECT_EQ(observer.progress, QList<qint32>({8, 9, 10, 11, 12, 13, 14}));
    EXPECT_EQ(observer.foldersListed, 14);
    EXPECT_EQ(t.temp().readFile(Destination + q("\\a\\A2\\a2.txt")), "content of a\\A2\\a2.txt");
}

// An existing target is replaced: a read-only one after a one-second wait; the copies are writable, and
// folders that exist in another case are used as they are.
TEST_F(CopyTreeTest, CopyReplacesExistingTargets) {
    ASSERT_TRUE(t.temp().writeFile(Destination + q("\\C\\c.txt"), "old"));
    ASSERT_TRUE(t.temp().writeFile(Destination + q("\\root.txt"), "old"));
    ASSERT_TRUE(
        t.os().files().setAttributes(Destination + q("\\root.txt"), platform::FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(t.os().files().setAttributes(Source + q("\\B\\b.txt"), platform::FILE_ATTRIBUTE_READONLY));

    EXPECT_EQ(copyTree(CopyModeCopy, 0, Source, Destination), 0);
    EXPECT_EQ(t.temp().readFile(Destination + q("\\root.txt")), "content of root.txt");
    EXPECT_EQ(t.temp().readFile(Destination + q("\\C\\c.txt")), "content of c\\c.txt");
    EXPECT_FALSE(QFileInfo::exists(host(Destination) + q("/c")));
    EXPECT_FALSE(t.os().files().isReadOnly(Destination + q("\\root.txt")));
    EXPECT_FALSE(t.os().files().isReadOnly(Destination + q("\\B\\b.txt")));
    EXPECT_EQ(t.clock().sleptMs(), 1000);
}

// The walk stops at the first folder that cannot be created or file that cannot be copied.
TEST_F(CopyTreeTest, FailuresGiveMinusOne) {
    const struct {
        const char* what;
        const char* inTheWay; // a file, or a folder when it ends in "\"
        int filesCopied;
    } cases[] = {
        {"destination root", "C:\\Manuals\\New", 0},
        {"folder below", "C:\\Manuals\\New\\Base\\c", 1},
        {"file", "C:\\Manuals\\New\\Base\\c\\c.txt\\", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const QString inTheWay = q(c.inTheWay);
        if (inTheWay.endsWith(u'\\'))
            ASSERT_TRUE(QDir().mkpath(host(inTheWay)));
        else
            ASSERT_TRUE(t.temp().writeFile(inTheWay, "in the way"));
        RecordingObserver observer(host(Destination));
        EXPECT_EQ(copyTree(CopyModeCopy, 0, Source, Destination, &observer), -1);
        EXPECT_EQ(observer.progress.size(), c.filesCopied);
        ASSERT_TRUE(QDir(host("C:\\Manuals")).removeRecursively());
    }
    for (const int mode : {CopyModeCopy, CopyModeCount})
        EXPECT_EQ(copyTree(mode, 5, q("C:\\Missing"), Destination), -1);
}

// The destination of a folder is its path with the source folder replaced by the destination folder; a
// folder deeper down whose path repeats the source's text keeps its name. A source given with a
// trailing "\" walks the same.
TEST_F(CopyTreeTest, DestinationReplacesTheSourceRootOnly) {
    const QString nested = Source + q("\\") + Source + q("\\deep.txt");
    ASSERT_TRUE(t.temp().writeFile(nested, "deep")); // host folders "C:" and "Link" below the source
    EXPECT_EQ(copyTree(CopyModeCopy, 0, Source + q("\\"), Destination), 0);
    EXPECT_EQ(t.temp().readFile(Destination + q("\\") + Source + q("\\deep.txt")), "deep");
    EXPECT_EQ(t.temp().readFile(Destination + q("\\c\\c1\\c1.txt")), "content of c\\c1\\c1.txt");
}

// Links are never followed: one in the source tree (a loop, a file link) fails both modes before its
// folder's files are copied, and one standing where a folder below the destination goes fails the copy
// with nothing written through it. The roots themselves may be reached through links.
TEST_F(CopyTreeTest, LinksFailTheWalkAndNothingIsWrittenThroughThem) {
    ASSERT_TRUE(t.temp().writeFile(q("C:\\Outside\\keep.txt"), "keep"));
    const QString outside = host(q("C:\\Outside"));
    const auto outsideEntries = [&] {
        return QDir(outside).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System);
    };
    const auto symlink = [&](const QString& target, const QString& windowsPath) {
        return ::symlink(QFile::encodeName(target).constData(),
                         QFile::encodeName(host(windowsPath)).constData()) == 0;
    };

    ASSERT_TRUE(symlink(host(Source), q("C:\\Link\\ThroughLink")));
    EXPECT_EQ(copyTree(CopyModeCount, 0, q("C:\\Link\\ThroughLink"), Destination), 7);
    EXPECT_EQ(copyTree(CopyModeCopy, 0, q("C:\\Link\\ThroughLink"), Destination), 0);
    EXPECT_EQ(t.temp().readFile(Destination + q("\\c\\c1\\c1.txt")), "content of c\\c1\\c1.txt");
    ASSERT_TRUE(QDir(host(q("C:\\Manuals"))).removeRecursively());

    const struct {
        const char* what;
        const char* target; // relative to the folder the link is in, or "outside"
        const char* link;
    } sources[] = {
        {"loop", "..", "c\\loop"},
        {"folder link", "outside", "B\\out"},
        {"file link", "outside/keep.txt", "a\\A2\\keep.txt"},
    };
    for (const auto& c : sources) {
        SCOPED_TRACE(c.what);
        const QString target = QString::fromUtf8(c.target).replace(q("outside"), outside);
        const QString link = Source + u'\\' + q(c.link);
        ASSERT_TRUE(symlink(target, link));
        EXPECT_EQ(copyTree(CopyModeCount, 0, Source, Destination), -1);
        EXPECT_EQ(copyTree(CopyModeCopy, 0, Source, Destination), -1);
        const QString copied = Destination + u'\\' + q(c.link);
        EXPECT_FALSE(QFileInfo::exists(host(copied))) << "no copy of the link";
        ASSERT_TRUE(QFile::remove(host(link)));
        ASSERT_TRUE(QDir(host(q("C:\\Manuals"))).removeRecursively());
    }

    // A link where a folder of the copy goes: the walk stops there, nothing lands outside.
    ASSERT_TRUE(QDir().mkpath(host(Destination)));
    ASSERT_TRUE(symlink(outside, Destination + q("\\c")));
    EXPECT_EQ(copyTree(CopyModeCopy, 0, Source, Destination), -1);
    EXPECT_EQ(outsideEntries(), QStringList{"keep.txt"});
    EXPECT_EQ(t.temp().readFile(q("C:\\Outside\\keep.txt")), "keep");
}

// A move places every file as the copy does (same order, progress, contents, times; writable targets; an
// existing target in another case or read-only replaced) and leaves the source with its folders only: by
// rename on one file system (the same inode), by copy and removal when the rename is refused or the
// destination lies on another file system.
TEST_F(CopyTreeTest, MovePlacesFilesAsTheCopyAndEmptiesTheSource) {
    const auto inode = [](const QString& hostPath) {
        struct stat info {};
        return ::stat(QFile::encodeName(hostPath).constData(), &info) == 0 ? info.st_ino : ino_t(0);
    };
    const auto device = [](const QString& hostPath) {
        struct stat info {};
        return ::stat(QFile::encodeName(hostPath).constData(), &info) == 0 ? info.st_dev : dev_t(0);
    };
    const QStringList names = {"root.txt", "a\\a.txt", "a\\a1\\a1.txt", "a\\A2\\a2.txt",
                               "B\\b.txt", "c\\c.txt", "c\\c1\\c1.txt"};
    QTemporaryDir otherVolume(QStringLiteral("/dev/shm/marvek-move-XXXXXX"));
    const bool twoVolumes = otherVolume.isValid() && device(otherVolume.path()) != device(host(Source));
    if (twoVolumes) {
        ASSERT_TRUE(QFile::link(otherVolume.path(), t.temp().machine().drivesFolder() + q("/e")));
    }

    const struct {
        const char* what;
        const char* destination;
        bool refuseRename;
        bool renamed;
    } cases[] = {
        {"one file system", "C:\\Manuals\\New\\Base", false, true},
        {"rename refused", "C:\\Manuals\\New\\Base", true, false},
        {"another file system", "E:\\Base", false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const QString destination = q(c.destination);
        if (destination.startsWith(u'E') && !twoVolumes) {
            std::printf("no second file system beside the temporary folder: %s not checked\n", c.what);
            continue;
        }
        for (const QString& name : names)
            ASSERT_TRUE(t.temp().writeFile(Source + u'\\' + name, "content of " + name.toUtf8()));
        ASSERT_TRUE(
            t.os().files().setAttributes(Source + q("\\B\\b.txt"), platform::FILE_ATTRIBUTE_READONLY));
        ASSERT_TRUE(t.os().files().setLastModifiedMs(Source + q("\\root.txt"), 1'000'000'000'000));
        const ino_t rootInode = inode(host(Source + q("\\root.txt")));
        ASSERT_TRUE(t.temp().writeFile(destination + q("\\C\\c.txt"), "old"));
        ASSERT_TRUE(
            t.os().files().setAttributes(destination + q("\\C\\c.txt"), platform::FILE_ATTRIBUTE_READONLY));
        if (c.refuseRename)
            t.os().setFileFaultPolicy(
                std::make_unique<FileFaultFunction>([](platform::FileOperation operation, const QString&) {
                    return operation == platform::FileOperation::Rename;
                }));

        RecordingObserver observer(host(destination));
        EXPECT_EQ(CopyTree(t.ctx, CopyModeCopy, 7, Source, destination, &observer, platform::Placement::Move),
                  0);
        t.os().setFileFaultPolicy(nullptr);
        EXPECT_EQ(observer.progress, QList<qint32>({8, 9, 10, 11, 12, 13, 14}));
        QStringList appeared = observer.copied;
        appeared.removeAll(q("C/c.txt")); // there before
        EXPECT_EQ(appeared, QStringList({"root.txt", "C/c1/c1.txt", "B/b.txt", "a/a.txt", "a/A2/a2.txt",
                                         "a/a1/a1.txt"}));
        for (const QString& name : names) {
            const QString target = destination + u'\\' + QString(name).replace(q("c\\c.txt"), q("C\\c.txt"));
            EXPECT_EQ(t.temp().readFile(target), "content of " + name.toUtf8()) << name.toStdString();
            EXPECT_FALSE(t.os().files().isReadOnly(target)) << name.toStdString();
        }
        EXPECT_FALSE(QFileInfo::exists(host(destination) + q("/c")));
        EXPECT_EQ(t.os().files().lastModifiedMs(destination + q("\\root.txt")), 1'000'000'000'000);
        EXPECT_EQ(inode(host(destination + q("\\root.txt"))) == rootInode, c.renamed);
        EXPECT_FALSE(QDirIterator(host(Source), QDir::Files | QDir::Hidden | QDir::System,
                                  QDirIterator::Subdirectories)
                         .hasNext())
            << "a file left in the source";
        EXPECT_TRUE(QFileInfo(host(Source + q("\\c\\c1"))).isDir()) << "the folders stay";
        ASSERT_TRUE(QDir(host(destination)).removeRecursively());
    }
}

// The command line quotes only the destination, with its trailing backslash; the archiver accepts it,
// blanks in both paths included.
TEST(ExtractorTest, ExtractsIntoTheScratchFolder) {
    EXPECT_EQ(
        ExtractorCommandLine(q("D:\\RM010EN\\install\\condense\\manual.zip"), q("C:\\Program Files\\Tmp")),
        q("x -aoa -hide D:\\RM010EN\\install\\condense\\manual.zip \"C:\\Program Files\\Tmp\\\""));
    marvek::testing::SharedTestContext t;
    const QString archive = q("C:\\CD Root\\RM010EN\\install\\condense\\manual.zip");
    const QString scratch = q("C:\\Program Files\\Marvek Link\\UnZipTemp");
    ASSERT_TRUE(t.temp().writeFile(archive, ""));
    ASSERT_TRUE(marvek::testing::TestArchive()
                    .file("RM010EN/index.html", "<html>")
                    .file("RM010EN/contents/p1.html", "p1")
                    .write(t.temp().host(archive)));
    EXPECT_EQ(RunExtractor(t.ctx, archive, scratch), 0);
    EXPECT_EQ(t.temp().readFile(scratch + q("\\RM010EN\\contents\\p1.html")), "p1");
    EXPECT_EQ(RunExtractor(t.ctx, archive, scratch), 0); // -aoa: overwrites without asking
    EXPECT_NE(RunExtractor(t.ctx, q("C:\\CD Root\\missing.zip"), scratch), 0);
}

const QString TemplatePath = q("C:\\CD\\programs\\setup\\DTX3_NEW.mdb");
const QString CurrentPath = q("C:\\Link\\DTX3.mdb");
const QString NewCopyPath = q("C:\\Link\\DTX3_NEW.mdb");
const QString BackupPath = q("C:\\Link\\BACK_DTX3.mdb");
const QByteArray TemplateRows =
    "INSERT INTO M_system VALUES ('3');INSERT INTO M_order VALUES ('M01','Model A',2),('M02',NULL,1);";
// Layout version 2 had neither M_type nor M_order.
const QByteArray OlderLayout = "DROP TABLE M_type;DROP TABLE M_order;";

QString pubNo(int i) {
    return q("R%1").arg(i, 2, 10, QLatin1Char('0'));
}

// Installed manual i of 40: every fourth a PDF manual whose document is installed, every third marked,
// distinct install times, a memo with an apostrophe.
QString manualValues(int i) {
    return q("('%1','Model %2','M0%3','%2','200%3','K%3','JP','EN','L','tech','2020-02-%4 10:%5:07',"
             "'C:\\Manuals\\%1','%6','memo %2''s')")
        .arg(pubNo(i))
        .arg(i)
        .arg(i % 3)
        .arg(i % 28 + 1, 2, 10, QLatin1Char('0'))
        .arg(i, 2, 10, QLatin1Char('0'))
        .arg(i % 3 == 0 ? "1" : "0");
}

QByteArray manualRows(int from, int to) {
    QStringList values;
    for (int i = from; i <= to; ++i)
        values << manualValues(i);
    return ("INSERT INTO M_manage VALUES " + values.join(',') + ";").toUtf8();
}

// An installer context on a fresh machine: the CD's template beside the program, the installed database
// in C:\Link (not yet open).
class Installer {
public:
    Installer() {
        env.setLocale("0409");
        marvek::testing::SetUpgradeSettings(ctx);
    }
    bool make(const QString& path, const QByteArray& rows) {
        return marvek::testing::MakeSchemaDatabase(env.temp(), path, rows);
    }
    bool exists(const QString& path) { return env.os().files().exists(path); }
    QStringList existing(std::initializer_list<QString> paths) {
        QStringList found;
        for (const QString& path : paths)
            if (exists(path))
                found << path;
        return found;
    }
    // A query's single value through a connection of its own, or nothing.
    std::optional<QString> value(const QString& path, const char* sql) {
        clsMDB mdb(env.temp().machine());
        if (!mdb.Pcls_MdbOpen(path) || mdb.Pcls_MdbCreate(0, q(sql), 4) != 0)
            return std::nullopt;
        return mdb.Pcls_MdbGetField(0, q("V"), q("<null>")).toString();
    }
    std::optional<QString> version(const QString& path) {
        return value(path, "SELECT MDB_Version AS V FROM M_system");
    }
    std::map<QString, ManualRecord> manuals(bool listing) {
        std::map<QString, ManualRecord> result;
        shared::ManualDatabase& db = ctx.db;
        for (qint16 r = listing ? db.OpenManualList() : db.OpenManageScan(); r == 0;
             r = listing ? db.NextManualListRow() : db.NextManageScan())
            result[db.CurrentManual.Pub_No] = db.CurrentManual;
        return result;
    }

    marvek::testing::SharedTestContext env;
    SetupContext ctx{env.os()};
};

class ResultListTest : public ::testing::Test, protected Installer {
protected:
    void SetUp() override {
        ASSERT_TRUE(
            env.temp().writeFile(ctx.shared.SysDirPath + q("\\M09.ini"),
                                 "[MESSAGE]\r\nM035=Model\r\nM037=Year\r\nM038=Language\r\nM052=New\r\n"
                                 "M053=Updated\r\nM054=No change\r\nM055=Result\r\nM064=Finished.\r\n"
                                 "M065=Click OK.\r\nM068=Pub No\r\nM069=Version\r\n"));
    }
    // Appends an entry: "OrderNo,Year,Kubun,Pub_No,Status,Done".
    void add(const char* values) {
        const QStringList v = q(values).split(',');
        shared::ManualEntry& e = ctx.ManualTable.append();
        e.OrderNo = static_cast<qint16>(v[0].toInt());
        e.Year = v[1];
        e.Kubun = v[2];
        e.Pub_No = v[3];
        e.Status = v[4];
        e.Done = v[5];
        e.Model_desc = q("Model ") + v[3];
        e.Lang = q("EN");
        e.Version = q("7");
    }
    QStringList order() {
        QStringList pubNos;
        for (const int index : ResultOrder(ctx.ManualTable))
            pubNos << ctx.ManualTable.entry(index).Pub_No;
        return pubNos;
    }
};

TEST_F(ResultListTest, SortsByOrderNoYearKubunAndKeepsTableOrderForEqualKeys) {
    for (const char* entry :
         {"2,2004,B,A1,1,1", "1,2005,A,A2,1,1", "1,2004,B,A3,1,1", "1,2004,A,A4,1,1", "1,2004,B,A5,1,1",
          "0,2010,A,A6,1,1", "1,x04,A,A7,1,1", "1,,A,A8,1,1", "1, 2004 ,A,A9,1,1"})
        add(entry);
    // A year that is not a whole number counts as 0; blanks around one are ignored.
    EXPECT_EQ(order(), QStringList({"A6", "A7", "A8", "A4", "A9", "A3", "A5", "A2", "A1"}));
    EXPECT_EQ(ResultSortKey(ctx.ManualTable.entry(3), 3, 9), q("012004B03"));
    EXPECT_EQ(ResultSortKey(ctx.ManualTable.entry(7), 7, 9), q("010000A07"));

    // More than 99 entries: the index takes three digits and table order still decides equal keys.
    ctx.ManualTable.clear();
    for (int i = 1; i <= 120; ++i)
        add(qPrintable(q("%1,2004,A,P%2,1,1").arg(i == 100 ? 0 : 1).arg(i)));
    QStringList expected = {"P100"};
    for (int i = 1; i <= 120; ++i) {
        if (i != 100)
            expected << q("P%1").arg(i);
    }
    EXPECT_EQ(order(), expected);
    EXPECT_EQ(ResultSortKey(ctx.ManualTable.entry(7), 7, 120), q("012004A007"));
}

TEST_F(ResultListTest, RowsOfProcessedManualsWithTheYearOrKubunAndTheStatusText) {
    for (const char* entry : {"1,2004,K1,P1,1,1", "1,2004,K1,P2,2,1", "1,2004,K1,P3,3,1", "1,2004,K1,P4,9,1",
                              "1,2004,K1,P5,0,1", "1,2004,K1,P6,1,0"})
        add(entry);
    EXPECT_EQ(ResultHeaders(ctx.shared),
              (ResultRow{"Model", "Year", "Language", "Pub No", "Version", "Result"}));
    const std::vector<ResultRow> english = ResultRows(ctx);
    ASSERT_EQ(english.size(), 5u) << "P6 was not processed";
    EXPECT_EQ(english[0], (ResultRow{"Model P1", "2004", "EN", "P1", "7", "New"}));
    QStringList statuses;
    for (const ResultRow& row : english)
        statuses << row[5];
    EXPECT_EQ(statuses, QStringList({"New", "Updated", "No change", q("取込対象外"), ""}));

    // The message lines are the error lines when either is set.
    EXPECT_EQ(ResultMessageLines(ctx), (std::array<QString, 2>{"Finished.", "Click OK."}));
    ctx.ErrorLine2 = q("M024 text");
    EXPECT_EQ(ResultMessageLines(ctx), (std::array<QString, 2>{"", "M024 text"}));
    ctx.ErrorLine1 = q("first");
    ctx.ErrorLine2.clear();
    EXPECT_EQ(ResultMessageLines(ctx), (std::array<QString, 2>{"first", ""}));

    ctx.shared.LanguageCode = q("11"); // no M11.ini: the English texts
    const std::vector<ResultRow> japanese = ResultRows(ctx);
    EXPECT_EQ(japanese[0][1], q("K1")) << "the classification in Japanese";
    EXPECT_EQ(japanese[3][5], q("取込対象外"));
}

TEST_F(ResultListTest, ButtonEndsTheProgramOrRemovesTheScratchFolderAndRepairs) {
    shared::SharedContext& s = ctx.shared;
    ASSERT_TRUE(env.temp().writeFile(s.CleanupBatchPath, "#!/bin/sh\nrm -rf -- \"$1\"\n"));
    ASSERT_TRUE(env.temp().writeFile(q("C:\\Temp\\UnZipTemp\\RM010EN\\index.html"), "x"));
    ASSERT_TRUE(env.temp().writeFile(q("C:\\Manuals\\K4410AAD\\index.html"), "x"));
    ctx.UnzipTempDir = q("C:\\Temp\\UnZipTemp");
    ASSERT_TRUE(make(
        CurrentPath,
        "INSERT INTO M_manage (Pub_No, InsPath, Adjust_flg) VALUES ('K4410AA','C:\\Manuals\\K4410AA','1');"));

    EXPECT_EQ(FinishResult(ctx), ResultNext::EndProgram);
    EXPECT_TRUE(exists(ctx.UnzipTempDir)) << "the end routine cleans up";
    EXPECT_EQ(env.clock().sleeps(), 0);

    for (const auto& [succeeded, cancelled] : {std::pair(true, false), std::pair(false, true)}) {
        ASSERT_TRUE(env.temp().writeFile(q("C:\\Temp\\UnZipTemp\\x.txt"), "x"));
        ctx.InstallSucceeded = succeeded;
        ctx.CancelRequested = cancelled;
        EXPECT_EQ(FinishResult(ctx), ResultNext::ShowClosingScreen);
        EXPECT_FALSE(exists(ctx.UnzipTempDir));
    }
    EXPECT_EQ(value(CurrentPath, "SELECT InsPath AS V FROM M_manage"), q("C:\\Manuals\\K4410AAD"))
        << "repaired";

    // A scratch folder that is a drive root is refused with the batch's box; the screen goes on.
    ctx.UnzipTempDir = q("C:\\");
    EXPECT_EQ(FinishResult(ctx), ResultNext::ShowClosingScreen);
    EXPECT_EQ(env.ui().asked().size(), 1u);
    EXPECT_TRUE(exists(q("C:\\Manuals\\K4410AAD\\index.html")));
}

TEST(DatabaseUpgrade, VersionsDecideTheRebuildAndTheModelOrderIsAlwaysLoaded) {
    const struct {
        const char* current; // MDB_Version row of the installed database; nullptr: no row
        const char* templ;   // of the template; nullptr: no row; "-": no template file
        bool result;
        const char* after; // version of the installed database afterwards
    } cases[] = {{"3", "3", true, "3"},      {"4", "3", true, "4"},  {nullptr, "3", true, "3"},
                 {"abc", "3", true, "3"},    {"2", "3", true, "3"},  {" 2 ", "12", true, "12"},
                 {"2", nullptr, false, "2"}, {"2", "-", false, "2"}, {"2", "x", false, "2"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.current ? c.current : "none") + "/" + (c.templ ? c.templ : "none"));
        Installer t;
        const QByteArray current =
            c.current ? QByteArray("INSERT INTO M_system VALUES ('") + c.current + "');" : "";
        ASSERT_TRUE(t.make(CurrentPath, current + manualRows(1, 3)));
        if (!c.templ || QByteArray(c.templ) != "-") {
            const QByteArray system =
                c.templ ? QByteArray("INSERT INTO M_system VALUES ('") + c.templ + "');" : "";
            ASSERT_TRUE(t.make(TemplatePath, system + TemplateRows.mid(TemplateRows.indexOf(";") + 1)));
        }
        ASSERT_TRUE(t.ctx.db.Database.Pcls_MdbOpen(CurrentPath));
        EXPECT_EQ(DatabaseUpgrade(t.ctx), c.result);
        EXPECT_TRUE(t.ctx.db.Database.IsOpen());
        EXPECT_EQ(t.version(CurrentPath), q(c.after));
        EXPECT_EQ(t.value(CurrentPath, "SELECT count(*) AS V FROM M_manage"), q("3"));
        const bool readable = c.templ && QByteArray("-x").indexOf(c.templ) < 0;
        EXPECT_EQ(t.ctx.db.OrderTable.count(), readable ? 2 : 0);
        if (readable) {
            EXPECT_EQ(t.ctx.db.FindOrderNo(q("M01")), 2);
        }
        EXPECT_EQ(t.existing({NewCopyPath, BackupPath}), QStringList());
    }
}

class UpgradeTest : public ::testing::Test {
protected:
    // A layout-2 database of 40 manuals on a fresh machine: 35 in the file, then 3 written through the
    // installer's open connection and 2 through another program's connection that closed, all just before
    // the upgrade.
    void build() {
        Installer& t = installer.emplace();
        ASSERT_TRUE(t.make(TemplatePath, TemplateRows));
        ASSERT_TRUE(
            t.make(CurrentPath, "INSERT INTO M_system VALUES ('2');" + OlderLayout + manualRows(1, 35)));
        for (int i = 4; i <= 40; i += 4)
            ASSERT_TRUE(t.env.temp().writeFile(q("C:\\Manuals\\%1\\contents\\%1.pdf").arg(pubNo(i)), "%PDF"));
        ASSERT_TRUE(t.ctx.db.Database.Pcls_MdbOpen(CurrentPath));
        for (int i = 36; i <= 38; ++i)
            ASSERT_EQ(t.ctx.db.Database.Pcls_MdbExecute(QString::fromUtf8(manualRows(i, i)).chopped(1)), 0);
        clsMDB other(t.env.temp().machine());
        ASSERT_TRUE(other.Pcls_MdbOpen(CurrentPath));
        ASSERT_EQ(other.Pcls_MdbExecute(QString::fromUtf8(manualRows(39, 40)).chopped(1)), 0);
        other.Release();
        ASSERT_TRUE(t.exists(CurrentPath + q("-wal"))) << "the last rows are still in the log";
        before = t.manuals(false);
        ASSERT_EQ(before.size(), 40u);
        templateFiles = templateState();
    }
    // The template's content and the files of its folder.
    std::pair<QByteArray, QStringList> templateState() {
        const QString host = installer->env.temp().host(TemplatePath);
        return {installer->env.temp().readFile(TemplatePath),
                QDir(QFileInfo(host).path()).entryList(QDir::Files)};
    }

    // The next start of a program: every connection closed, no faults, the shared recovery, the database
    // opened again.
    static void nextStart(Installer& t) {
        t.ctx.db.Database.Release();
        t.ctx.db.NewDatabase.Release();
        t.env.os().setFileFaultPolicy(nullptr);
        shared::RestoreDatabaseBackup(t.ctx.shared, q("C:\\Link"), q("DTX3.mdb"));
        ASSERT_TRUE(t.ctx.db.Database.Pcls_MdbOpen(CurrentPath));
    }

    std::optional<Installer> installer;
    std::map<QString, ManualRecord> before;
    std::pair<QByteArray, QStringList> templateFiles;
};

TEST_F(UpgradeTest, RebuildCopiesEveryRowWithItsComputedPdfFlagAndLeavesOnlyTheNewDatabase) {
    ASSERT_NO_FATAL_FAILURE(build());
    Installer& t = *installer;
    ASSERT_TRUE(DatabaseUpgrade(t.ctx));
    ASSERT_TRUE(t.ctx.db.Database.IsOpen());
    EXPECT_EQ(ReadSchemaVersion(t.ctx.db, SchemaSource::Database), 3);
    EXPECT_EQ(t.ctx.db.OrderTable.count(), 2);
    const std::map<QString, ManualRecord> after = t.manuals(true); // the PDF flag from M_type
    EXPECT_EQ(after, before) << "every field, InsDate to the second, Memo_txt with its apostrophe";
    EXPECT_EQ(t.value(CurrentPath, "SELECT group_concat(Pub_No) AS V FROM M_type WHERE Pdf_flg = '1'"),
              q("R04,R08,R12,R16,R20,R24,R28,R32,R36,R40"));
    EXPECT_EQ(t.value(CurrentPath, "SELECT count(*) AS V FROM M_type"), q("40"));
    EXPECT_EQ(t.value(CurrentPath, "SELECT count(*) AS V FROM M_order"), q("2"));
    EXPECT_EQ(t.existing({NewCopyPath, BackupPath, NewCopyPath + q("-wal"), q("C:\\Link\\DTX3_NEW.ldb")}),
              QStringList());
    EXPECT_EQ(templateState(), templateFiles);
    EXPECT_TRUE(t.env.ui().asked().empty());
    if (shared::IsNtfsVolume(t.ctx.shared, CurrentPath) && !t.ctx.shared.UsersGroupName.isEmpty()) {
        const auto entries = platform::readAccessEntries(t.env.temp().host(CurrentPath)).entries;
        EXPECT_TRUE(std::any_of(entries.begin(), entries.end(), [&](const platform::AccessEntry& e) {
            return e.trustee == t.ctx.shared.UsersGroupName && shared::AccessMaskLetters(e.mask) == q("All");
        }));
    }
}

// A failed upgrade keeps every manual and never changes the template: the old database stays (open, or
// rolled back from the backup when the swapped one does not open), or, when only the access grant
// failed, the new one stands with the backup beside it.
TEST_F(UpgradeTest, FailuresKeepEveryManual) {
    enum class Fault { RowCopy, InUse, NewDatabaseDamaged, AccessGrant };
    const struct {
        const char* name;
        Fault fault;
        bool stillOpen;
        const char* version; // of the installed database afterwards
        QStringList left;    // of the new copy, its log and the backup
    } cases[] = {
        {"row copy fails", Fault::RowCopy, true, "2", {}},
        {"in use by another connection", Fault::InUse, true, "2", {}},
        {"swapped database does not open", Fault::NewDatabaseDamaged, false, "2", {}},
        {"access grant fails", Fault::AccessGrant, false, "3", {BackupPath}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_NO_FATAL_FAILURE(build());
        Installer& t = *installer;
        std::optional<clsMDB> other;
        switch (c.fault) {
        case Fault::RowCopy: // a template that already holds R05: its insert fails half-way through
            ASSERT_TRUE(QFile::remove(t.env.temp().host(TemplatePath)));
            ASSERT_TRUE(t.make(TemplatePath, TemplateRows + "INSERT INTO M_manage (Pub_No) VALUES ('R05');"));
            templateFiles = templateState();
            break;
        case Fault::InUse:
            ASSERT_TRUE(other.emplace(t.env.temp().machine()).Pcls_MdbOpen(CurrentPath));
            break;
        case Fault::NewDatabaseDamaged: // at the wait before the new database is opened
            t.env.clock().onSleep = [&t] {
                if (t.exists(BackupPath) && t.exists(CurrentPath) && !t.exists(NewCopyPath))
                    t.env.temp().writeFile(CurrentPath, "damaged");
            };
            break;
        case Fault::AccessGrant:
            if (!shared::IsNtfsVolume(t.ctx.shared, CurrentPath))
                continue; // no access lists on this file system
            t.ctx.shared.UsersGroupName = q("no-such-group-of-this-test");
            break;
        }
        EXPECT_FALSE(DatabaseUpgrade(t.ctx));
        EXPECT_EQ(t.ctx.db.Database.IsOpen(), c.stillOpen);
        t.env.clock().onSleep = nullptr;
        if (other)
            other->Release();
        EXPECT_EQ(t.existing({NewCopyPath, NewCopyPath + q("-wal"), BackupPath}), c.left);
        EXPECT_EQ(t.version(CurrentPath), q(c.version));
        EXPECT_EQ(t.value(CurrentPath, "SELECT count(*) AS V FROM M_manage"), q("40"));
        if (!c.left.isEmpty()) {
            EXPECT_EQ(t.version(BackupPath), q("2"));
            EXPECT_EQ(t.value(BackupPath, "SELECT count(*) AS V FROM M_manage"), q("40"));
        }
        EXPECT_EQ(templateState(), templateFiles);
        EXPECT_EQ(t.env.ui().asked().size(), c.fault == Fault::AccessGrant ? 1u : 0u)
            << "the grant shows the system's error text";
        if (!c.stillOpen) {
            ASSERT_TRUE(t.ctx.db.Database.Pcls_MdbOpen(CurrentPath));
        }
        EXPECT_EQ(t.manuals(c.fault == Fault::AccessGrant), before);
    }
}

// Every operation of the upgrade that changes a file fails once, in turn (a full disk, an I/O error).
// The upgrade answers False with the old database in place and open, or True with the new one open; the
// next start finds every manual with its memo.
TEST_F(UpgradeTest, EachFileOperationFailingInTurnKeepsEveryManual) {
    int failing = 0;
    for (bool faulted = true; faulted;) {
        ++failing;
        ASSERT_NO_FATAL_FAILURE(build());
        Installer& t = *installer;
        int operations = 0;
        QString failed;
        bool backupRemoval = false;
        t.env.os().setFileFaultPolicy(
            std::make_unique<FileFaultFunction>([&](platform::FileOperation operation, const QString& path) {
                if (++operations != failing)
                    return false;
                failed = path;
                backupRemoval = operation == platform::FileOperation::Delete && path == BackupPath;
                return true;
            }));
        const bool upgraded = DatabaseUpgrade(t.ctx);
        faulted = !failed.isEmpty();
        SCOPED_TRACE("operation " + std::to_string(failing) + " on " + failed.toStdString());
        EXPECT_TRUE(t.ctx.db.Database.IsOpen());
        EXPECT_EQ(ReadSchemaVersion(t.ctx.db, SchemaSource::Database), upgraded ? 3 : 2);
        EXPECT_EQ(t.manuals(false), before);
        EXPECT_EQ(upgraded, !faulted || backupRemoval) << "only the backup's removal may fail";
        ASSERT_NO_FATAL_FAILURE(nextStart(t));
        EXPECT_EQ(t.version(CurrentPath), q(upgraded ? "3" : "2"));
        EXPECT_EQ(t.manuals(false), before);
        EXPECT_EQ(templateState(), templateFiles);
    }
    EXPECT_GE(failing, 6) << "the new copy, the backup, the swap and the removals each failed once";
}

// The upgrade as a process of its own, killed at each of its steps (before every file operation and every
// wait): the next start finds a whole database with every manual, in the old layout or the new.
TEST_F(UpgradeTest, KilledAtEachStepTheNextStartFindsEveryManual) {
    int step = 0;
    for (bool killed = true; killed;) {
        ++step;
        SCOPED_TRACE("killed at step " + std::to_string(step));
        ASSERT_NO_FATAL_FAILURE(build());
        Installer& t = *installer;
        t.ctx.db.Database.Release();
        QProcess driver;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(q("MARVEK_KILL_AT_STEP"), QString::number(step));
        driver.setProcessEnvironment(environment);
        driver.start(BuildPath("UPGRADE_DRIVER"), {});
        ASSERT_TRUE(driver.waitForFinished(60000));
        killed = driver.exitStatus() == QProcess::CrashExit;
        if (!killed) {
            EXPECT_EQ(driver.exitCode(), 0) << driver.readAllStandardError().toStdString();
        }
        ASSERT_NO_FATAL_FAILURE(nextStart(t));
        const std::optional<QString> version = t.version(CurrentPath);
        EXPECT_TRUE(version == q("2") || version == q("3"));
        EXPECT_EQ(t.manuals(false), before);
        EXPECT_EQ(templateState(), templateFiles);
    }
    EXPECT_GE(step, 6);
}

// A new copy that is the installed database itself (the same name, another case of it, another spelling
// of it, a link to it): the upgrade is refused before any file is touched (False: M071 / M024), and the
// database stays open with every manual.
TEST_F(UpgradeTest, NewCopyThatIsTheInstalledDatabaseIsRefused) {
    for (const char* name : {"DTX3.mdb", "dtx3.MDB", "DTX3.mdb.", "alias.mdb"}) {
        SCOPED_TRACE(name);
        ASSERT_NO_FATAL_FAILURE(build());
        Installer& t = *installer;
        t.ctx.shared.systemParameters.DTX3_NEW_MDB_NAME = q(name);
        ASSERT_TRUE(t.make(t.ctx.shared.ProgramFolder + u'\\' + q(name), TemplateRows));
        if (q(name) == q("alias.mdb")) {
            ASSERT_TRUE(QFile::link(t.env.temp().host(CurrentPath),
                                    t.env.temp().host(q("C:\\Link")) + q("/alias.mdb")));
        }
        const QDir link(t.env.temp().host(q("C:\\Link")));
        const QStringList files = link.entryList(QDir::Files | QDir::System);
        const QByteArray current = t.env.temp().readFile(CurrentPath);

        EXPECT_FALSE(DatabaseUpgrade(t.ctx));
        EXPECT_TRUE(t.ctx.db.Database.IsOpen());
        EXPECT_EQ(link.entryList(QDir::Files | QDir::System), files);
        EXPECT_EQ(t.env.temp().readFile(CurrentPath), current);
        EXPECT_EQ(t.manuals(false), before);
        EXPECT_EQ(t.version(CurrentPath), q("2"));
    }
}

class RepairTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* file :
             {"K4410AA\\contents\\a.html", "K4410AAD\\index.html", "K4470AA\\contents\\a.html",
              "K4470AAA\\contents\\a.html", "N1\\index.html", "K4410AB\\index.html"})
            ASSERT_TRUE(t.env.temp().writeFile(q("C:\\Manuals\\") + q(file), "x"));
        ASSERT_TRUE(t.make(CurrentPath,
                           "INSERT INTO M_manage (Pub_No, InsPath, Adjust_flg) VALUES "
                           "('K4410AA','C:\\Manuals\\K4410AA','1'),('K4470AA','C:\\Manuals\\K4470AA','1'),"
                           "('N1','C:\\Manuals\\N1','0'),('K4410AB','C:\\Manuals\\K4410AB','1'),"
                           "('G1','C:\\Manuals\\Gone','0'),('F1','F:\\kernel','0');"));
        ASSERT_TRUE(t.ctx.db.Database.Pcls_MdbOpen(CurrentPath));
    }
    QString row(const char* pubNo) {
        return t
            .value(CurrentPath,
                   qPrintable(q("SELECT InsPath || ' ' || Adjust_flg AS V FROM M_manage WHERE Pub_No = '%1'")
                                  .arg(q(pubNo))))
            .value_or(q("<none>"));
    }
    Installer t;
};

TEST_F(RepairTest, SpecialPublicationMovesToItsFolderAndEveryFolderGetsUsersAccess) {
    // F: is a drive without access lists.
    const bool fatDrive = QFileInfo(q("/proc/sys/kernel")).isDir() &&
                          !platform::supportsAccessLists(q("/proc/sys")) &&
                          t.env.temp().machine().mapDrive('F', q("/proc/sys"));
    ASSERT_TRUE(RepairInstalledManuals(t.ctx));
    EXPECT_EQ(row("K4410AA"), q("C:\\Manuals\\K4410AAD 0"));
    EXPECT_EQ(row("K4470AA"), q("C:\\Manuals\\K4470AA 1")) << "its folder lacks index.html";
    EXPECT_EQ(row("K4410AB"), q("C:\\Manuals\\K4410AB 1")) << "not a special publication";
    EXPECT_EQ(row("F1"), q("F:\\kernel 0"));
    EXPECT_FALSE(t.ctx.db.NewDatabase.IsOpen());
    EXPECT_TRUE(t.env.ui().asked().empty())
        << (fatDrive ? "the drive without access lists is not asked" : "");
    if (!t.ctx.shared.UsersGroupName.isEmpty() && shared::IsNtfsVolume(t.ctx.shared, q("C:\\Manuals"))) {
        for (const char* folder : {"K4410AAD", "K4470AA", "N1", "K4410AB"})
            EXPECT_TRUE(shared::HasUsersFolderAccess(t.ctx.shared, q("C:\\Manuals\\") + q(folder))) << folder;
        EXPECT_FALSE(shared::HasUsersFolderAccess(t.ctx.shared, q("C:\\Manuals\\K4410AA")))
            << "no longer registered";
    }

    t.ctx.DatabasePath = q("C:\\Link\\missing.mdb");
    EXPECT_FALSE(RepairInstalledManuals(t.ctx));
}

} // namespace
