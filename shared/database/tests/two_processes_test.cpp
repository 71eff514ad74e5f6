#include "DatabaseTestSupport.h"
#include "shared/database/clsMDB.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

namespace mt = marvek::testing;
namespace shared = marvek::shared;
namespace platform = marvek::platform;
using shared::clsMDB;

namespace {

const QString DatabasePath = QStringLiteral("C:\\Link\\DTX3.mdb");

// A second program on the same database: a forked child with its own connection. It starts a write
// transaction and inserts a row, then on the parent's word pauses, commits or rolls back, reports,
// and on a last word closes its connection and exits (code 0 when every step went as planned).
class OtherProgram {
public:
    OtherProgram(const platform::Machine& machine, bool commit) {
        if (::pipe(m_toParent) != 0 || ::pipe(m_toChild) != 0)
            return;
        m_pid = ::fork();
        if (m_pid == 0)
            ::_exit(runChild(machine, commit));
    }
    ~OtherProgram() {
        quit();
        for (int fd : {m_toParent[0], m_toParent[1], m_toChild[0], m_toChild[1]})
            ::close(fd);
    }
    // Waits until the child holds its write transaction.
    bool started() { return m_pid > 0 && receive(m_toParent[0]) == 'T'; }
    // Lets the child end its transaction after a pause of PauseMs.
    void endTransaction() { send(m_toChild[1], 'E'); }
    bool transactionEnded() { return receive(m_toParent[0]) == 'C'; }
    // Lets the child close its connection and waits for its exit; true when every step went well.
    bool quit() {
        if (m_pid <= 0)
            return false;
        send(m_toChild[1], 'Q');
        int status = 0;
        ::waitpid(m_pid, &status, 0);
        m_pid = -1;
        return WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }

    static constexpr int PauseMs = 400;

private:
    int runChild(const platform::Machine& machine, bool commit) {
        clsMDB mdb(machine);
        if (!mdb.Pcls_MdbOpen(DatabasePath) || !mdb.Pcls_MdbBeginTrans() ||
            mdb.Pcls_MdbExecute(QStringLiteral("INSERT INTO M_type VALUES ('CHILD','1')")) != 0)
            return 1;
        send(m_toParent[1], 'T');
        if (receive(m_toChild[0]) != 'E')
            return 2;
        ::usleep(PauseMs * 1000);
        if (!(commit ? mdb.Pcls_MdbCommitTrans() : mdb.Pcls_MdbRollback()))
            return 3;
        send(m_toParent[1], 'C');
        return receive(m_toChild[0]) == 'Q' ? 0 : 4;
    }
    static void send(int fd, char c) { [[maybe_unused]] const auto written = ::write(fd, &c, 1); }
    static char receive(int fd) {
        char c = 0;
        return ::read(fd, &c, 1) == 1 ? c : 0;
    }

    int m_toParent[2] = {-1, -1};
    int m_toChild[2] = {-1, -1};
    pid_t m_pid = -1;
};

class TwoProcessesTest : public ::testing::Test {
protected:
    void SetUp() override {
        QDir().mkpath(env.temp().host(QStringLiteral("C:\\Link")));
        ASSERT_TRUE(mt::MakeSchemaDatabase(env.temp().host(DatabasePath)));
    }
    bool lockFileExists() { return QFileInfo::exists(env.temp().host(QStringLiteral("C:\\Link\\DTX3.ldb"))); }
    static int rows(clsMDB& mdb) {
        int n = 0;
        for (qint16 r = mdb.Pcls_MdbCreate(1, QStringLiteral("SELECT * FROM M_type"), 4); r == 0;
             r = mdb.Pcls_MdbMoveNext(1))
            ++n;
        return n;
    }
    const QString parentInsert = QStringLiteral("INSERT INTO M_type VALUES ('PARENT','0')");

    mt::SharedTestContext env;
};

TEST_F(TwoProcessesTest, ReaderIsNotBlockedAndWriterWaitsForTheOtherProgram) {
    OtherProgram other(env.temp().machine(), true);
    ASSERT_TRUE(other.started());
    EXPECT_TRUE(lockFileExists());

    clsMDB mdb(env.temp().machine());
    ASSERT_TRUE(mdb.Pcls_MdbOpen(DatabasePath));
    EXPECT_EQ(rows(mdb), 0) << "the uncommitted row is not seen, and reading does not wait";

    other.endTransaction();
    QElapsedTimer timer;
    timer.start();
    EXPECT_EQ(mdb.Pcls_MdbExecute(parentInsert), 0) << mdb.LastError().toStdString();
    EXPECT_GE(timer.elapsed(), OtherProgram::PauseMs / 2) << "the write waited for the other program";
    EXPECT_TRUE(other.transactionEnded());
    EXPECT_EQ(rows(mdb), 2);

    mdb.Release();
    EXPECT_TRUE(lockFileExists()) << "the other program still has the database open";
    EXPECT_TRUE(other.quit());
    EXPECT_FALSE(lockFileExists()) << "removed by the last program to close";
}

TEST_F(TwoProcessesTest, WriterGivesUpAfterTheBusyTimeout) {
    OtherProgram other(env.temp().machine(), false);
    ASSERT_TRUE(other.started());

    clsMDB mdb(env.temp().machine());
    mdb.SetBusyTimeoutMs(100);
    ASSERT_TRUE(mdb.Pcls_MdbOpen(DatabasePath));
    QElapsedTimer timer;
    timer.start();
    EXPECT_EQ(mdb.Pcls_MdbExecute(parentInsert), -1);
    EXPECT_GE(timer.elapsed(), 90);
    EXPECT_FALSE(mdb.Pcls_MdbBeginTrans()) << "the write lock is taken at the start of a transaction";

    other.endTransaction();
    EXPECT_TRUE(other.transactionEnded());
    EXPECT_EQ(mdb.Pcls_MdbExecute(parentInsert), 0);
    EXPECT_EQ(rows(mdb), 1) << "the other program rolled back";
    EXPECT_TRUE(other.quit());
    EXPECT_TRUE(lockFileExists()) << "we are still open";
}

} // namespace
