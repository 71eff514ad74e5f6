#include "platform/Acl.h"
#include "setup/engine/DatabaseUpgrade.h"
#include "shared/access/AccessControl.h"
#include "shared/testing/SchemaDatabase.h"
#include "shared/testing/SharedTestContext.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <gtest/gtest.h>
#include <map>
#include <optional>

using namespace marvek;
using namespace marvek::setup;
using marvek::shared::clsMDB;
using marvek::shared::ManualRecord;

namespace {

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
        shared::SharedContext& s = ctx.shared;
        s.setProgramFolder(q("C:\\CD\\programs\\setup"));
        s.ManualLinkDir = q("C:\\Link");
        s.systemParameters.DTX3_MDB_NAME = q("DTX3.mdb");
        s.systemParameters.DTX3_NEW_MDB_NAME = q("DTX3_NEW.mdb");
        s.UserName = q("tech");
        s.UsersGroupName = shared::GetUsersGroupName();
        s.LanguageCode = q("09");
        ctx.DatabasePath = CurrentPath;
    }
    bool make(const QString& path, const QByteArray& rows) {
        return marvek::testing::MakeSchemaDatabase(env.temp(), path, rows);
    }
    bool exists(const QString& path) { return env.os().files().exists(path); }
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
        for (const QString& left : {NewCopyPath, BackupPath})
            EXPECT_FALSE(t.exists(left)) << left.toStdString();
    }
}

class UpgradeTest : public ::testing::Test {
protected:
    // A layout-2 database of 40 manuals: 35 in the file, then 3 written through the installer's open
    // connection and 2 through another program's connection that closed, all just before the upgrade.
    void SetUp() override {
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
        templateHash = hash(TemplatePath);
        templateFolder = QDir(QFileInfo(t.env.temp().host(TemplatePath)).path()).entryList(QDir::Files);
    }
    QByteArray hash(const QString& path) {
        return QCryptographicHash::hash(t.env.temp().readFile(path), QCryptographicHash::Sha256);
    }
    void expectTemplateUnchanged() {
        EXPECT_EQ(hash(TemplatePath), templateHash);
        EXPECT_EQ(QDir(QFileInfo(t.env.temp().host(TemplatePath)).path()).entryList(QDir::Files),
                  templateFolder);
    }
    // The installed database at path holds the 40 manuals of layout 2.
    void expectOldDatabase() {
        EXPECT_EQ(t.version(CurrentPath), q("2"));
        EXPECT_EQ(t.value(CurrentPath, "SELECT count(*) AS V FROM M_manage"), q("40"));
    }

    Installer t;
    std::map<QString, ManualRecord> before;
    QByteArray templateHash;
    QStringList templateFolder;
};

TEST_F(UpgradeTest, RebuildCopiesEveryRowWithItsComputedPdfFlagAndLeavesOnlyTheNewDatabase) {
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
    for (const QString& gone :
         {NewCopyPath, BackupPath, NewCopyPath + q("-wal"), q("C:\\Link\\DTX3_NEW.ldb")})
        EXPECT_FALSE(t.exists(gone)) << gone.toStdString();
    expectTemplateUnchanged();
    EXPECT_TRUE(t.env.ui().asked().empty());
    if (shared::IsNtfsVolume(t.ctx.shared, CurrentPath) && !t.ctx.shared.UsersGroupName.isEmpty()) {
        const auto entries = platform::readAccessEntries(t.env.temp().host(CurrentPath)).entries;
        EXPECT_TRUE(std::any_of(entries.begin(), entries.end(), [&](const platform::AccessEntry& e) {
            return e.trustee == t.ctx.shared.UsersGroupName && shared::AccessMaskLetters(e.mask) == q("All");
        }));
    }
}

TEST_F(UpgradeTest, FailedRowCopyDeletesTheNewCopyAndLeavesTheDatabaseOpen) {
    // A template that already holds R05: its insert fails half-way through the copy.
    ASSERT_TRUE(QFile::remove(t.env.temp().host(TemplatePath)));
    ASSERT_TRUE(t.make(TemplatePath, TemplateRows + "INSERT INTO M_manage (Pub_No) VALUES ('R05');"));
    templateHash = hash(TemplatePath);
    EXPECT_FALSE(DatabaseUpgrade(t.ctx));
    EXPECT_TRUE(t.ctx.db.Database.IsOpen());
    EXPECT_EQ(t.manuals(false), before);
    EXPECT_EQ(ReadSchemaVersion(t.ctx.db, SchemaSource::Database), 2);
    for (const QString& gone : {NewCopyPath, BackupPath, NewCopyPath + q("-wal")})
        EXPECT_FALSE(t.exists(gone)) << gone.toStdString();
    expectTemplateUnchanged();
}

TEST_F(UpgradeTest, DatabaseInUseByAnotherConnectionIsNeitherCopiedNorSwapped) {
    clsMDB other(t.env.temp().machine());
    ASSERT_TRUE(other.Pcls_MdbOpen(CurrentPath));
    EXPECT_FALSE(DatabaseUpgrade(t.ctx));
    EXPECT_TRUE(t.ctx.db.Database.IsOpen());
    EXPECT_EQ(t.manuals(false), before);
    for (const QString& gone : {NewCopyPath, BackupPath})
        EXPECT_FALSE(t.exists(gone)) << gone.toStdString();
    other.Release();
    expectOldDatabase();
}

TEST_F(UpgradeTest, SwappedDatabaseThatDoesNotOpenIsRolledBackToTheBackup) {
    // At the wait before the new database is opened, it is damaged.
    t.env.clock().onSleep = [this] {
        if (t.exists(BackupPath) && t.exists(CurrentPath) && !t.exists(NewCopyPath))
            t.env.temp().writeFile(CurrentPath, "damaged");
    };
    EXPECT_FALSE(DatabaseUpgrade(t.ctx));
    EXPECT_FALSE(t.ctx.db.Database.IsOpen()) << "the run stops";
    t.env.clock().onSleep = nullptr;
    expectOldDatabase(); // with the five rows that were in the log when the upgrade began
    ASSERT_TRUE(t.ctx.db.Database.Pcls_MdbOpen(CurrentPath));
    EXPECT_EQ(t.manuals(false), before);
    for (const QString& gone : {NewCopyPath, BackupPath})
        EXPECT_FALSE(t.exists(gone)) << gone.toStdString();
    expectTemplateUnchanged();
}

TEST_F(UpgradeTest, FailedAccessGrantKeepsTheNewDatabaseAndTheBackup) {
    if (!shared::IsNtfsVolume(t.ctx.shared, CurrentPath))
        GTEST_SKIP() << "no access lists on this file system";
    t.ctx.shared.UsersGroupName = q("no-such-group-of-this-test");
    EXPECT_FALSE(DatabaseUpgrade(t.ctx));
    EXPECT_FALSE(t.ctx.db.Database.IsOpen());
    EXPECT_EQ(t.version(CurrentPath), q("3"));
    EXPECT_EQ(t.value(CurrentPath, "SELECT count(*) AS V FROM M_type"), q("40"));
    EXPECT_EQ(t.version(BackupPath), q("2"));
    EXPECT_EQ(t.value(BackupPath, "SELECT count(*) AS V FROM M_manage"), q("40"));
    EXPECT_FALSE(t.exists(NewCopyPath));
    EXPECT_EQ(t.env.ui().asked().size(), 1u) << "the grant shows the system's error text";
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
