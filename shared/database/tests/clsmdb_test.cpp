#include "DatabaseTestSupport.h"
#include "shared/database/JetProvider.h"
#include "shared/database/clsMDB.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QFileInfo>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace marvek::shared;
using marvek::testing::DatabasePath;

namespace {

QString q(const char* text) {
    return QString::fromUtf8(text);
}

class ClsMdbTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(marvek::testing::MakeSchemaDatabase(
            env.temp(), DatabasePath,
            "INSERT INTO M_order VALUES ('M1','one',1),('M2',NULL,2),('M3','x',3);"));
        ASSERT_TRUE(mdb.Pcls_MdbOpen(DatabasePath));
    }
    bool exists(const char* path) { return QFileInfo::exists(env.temp().host(q(path))); }
    QVariant field(int slot, const char* column) { return mdb.Pcls_MdbGetField(slot, q(column), q("dflt")); }

    marvek::testing::SharedTestContext env;
    clsMDB mdb{env.temp().machine()};
};

TEST_F(ClsMdbTest, OpenAndExecuteWithTheirResultSenses) {
    clsMDB other(env.temp().machine());
    EXPECT_FALSE(other.Pcls_MdbOpen(q("C:\\Link\\missing.mdb")));
    EXPECT_FALSE(exists("C:\\Link\\missing.mdb")) << "never created";
    ASSERT_TRUE(env.temp().writeFile(q("C:\\Link\\text.mdb"), "not a database at all"));
    EXPECT_FALSE(other.Pcls_MdbOpen(q("C:\\Link\\text.mdb")));
    EXPECT_FALSE(exists("C:\\Link\\text.ldb")) << "lock released";
    EXPECT_EQ(other.Pcls_MdbExecute(q("DELETE FROM M_order")), -1) << "not open";
    QString error;
    EXPECT_FALSE(JetConnection::open(q("Provider=Microsoft.ACE.OLEDB.12.0;Data Source=") + DatabasePath,
                                     env.temp().machine(), 100, &error));

    EXPECT_EQ(mdb.Pcls_MdbCreate(0, q("PRAGMA journal_mode"), 4), 0);
    EXPECT_EQ(field(0, "journal_mode").toString(), q("wal"));
    EXPECT_EQ(mdb.Pcls_MdbExecute(q("INSERT INTO M_type VALUES ('A','1')")), 0);
    EXPECT_EQ(mdb.Pcls_MdbExecute(q("INSERT INTO M_type VALUES ('a','0')")), -1) << "key without case";
    EXPECT_FALSE(mdb.LastError().isEmpty());
    // A second statement in the text is refused and does not run.
    EXPECT_EQ(mdb.Pcls_MdbExecute(q("DELETE FROM M_type WHERE Pub_No = 'x'; DROP TABLE M_type")), -1);
    EXPECT_EQ(mdb.Pcls_MdbCreate(1, q("SELECT * FROM M_type"), 4), 0);
}

TEST_F(ClsMdbTest, CreateAndMoveNextWithTheirResultSenses) {
    ASSERT_EQ(mdb.Pcls_MdbCreate(7, q("SELECT * FROM M_order ORDER BY Model_ID"), 4), 0);
    EXPECT_EQ(field(7, "model_id").toString(), q("M1"));
    EXPECT_EQ(mdb.Pcls_MdbMoveNext(7), 0);
    EXPECT_EQ(field(7, "Model_desc").toString(), q("dflt")) << "null gives DefValue";
    EXPECT_EQ(mdb.Pcls_MdbMoveNext(7), 0);
    EXPECT_EQ(mdb.Pcls_MdbMoveNext(7), 1) << "just passed the last row";
    EXPECT_FALSE(field(7, "Model_ID").isValid());
    EXPECT_EQ(mdb.Pcls_MdbMoveNext(7), -1);
    EXPECT_EQ(mdb.Pcls_MdbMoveNext(7), -1);

    EXPECT_EQ(mdb.Pcls_MdbCreate(1, q("SELECT * FROM M_order WHERE Model_ID = 'none'"), 4), 1);
    EXPECT_EQ(mdb.Pcls_MdbMoveNext(1), -1) << "an empty result is already past its end";
    EXPECT_EQ(mdb.Pcls_MdbCreate(1, q("SELECT nonsense FROM M_order"), 4), -1);
    EXPECT_EQ(mdb.Pcls_MdbMoveNext(1), -1) << "a failed query leaves no rows in the slot";
    EXPECT_EQ(mdb.Pcls_MdbCreate(11, q("SELECT * FROM M_order"), 4), -1);
    EXPECT_EQ(mdb.Pcls_MdbMoveNext(4), -1) << "a slot never used";
    EXPECT_FALSE(field(4, "Model_ID").isValid());
}

TEST_F(ClsMdbTest, TransactionsCommitOrRollBackAndDatesComeBackAsDateTimes) {
    EXPECT_FALSE(mdb.Pcls_MdbCommitTrans()) << "no transaction";
    ASSERT_TRUE(mdb.Pcls_MdbBeginTrans());
    EXPECT_EQ(mdb.Pcls_MdbExecute(q("INSERT INTO M_manage (Pub_No) VALUES ('R')")), 0);
    EXPECT_TRUE(mdb.Pcls_MdbRollback());
    EXPECT_EQ(mdb.Pcls_MdbCreate(1, q("SELECT * FROM M_manage"), 4), 1);
    ASSERT_TRUE(mdb.Pcls_MdbBeginTrans());
    EXPECT_EQ(
        mdb.Pcls_MdbExecute(q("INSERT INTO M_manage (Pub_No, InsDate) VALUES ('C', '2024-03-05 17:08:09')")),
        0);
    EXPECT_TRUE(mdb.Pcls_MdbCommitTrans());
    ASSERT_EQ(mdb.Pcls_MdbCreate(1, q("SELECT * FROM M_manage"), 4), 0);
    EXPECT_EQ(field(1, "InsDate").toDateTime(), QDateTime(QDate(2024, 3, 5), QTime(17, 8, 9)));
    mdb.Release();
    EXPECT_EQ(mdb.Pcls_MdbMoveNext(1), -1) << "released with the connection";
}

TEST_F(ClsMdbTest, LockFileIsNamedAsJetNamesItAndLivesWhileAnyConnectionIsOpen) {
    EXPECT_EQ(JetLockFileName(q("mdbdata.Mdb")), q("ldbdata.Ldb"));
    EXPECT_EQ(JetLockFileName(q("manual")), q("manual.ldb"));
    EXPECT_TRUE(exists("C:\\Link\\DTX3.ldb"));
    {
        clsMDB second(env.temp().machine());
        ASSERT_TRUE(second.Pcls_MdbOpen(DatabasePath));
        mdb.Release();
        EXPECT_TRUE(exists("C:\\Link\\DTX3.ldb")) << "the second connection is still open";
        second.Release();
        EXPECT_FALSE(exists("C:\\Link\\DTX3.ldb"));
        // A lock file left behind by a program that was killed goes with the next last close.
        ASSERT_TRUE(env.temp().writeFile(q("C:\\Link\\DTX3.ldb"), "stale"));
        ASSERT_TRUE(second.Pcls_MdbOpen(DatabasePath));
    }
    EXPECT_FALSE(exists("C:\\Link\\DTX3.ldb")) << "closed by the destructor";
}

TEST_F(ClsMdbTest, CdateFollowsTheUserLocaleAndRefusesImpossibleDates) {
    const auto ja = [](const char* text) {
        return CdateToIso(q(text), q("yyyy/MM/dd"), q("H:mm:ss"));
    };
    EXPECT_EQ(ja("2024/01/02"), q("2024-01-02 00:00:00"));
    EXPECT_EQ(ja("2024-01-02 21:05:03"), q("2024-01-02 21:05:03")) << "ISO is always understood";
    for (const char* impossible : {"2023/02/29 1:00:00", "2024/13/01 1:00:00", "2024/01/02 25:00:00", ""})
        EXPECT_FALSE(ja(impossible)) << impossible;

    const auto stored = [&](const char* text) {
        clsMDB db(env.temp().machine()); // the format is taken when the connection opens
        db.Pcls_MdbOpen(DatabasePath);
        db.Pcls_MdbExecute(q("DELETE FROM M_manage"));
        if (db.Pcls_MdbExecute(
                q("INSERT INTO M_manage (Pub_No, InsDate) VALUES ('P', Cdate('%1'))").arg(q(text))) != 0)
            return q("failed");
        db.Pcls_MdbCreate(1, q("SELECT typeof(InsDate) || ' ' || InsDate AS D FROM M_manage"), 4);
        return db.Pcls_MdbGetField(1, q("D"), QString()).toString();
    };
    ASSERT_TRUE(env.setLocale("0411"));
    EXPECT_EQ(stored("2024/01/02 9:05:03"), q("text 2024-01-02 09:05:03"));
    EXPECT_EQ(stored("2023/02/30 9:05:03"), q("failed")) << "impossible date fails the statement";
    EXPECT_EQ(stored("1/2/2024 9:05:03 PM"), q("failed")) << "another locale's text";
    ASSERT_TRUE(env.setLocale("0409"));
    EXPECT_EQ(stored("1/2/2024 9:05:03 PM"), q("text 2024-01-02 21:05:03"));
    EXPECT_EQ(stored("12/31/2024 12:00:00 AM"), q("text 2024-12-31 00:00:00"));
    EXPECT_EQ(stored("31/12/2024 1:00:00 PM"), q("failed")) << "day and month swapped";
    EXPECT_EQ(stored("2024/01/02 9:05:03"), q("failed"));
}

// A second program on the same database, forked: it holds the write lock with an uncommitted row
// until told 'E', then commits after a pause, says 'C' and keeps its connection until its pipe closes.
TEST_F(ClsMdbTest, TwoProcessesReaderIsNotBlockedAndWritersWaitUpToTheirBusyTimeout) {
    constexpr int PauseMs = 400;
    int up[2], down[2];
    ASSERT_TRUE(::pipe(up) == 0 && ::pipe(down) == 0);
    const auto send = [](int fd, char c) {
        return ::write(fd, &c, 1) == 1;
    };
    const auto receive = [](int fd) {
        char c = 0;
        return ::read(fd, &c, 1) == 1 ? c : '\0';
    };
    mdb.Release();
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(down[1]);
        clsMDB other(env.temp().machine());
        const bool held = other.Pcls_MdbOpen(DatabasePath) && other.Pcls_MdbBeginTrans() &&
                          other.Pcls_MdbExecute(q("INSERT INTO M_type VALUES ('CHILD','1')")) == 0;
        const bool told = send(up[1], held ? 'T' : 'F') && receive(down[0]) == 'E';
        ::usleep(PauseMs * 1000);
        const bool done = told && other.Pcls_MdbCommitTrans() && send(up[1], 'C') && receive(down[0]) == 0;
        other.Release();
        ::_exit(done ? 0 : 1);
    }
    ASSERT_GT(child, 0);
    ::close(down[0]);
    ::close(up[1]); // a child that ends early then reads as an empty answer
    ASSERT_EQ(receive(up[0]), 'T');
    const QString insert = q("INSERT INTO M_type VALUES ('PARENT','0')");
    const auto rows = [](clsMDB& db) {
        db.Pcls_MdbCreate(1, q("SELECT count(*) AS N FROM M_type"), 4);
        return db.Pcls_MdbGetField(1, q("N"), -1).toInt();
    };
    clsMDB impatient(env.temp().machine());
    impatient.SetBusyTimeoutMs(100);
    ASSERT_TRUE(impatient.Pcls_MdbOpen(DatabasePath) && mdb.Pcls_MdbOpen(DatabasePath));
    EXPECT_EQ(rows(impatient), 0) << "the uncommitted row is not seen, and reading does not wait";
    QElapsedTimer timer;
    timer.start();
    EXPECT_EQ(impatient.Pcls_MdbExecute(insert), -1);
    EXPECT_GE(timer.elapsed(), 90);
    EXPECT_FALSE(impatient.Pcls_MdbBeginTrans()) << "the write lock is taken at the start of a transaction";

    ASSERT_TRUE(send(down[1], 'E'));
    timer.restart();
    EXPECT_EQ(mdb.Pcls_MdbExecute(insert), 0) << mdb.LastError().toStdString();
    EXPECT_GE(timer.elapsed(), PauseMs / 2) << "the write waited for the other program";
    EXPECT_EQ(receive(up[0]), 'C');
    EXPECT_EQ(rows(mdb), 2);
    mdb.Release();
    impatient.Release();
    EXPECT_TRUE(exists("C:\\Link\\DTX3.ldb")) << "the other program still has the database open";
    ::close(down[1]);
    int status = -1;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_FALSE(exists("C:\\Link\\DTX3.ldb")) << "removed by the last program to close";
    ::close(up[0]);
}

} // namespace
