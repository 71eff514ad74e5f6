#include "DatabaseTestSupport.h"
#include "shared/database/JetProvider.h"
#include "shared/database/clsMDB.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <gtest/gtest.h>

namespace mt = marvek::testing;
namespace shared = marvek::shared;
namespace platform = marvek::platform;
using shared::clsMDB;

namespace {

const QString DatabasePath = QStringLiteral("C:\\Link\\DTX3.mdb");

class ClsMdbTest : public ::testing::Test {
protected:
    void SetUp() override {
        QDir().mkpath(temp().host(QStringLiteral("C:\\Link")));
        ASSERT_TRUE(mt::MakeSchemaDatabase(host(), "INSERT INTO M_order VALUES ('M1','one',1);"
                                                   "INSERT INTO M_order VALUES ('M2',NULL,2);"
                                                   "INSERT INTO M_order VALUES ('M3','three',NULL);"));
    }
    mt::TempMachine& temp() { return env.temp(); }
    QString host() { return temp().host(DatabasePath); }
    QString lockFile() { return temp().host(QStringLiteral("C:\\Link\\DTX3.ldb")); }

    mt::SharedTestContext env;
};

TEST_F(ClsMdbTest, OpenSucceedsOnlyOnAnExistingDatabaseFile) {
    clsMDB mdb(temp().machine());
    EXPECT_FALSE(mdb.Pcls_MdbOpen(QStringLiteral("C:\\Link\\missing.mdb")));
    EXPECT_FALSE(QFileInfo::exists(temp().host(QStringLiteral("C:\\Link\\missing.mdb")))) << "never created";
    EXPECT_FALSE(mdb.Pcls_MdbOpen(QStringLiteral("Q:\\DTX3.mdb"))) << "no such drive";

    ASSERT_TRUE(temp().writeFile(QStringLiteral("C:\\Link\\text.mdb"), "not a database at all"));
    EXPECT_FALSE(mdb.Pcls_MdbOpen(QStringLiteral("C:\\Link\\text.mdb")));
    EXPECT_FALSE(QFileInfo::exists(temp().host(QStringLiteral("C:\\Link\\text.ldb")))) << "lock released";

    EXPECT_TRUE(mdb.Pcls_MdbOpen(DatabasePath));
    EXPECT_TRUE(mdb.IsOpen());
    EXPECT_EQ(mdb.Pcls_MdbCreate(0, QStringLiteral("PRAGMA journal_mode"), 4), 0);
    EXPECT_EQ(mdb.Pcls_MdbGetField(0, QStringLiteral("journal_mode"), QString()).toString(),
              QStringLiteral("wal"));
}

TEST_F(ClsMdbTest, ProviderAcceptsOnlyTheJetConnectionString) {
    QString error;
    const QString suffix = QStringLiteral(";Data Source=") + DatabasePath;
    EXPECT_FALSE(shared::JetConnection::open(QStringLiteral("Provider=Microsoft.ACE.OLEDB.12.0") + suffix,
                                             temp().machine(), 100, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(shared::JetConnection::open(QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;User ID=Admin"),
                                             temp().machine(), 100, &error));
    EXPECT_TRUE(shared::JetConnection::open(shared::JetConnectionString(DatabasePath), temp().machine(), 100,
                                            &error));
    EXPECT_EQ(shared::JetConnectionString(QStringLiteral("C:\\a.mdb")),
              QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=C:\\a.mdb"));
}

TEST_F(ClsMdbTest, ExecuteReturnsZeroOnSuccessAndMinusOneOnError) {
    clsMDB mdb(temp().machine());
    EXPECT_EQ(mdb.Pcls_MdbExecute(QStringLiteral("DELETE FROM M_order")), -1) << "not open";
    ASSERT_TRUE(mdb.Pcls_MdbOpen(DatabasePath));
    EXPECT_EQ(mdb.Pcls_MdbExecute(QStringLiteral("INSERT INTO M_type VALUES ('A','1')")), 0);
    EXPECT_EQ(mdb.Pcls_MdbExecute(QStringLiteral("INSERT INTO M_type VALUES ('a','0')")), -1)
        << "key without case";
    EXPECT_EQ(mdb.Pcls_MdbExecute(QStringLiteral("INSERT INTO M_nothing VALUES (1)")), -1);
    EXPECT_EQ(mdb.Pcls_MdbExecute(QStringLiteral("UPDATE M_type SET Pdf_flg = '0' WHERE Pub_No = 'zz';")), 0);
    EXPECT_EQ(mdb.Pcls_MdbExecute(QString()), -1);
    // A second statement in the text is refused and does not run.
    EXPECT_EQ(mdb.Pcls_MdbExecute(QStringLiteral("DELETE FROM M_type WHERE Pub_No = 'x'; DROP TABLE M_type")),
              -1);
    EXPECT_EQ(mdb.Pcls_MdbCreate(1, QStringLiteral("SELECT * FROM M_type"), 4), 0);
    EXPECT_FALSE(mdb.LastError().isEmpty());
}

TEST_F(ClsMdbTest, CreateAndMoveNextWalkRowsWithTheirResultSenses) {
    clsMDB mdb(temp().machine());
    ASSERT_TRUE(mdb.Pcls_MdbOpen(DatabasePath));
    ASSERT_EQ(mdb.Pcls_MdbCreate(7, QStringLiteral("SELECT * FROM M_order ORDER BY Model_ID"), 4), 0);
    EXPECT_EQ(mdb.Pcls_MdbGetField(7, QStringLiteral("model_id"), QString()).toString(),
              QStringLiteral("M1"));
    EXPECT_EQ(mdb.Pcls_MdbMoveNext(7), 0);
    EXPECT_EQ(mdb.Pcls_MdbGetField(7, QStringLiteral("Model_desc"), QStringLiteral("dflt")).toString(),
              QStringLiteral("dflt"))
        << "null gives DefValue";
    EXPECT_EQ(mdb.Pcls_MdbMoveNext(7), 0);
    EXPECT_EQ(mdb.Pcls_MdbGetField(7, QStringLiteral("OrderNo"), 0).toInt(), 0);
    EXPECT_EQ(mdb.Pcls_MdbMoveNext(7), 1) << "just passed the last row";
    EXPECT_FALSE(mdb.Pcls_MdbGetField(7, QStringLiteral("Model_ID"), QStringLiteral("d")).isValid());
    EXPECT_EQ(mdb.Pcls_MdbMoveNext(7), -1);
    EXPECT_EQ(mdb.Pcls_MdbMoveNext(7), -1);

    EXPECT_EQ(mdb.Pcls_MdbCreate(1, QStringLiteral("SELECT * FROM M_order WHERE Model_ID = 'none'"), 4), 1);
    EXPECT_EQ(mdb.Pcls_MdbMoveNext(1), -1) << "an empty result is already past its end";

    EXPECT_EQ(mdb.Pcls_MdbCreate(1, QStringLiteral("SELECT nonsense FROM M_order"), 4), -1);
    EXPECT_EQ(mdb.Pcls_MdbMoveNext(1), -1) << "a failed query leaves no rows in the slot";
    EXPECT_EQ(mdb.Pcls_MdbCreate(11, QStringLiteral("SELECT * FROM M_order"), 4), -1);
    EXPECT_EQ(mdb.Pcls_MdbCreate(-1, QStringLiteral("SELECT * FROM M_order"), 4), -1);
    EXPECT_EQ(mdb.Pcls_MdbMoveNext(11), -1);
    EXPECT_EQ(mdb.Pcls_MdbMoveNext(4), -1) << "a slot never used";
    EXPECT_FALSE(mdb.Pcls_MdbGetField(4, QStringLiteral("Model_ID"), QStringLiteral("d")).isValid());
}

TEST_F(ClsMdbTest, SlotsKeepTheirRowsWhileOtherSlotsAreQueried) {
    clsMDB mdb(temp().machine());
    ASSERT_TRUE(mdb.Pcls_MdbOpen(DatabasePath));
    QStringList walked;
    for (qint16 r =
             mdb.Pcls_MdbCreate(2, QStringLiteral("SELECT Model_ID FROM M_order ORDER BY Model_ID"), 4);
         r == 0; r = mdb.Pcls_MdbMoveNext(2)) {
        const QString id = mdb.Pcls_MdbGetField(2, QStringLiteral("Model_ID"), QString()).toString();
        ASSERT_EQ(
            mdb.Pcls_MdbCreate(1, QStringLiteral("SELECT * FROM M_order WHERE Model_ID = '%1'").arg(id), 4),
            0);
        // Writing between the steps of the walk does not disturb it either.
        ASSERT_EQ(mdb.Pcls_MdbExecute(QStringLiteral("UPDATE M_order SET OrderNo = 9 WHERE Model_ID = 'M3'")),
                  0);
        walked << id;
    }
    EXPECT_EQ(walked, QStringList({"M1", "M2", "M3"}));
}

TEST_F(ClsMdbTest, DatesComeBackAsDateTimesAndTransactionsCommitOrRollBack) {
    clsMDB mdb(temp().machine());
    ASSERT_TRUE(mdb.Pcls_MdbOpen(DatabasePath));
    EXPECT_FALSE(mdb.Pcls_MdbCommitTrans()) << "no transaction";
    ASSERT_TRUE(mdb.Pcls_MdbBeginTrans());
    EXPECT_EQ(mdb.Pcls_MdbExecute(QStringLiteral("INSERT INTO M_manage (Pub_No) VALUES ('R')")), 0);
    EXPECT_TRUE(mdb.Pcls_MdbRollback());
    EXPECT_EQ(mdb.Pcls_MdbCreate(1, QStringLiteral("SELECT * FROM M_manage"), 4), 1);

    ASSERT_TRUE(mdb.Pcls_MdbBeginTrans());
    EXPECT_EQ(mdb.Pcls_MdbExecute(QStringLiteral(
                  "INSERT INTO M_manage (Pub_No, InsDate) VALUES ('C', '2024-03-05 17:08:09')")),
              0);
    EXPECT_TRUE(mdb.Pcls_MdbCommitTrans());
    ASSERT_EQ(mdb.Pcls_MdbCreate(1, QStringLiteral("SELECT * FROM M_manage"), 4), 0);
    EXPECT_EQ(mdb.Pcls_MdbGetField(1, QStringLiteral("InsDate"), QVariant()).toDateTime(),
              QDateTime(QDate(2024, 3, 5), QTime(17, 8, 9)));

    mdb.Release();
    EXPECT_EQ(mdb.Pcls_MdbMoveNext(1), -1) << "released with the connection";
    EXPECT_TRUE(mdb.Pcls_MdbOpen(DatabasePath)) << "the object opens again";
}

TEST(JetLockFileName, ReplacesEveryMdbKeepingCase) {
    EXPECT_EQ(shared::JetLockFileName(QStringLiteral("DTX3.mdb")), QStringLiteral("DTX3.ldb"));
    EXPECT_EQ(shared::JetLockFileName(QStringLiteral("DTX3.MDB")), QStringLiteral("DTX3.LDB"));
    EXPECT_EQ(shared::JetLockFileName(QStringLiteral("mdbdata.Mdb")), QStringLiteral("ldbdata.Ldb"));
    EXPECT_EQ(shared::JetLockFileName(QStringLiteral("manual.db")), QStringLiteral("manual.ldb"));
    EXPECT_EQ(shared::JetLockFileName(QStringLiteral("manual")), QStringLiteral("manual.ldb"));
}

TEST_F(ClsMdbTest, LockFileLivesWhileAnyConnectionIsOpen) {
    EXPECT_FALSE(QFileInfo::exists(lockFile()));
    {
        clsMDB first(temp().machine());
        clsMDB second(temp().machine());
        ASSERT_TRUE(first.Pcls_MdbOpen(DatabasePath));
        EXPECT_TRUE(QFileInfo::exists(lockFile()));
        ASSERT_TRUE(second.Pcls_MdbOpen(DatabasePath));
        first.Release();
        EXPECT_TRUE(QFileInfo::exists(lockFile())) << "the second connection is still open";
        second.Release();
        EXPECT_FALSE(QFileInfo::exists(lockFile()));

        // A lock file left behind by a program that was killed goes with the next last close.
        ASSERT_TRUE(temp().writeFile(QStringLiteral("C:\\Link\\DTX3.ldb"), "stale"));
        ASSERT_TRUE(first.Pcls_MdbOpen(DatabasePath));
    }
    EXPECT_FALSE(QFileInfo::exists(lockFile())) << "closed by the destructor";
}

TEST(Cdate, ParsesTheRegionalFormatsAndRefusesImpossibleDates) {
    const QString jaDate = QStringLiteral("yyyy/MM/dd"), jaTime = QStringLiteral("H:mm:ss");
    const QString enDate = QStringLiteral("M/d/yyyy"), enTime = QStringLiteral("h:mm:ss AP");
    const auto ja = [&](const char* text) {
        return shared::CdateToIso(QString::fromUtf8(text), jaDate, jaTime);
    };
    const auto en = [&](const char* text) {
        return shared::CdateToIso(QString::fromUtf8(text), enDate, enTime);
    };

    EXPECT_EQ(ja("2024/01/02 9:05:03"), QStringLiteral("2024-01-02 09:05:03"));
    EXPECT_EQ(ja("2024/12/31 23:59:59"), QStringLiteral("2024-12-31 23:59:59"));
    EXPECT_EQ(ja("1899/12/30 0:00:00"), QStringLiteral("1899-12-30 00:00:00"));
    EXPECT_EQ(ja("2024/01/02"), QStringLiteral("2024-01-02 00:00:00"));
    EXPECT_EQ(en("1/2/2024 9:05:03 PM"), QStringLiteral("2024-01-02 21:05:03"));
    EXPECT_EQ(en("12/31/2024 12:00:00 AM"), QStringLiteral("2024-12-31 00:00:00"));
    EXPECT_EQ(en("2024-01-02 21:05:03"), QStringLiteral("2024-01-02 21:05:03")) << "ISO is always understood";

    EXPECT_FALSE(ja("2023/02/29 1:00:00"));
    EXPECT_FALSE(ja("2024/13/01 1:00:00"));
    EXPECT_FALSE(ja("2024/01/02 25:00:00"));
    EXPECT_FALSE(en("31/12/2024 1:00:00 PM")) << "day and month swapped";
    EXPECT_FALSE(ja("1/2/2024 9:05:03 PM")) << "another locale's text";
    EXPECT_FALSE(ja(""));
}

TEST_F(ClsMdbTest, CdateInStatementsFollowsTheUserLocale) {
    const auto storedAfter = [&](const QString& insert) {
        clsMDB mdb(temp().machine());
        EXPECT_TRUE(mdb.Pcls_MdbOpen(DatabasePath));
        mdb.Pcls_MdbExecute(QStringLiteral("DELETE FROM M_manage"));
        const qint16 result = mdb.Pcls_MdbExecute(insert);
        mdb.Pcls_MdbCreate(1, QStringLiteral("SELECT typeof(InsDate) AS T, '' || InsDate AS D FROM M_manage"),
                           4);
        return std::make_pair(result, mdb.Pcls_MdbGetField(1, QStringLiteral("T"), QString()).toString() +
                                          " " +
                                          mdb.Pcls_MdbGetField(1, QStringLiteral("D"), QString()).toString());
    };
    const QString insert = QStringLiteral("INSERT INTO M_manage (Pub_No, InsDate) VALUES ('P', Cdate('%1'))");

    mt::SetUserLocale(temp(), 0x0411);
    EXPECT_EQ(storedAfter(insert.arg("2024/01/02 9:05:03")),
              std::make_pair(qint16(0), QString("text 2024-01-02 09:05:03")));
    EXPECT_EQ(storedAfter(insert.arg("2023/02/30 9:05:03")).first, -1)
        << "impossible date fails the statement";

    mt::SetUserLocale(temp(), 0x0409);
    EXPECT_EQ(storedAfter(insert.arg("1/2/2024 9:05:03 PM")),
              std::make_pair(qint16(0), QString("text 2024-01-02 21:05:03")));
    EXPECT_EQ(storedAfter(insert.arg("2024/01/02 9:05:03")).first, -1)
        << "Japanese text on an English machine";
}

} // namespace
