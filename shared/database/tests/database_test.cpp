#include "shared/database/DatabaseRecovery.h"
#include "shared/database/JetProvider.h"
#include "shared/database/ManualDatabase.h"
#include "shared/database/SqliteHandles.h"
#include "shared/database/clsMDB.h"
#include "shared/testing/SchemaDatabase.h"
#include "shared/testing/SharedTestContext.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <functional>
#include <gtest/gtest.h>
#include <optional>
#include <sys/wait.h>
#include <unistd.h>

using namespace marvek::shared;
using marvek::testing::MakeSchemaDatabase;

namespace {

// Runs `sql` on the file at the host path `host` past every check of clsMDB, creating the file if need be.
int execRaw(const QString& host, const char* sql) {
    sqlite3* raw = nullptr;
    sqlite3_open(QFile::encodeName(host).constData(), &raw);
    const SqliteDatabase owned(raw);
    return sqlite3_exec(raw, sql, nullptr, nullptr, nullptr);
}

const QString DatabasePath = q("C:\\Link\\DTX3.mdb");

const QString TemplatePath = q("C:\\Link\\DTX3_NEW.mdb");
const QDateTime RunStart(QDate(2024, 1, 2), QTime(9, 5, 3));

// Each test starts on a Japanese machine with the database open in mdb, holding three model-order rows
// and two manuals: J0010AA, an HTML manual with its M_type row, and P0020BB, without one, null InsDate.
class DatabaseTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(env.setLocale("0411"));
        env.ctx.UserName = q("tech");
        env.ctx.LanguageCode = q("11");
        ASSERT_TRUE(MakeSchemaDatabase(
            env.temp(), DatabasePath,
            "INSERT INTO M_order VALUES ('M1','one',1),('M2',NULL,2),('M3','x',3);"
            "INSERT INTO M_manage VALUES ('J0010AA','Model A','M01','5','2004','K2','JP','JA','L1','tech',"
            "'2024-01-10 08:00:00','C:\\Manual\\J0010AA','0','memo');"
            "INSERT INTO M_type VALUES ('J0010AA','0');"
            "INSERT INTO M_manage (Pub_No, Model_ID, Year, InsPath) VALUES "
            "('P0020BB','M02','2003','C:\\M\\P0020BB');"));
        ASSERT_TRUE(mdb.Pcls_MdbOpen(DatabasePath));
    }
    bool exists(const char* path) { return QFileInfo::exists(env.temp().host(q(path))); }
    QStringList linkFolder() { return QDir(env.temp().host(q("C:\\Link"))).entryList(QDir::Files); }
    QVariant field(int slot, const char* column) { return mdb.Pcls_MdbGetField(slot, q(column), q("dflt")); }
    QString query(const char* sql) {
        return mdb.Pcls_MdbCreate(9, q(sql), 4) == 0 ? field(9, "V").toString() : q("<no row>");
    }
    bool registerEntry(const QString& pubNo, const char* status,
                       const QDateTime& newDate = RunStart.addSecs(1)) {
        ManualEntry e;
        QString ManualEntry::*const fields[] = {
            &ManualEntry::Model_desc, &ManualEntry::Model_ID, &ManualEntry::Version,
            &ManualEntry::Year,       &ManualEntry::Kubun,    &ManualEntry::Country,
            &ManualEntry::Lang,       &ManualEntry::Ldup,     &ManualEntry::PdfFlag};
        const QStringList values = q("Model A,M01,6,2004,K2,JP,JA,L1,0").split(',');
        for (int i = 0; i < values.size(); ++i)
            e.*fields[i] = values[i];
        e.Status = q(status);
        e.Pub_No = pubNo;
        e.InstallPath = q("C:\\Manual\\") + pubNo;
        return db.RegisterInstalledManual(e, newDate, RunStart.addSecs(2));
    }

    marvek::testing::SharedTestContext env;
    clsMDB mdb{env.temp().machine()};
    ManualDatabase db{env.ctx};
};
using ClsMdbTest = DatabaseTest;
using ManualDatabaseTest = DatabaseTest;

TEST_F(ClsMdbTest, OpenAndExecuteWithTheirResultSenses) {
    clsMDB other(env.temp().machine());
    EXPECT_FALSE(other.Pcls_MdbOpen(q("C:\\Link\\missing.mdb")));
    EXPECT_FALSE(exists("C:\\Link\\missing.mdb")) << "never created";
    EXPECT_EQ(other.Pcls_MdbExecute(q("DELETE FROM M_order")), -1) << "not open";
    QString error;
    EXPECT_FALSE(JetConnection::open(q("Provider=Microsoft.ACE.OLEDB.12.0;Data Source=") + DatabasePath,
                                     env.temp().machine(), 100, &error));

    EXPECT_EQ(mdb.Pcls_MdbCreate(0, q("PRAGMA journal_mode"), 4), 0);
    EXPECT_EQ(field(0, "journal_mode").toString(), q("wal"));
    EXPECT_EQ(mdb.Pcls_MdbExecute(q("INSERT INTO M_type VALUES ('A','1')")), 0);
    EXPECT_EQ(mdb.Pcls_MdbExecute(q("INSERT INTO M_type VALUES ('a','0')")), -1) << "key without case";
    // A second statement in the text is refused and does not run.
    EXPECT_EQ(mdb.Pcls_MdbExecute(q("DELETE FROM M_type WHERE Pub_No = 'x'; DROP TABLE M_type")), -1);
    EXPECT_EQ(mdb.Pcls_MdbCreate(1, q("SELECT * FROM M_type"), 4), 0);
}

// A file without the suite's tables is no database of the suite: the open fails and the file, its
// folder and its journal mode stay as they were.
TEST_F(ClsMdbTest, FileWithoutTheSuiteTablesFailsToOpenAndIsNeverChanged) {
    const QString path = q("C:\\Link\\ManualLink.mdb");
    const QString host = env.temp().host(path);
    const std::pair<const char*, const char*> cases[] = {
        {"zero-length", ""},
        {"text", "M_manage"},
        {"another program's database", "CREATE TABLE M_managed (Pub_No TEXT); CREATE TABLE M_type (x);"},
        {"the suite's tables but M_manage", "CREATE TABLE M_type (x); CREATE TABLE M_system (y);"},
    };
    for (const auto& [what, content] : cases) {
        SCOPED_TRACE(what);
        QFile::remove(host);
        if (QByteArray(content).startsWith("CREATE")) {
            ASSERT_EQ(execRaw(host, content), SQLITE_OK);
        } else {
            ASSERT_TRUE(env.temp().writeFile(path, QByteArray(content)));
        }
        const QByteArray before = env.temp().readFile(path);
        const QStringList folderBefore = linkFolder();
        clsMDB other(env.temp().machine());
        EXPECT_FALSE(other.Pcls_MdbOpen(path));
        other.Release();
        EXPECT_TRUE(env.temp().readFile(path) == before);
        EXPECT_EQ(linkFolder(), folderBefore) << "no -wal, -shm, .ldb";
    }
}

TEST_F(ClsMdbTest, CreateAndMoveNextWithTheirResultSenses) {
    ASSERT_EQ(mdb.Pcls_MdbCreate(7, q("SELECT * FROM M_order ORDER BY Model_ID"), 4), 0);
    EXPECT_EQ(field(7, "model_id").toString(), q("M1"));
    EXPECT_EQ(mdb.Pcls_MdbMoveNext(7), 0);
    EXPECT_EQ(field(7, "Model_desc").toString(), q("dflt")) << "null gives DefValue";
    EXPECT_EQ(mdb.Pcls_MdbMoveNext(7), 0);
    EXPECT_EQ(mdb.Pcls_MdbMoveNext(7), 1) << "just passed the last row";
    EXPECT_FALSE(field(7, "Model_ID").isValid());
    EXPECT_EQ(QList<qint16>({mdb.Pcls_MdbMoveNext(7), mdb.Pcls_MdbMoveNext(7)}), QList<qint16>({-1, -1}));

    EXPECT_EQ(mdb.Pcls_MdbCreate(1, q("SELECT * FROM M_order WHERE Model_ID = 'none'"), 4), 1);
    EXPECT_EQ(mdb.Pcls_MdbMoveNext(1), -1) << "an empty result is already past its end";
    EXPECT_EQ(mdb.Pcls_MdbCreate(1, q("SELECT nonsense FROM M_order"), 4), -1);
    EXPECT_EQ(mdb.Pcls_MdbMoveNext(1), -1) << "a failed query leaves no rows in the slot";
    EXPECT_EQ(mdb.Pcls_MdbCreate(11, q("SELECT * FROM M_order"), 4), -1);
    EXPECT_EQ(mdb.Pcls_MdbMoveNext(4), -1) << "a slot never used";
    EXPECT_FALSE(field(4, "Model_ID").isValid());
}

TEST_F(ClsMdbTest, RowsKeepEveryValueAndTypeWhenTextsRepeat) {
    // Equal texts in a column share their value; a NULL, a number or a different text between them does not
    // change what is read, through a recordset or row by row.
    const QString sql = q("SELECT column1 AS A, column2 AS b FROM (VALUES ('x', 1), ('x', '1'), (NULL, '1'), "
                          "('x', 1), ('x', 'é'), ('xy', 'é'), ('', 'é'), ('', X'E9'))");
    const std::vector<std::pair<QVariant, QVariant>> expected = {{q("x"), QVariant(qlonglong(1))},
                                                                 {q("x"), q("1")},
                                                                 {QVariant(), q("1")},
                                                                 {q("x"), QVariant(qlonglong(1))},
                                                                 {q("x"), q("é")},
                                                                 {q("xy"), q("é")},
                                                                 {QString(""), q("é")},
                                                                 {QString(""), QVariant(QByteArray("\xe9"))}};
    ASSERT_EQ(mdb.Pcls_MdbCreate(2, sql, 4), 0);
    for (size_t row = 0; row < expected.size(); ++row) {
        const QVariant a = mdb.Pcls_MdbGetField(2, q("a"), QVariant());
        const QVariant b = mdb.Pcls_MdbGetField(2, q("B"), QVariant());
        EXPECT_EQ(a, expected[row].first) << row;
        EXPECT_EQ(b.typeId(), expected[row].second.typeId()) << row;
        EXPECT_EQ(b, expected[row].second) << row;
        EXPECT_EQ(mdb.Pcls_MdbMoveNext(2), row + 1 < expected.size() ? 0 : 1);
    }

    size_t row = 0;
    ASSERT_TRUE(mdb.ReadRows(sql, [&](const QueryRow& read) {
        EXPECT_EQ(QList<int>({read.column(q("a")), read.column(q("B")), read.column(q("c"))}),
                  QList<int>({0, 1, -1}));
        EXPECT_FALSE(read.value(-1).isValid() || read.value(2).isValid() || !read.text(2).isNull());
        ASSERT_LT(row, expected.size());
        EXPECT_EQ(read.value(0), expected[row].first) << row;
        EXPECT_EQ(read.text(0), expected[row].first.toString()) << row;
        EXPECT_EQ(read.value(1).typeId(), expected[row].second.typeId()) << row;
        EXPECT_EQ(read.value(1), expected[row].second) << row;
        EXPECT_EQ(read.text(1), expected[row].second.toString()) << row;
        for (const int column : {0, 1}) {
            const std::string_view utf8 = read.utf8(column);
            EXPECT_EQ(QString::fromUtf8(utf8.data(), qsizetype(utf8.size())), read.text(column)) << row;
        }
        ++row;
    }));
    EXPECT_EQ(row, expected.size());
    EXPECT_FALSE(mdb.ReadRows(q("SELECT * FROM NoSuchTable"), {}));
    EXPECT_FALSE(mdb.LastError().isEmpty());

    // A cursor gives the same rows, one at a time, while other reads run on the connection.
    std::optional<clsMDB::RowCursor> cursor = mdb.OpenCursor(sql);
    ASSERT_TRUE(cursor);
    for (row = 0; cursor->next(); ++row) {
        ASSERT_LT(row, expected.size());
        EXPECT_EQ(cursor->row().value(0), expected[row].first) << row;
        EXPECT_EQ(cursor->row().value(1), expected[row].second) << row;
        EXPECT_EQ(mdb.Pcls_MdbCreate(3, q("SELECT count(*) AS n FROM M_type"), 4), 0) << row;
    }
    EXPECT_EQ(row, expected.size());
    EXPECT_FALSE(cursor->next() || cursor->failed()) << "past the end it stays there";
    EXPECT_TRUE(mdb.Pcls_MdbBeginTrans()) << "the cursor's read ended with its last row";
    EXPECT_TRUE(mdb.Pcls_MdbRollback());
    EXPECT_FALSE(mdb.OpenCursor(q("SELECT * FROM NoSuchTable")));
    EXPECT_TRUE(mdb.LastError().contains(q("NoSuchTable")));
    EXPECT_FALSE(mdb.OpenCursor(q("SELECT 1; SELECT 2"))) << "one statement only";
}

TEST_F(ClsMdbTest, TransactionsCommitOrRollBack) {
    EXPECT_FALSE(mdb.Pcls_MdbCommitTrans()) << "no transaction";
    ASSERT_TRUE(mdb.Pcls_MdbBeginTrans());
    EXPECT_EQ(mdb.Pcls_MdbExecute(q("INSERT INTO M_manage (Pub_No) VALUES ('R')")), 0);
    EXPECT_TRUE(mdb.Pcls_MdbRollback());
    EXPECT_EQ(mdb.Pcls_MdbCreate(1, q("SELECT * FROM M_manage WHERE Pub_No = 'R'"), 4), 1);
    ASSERT_TRUE(mdb.Pcls_MdbBeginTrans());
    EXPECT_EQ(mdb.Pcls_MdbExecute(q("INSERT INTO M_manage (Pub_No) VALUES ('C')")), 0);
    EXPECT_TRUE(mdb.Pcls_MdbCommitTrans());
    ASSERT_EQ(mdb.Pcls_MdbCreate(1, q("SELECT * FROM M_manage WHERE Pub_No = 'C'"), 4), 0);
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

// A read-only open, or the read-only attribute (for every user, the administrator too), gives a
// connection that reads but never writes the file, whatever its journal mode: the mode is not switched,
// and a read-only open leaves no lock, log or index file beside it either.
TEST_F(ClsMdbTest, ReadOnlyConnectionsNeverWriteTheFile) {
    const marvek::platform::Files& files = env.os().files();
    const QString host = env.temp().host(DatabasePath);
    mdb.Release();
    for (const char* mode : {"DELETE", "WAL"}) {
        for (const bool attribute : {false, true}) {
            SCOPED_TRACE(::testing::Message()
                         << mode << (attribute ? " read-only attribute" : " read-only open"));
            ASSERT_EQ(execRaw(host, (QByteArray("PRAGMA journal_mode=") + mode).constData()), SQLITE_OK);
            const QByteArray before = env.temp().readFile(DatabasePath);
            const QStringList beside = linkFolder();
            ASSERT_TRUE(files.setAttributes(DatabasePath, attribute
                                                              ? marvek::platform::FILE_ATTRIBUTE_READONLY
                                                              : marvek::platform::FILE_ATTRIBUTE_NORMAL));
            {
                ManualDatabase readOnly(env.ctx);
                ASSERT_TRUE(attribute ? readOnly.Database.Pcls_MdbOpen(DatabasePath)
                                      : readOnly.Database.Pcls_MdbOpenReadOnly(DatabasePath));
                EXPECT_EQ(readOnly.ReadDatabaseVersion(), 1) << "reads work";
                EXPECT_FALSE(readOnly.MarkManualForAdjust(q("J0010AA")));
                EXPECT_EQ(readOnly.Database.Pcls_MdbExecute(q("INSERT INTO M_type VALUES ('X','1')")), -1);
                EXPECT_TRUE(attribute || linkFolder() == beside);
            }
            EXPECT_TRUE(env.temp().readFile(DatabasePath) == before);
            EXPECT_EQ(files.isReadOnly(DatabasePath), attribute);
            ASSERT_TRUE(files.setAttributes(DatabasePath, marvek::platform::FILE_ATTRIBUTE_NORMAL));
        }
    }
    // Without the attribute the same file is written again.
    ASSERT_TRUE(mdb.Pcls_MdbOpen(DatabasePath));
    EXPECT_EQ(mdb.Pcls_MdbExecute(q("INSERT INTO M_type VALUES ('X','1')")), 0);
    EXPECT_FALSE(mdb.Pcls_MdbOpenReadOnly(q("C:\\Link\\missing.mdb")));
}

TEST_F(ClsMdbTest, FileHoldOnlyWhenNoConnectionIsOpenAndSettlesLeftLogs) {
    QString error;
    EXPECT_FALSE(JetFileHold::acquire(env.temp().machine(), DatabasePath, &error))
        << "this process's connection";
    ASSERT_EQ(mdb.Pcls_MdbExecute(q("INSERT INTO M_type VALUES ('W1','1')")), 0);
    mdb.Release();
    // A program that ends without closing leaves its log with the committed row beside the file.
    const pid_t child = fork();
    if (child == 0) {
        clsMDB crashing(env.temp().machine());
        const bool wrote = crashing.Pcls_MdbOpen(DatabasePath) &&
                           crashing.Pcls_MdbExecute(q("INSERT INTO M_type VALUES ('W2','1')")) == 0;
        _exit(wrote ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_EQ(WEXITSTATUS(status), 0);
    ASSERT_TRUE(exists("C:\\Link\\DTX3.mdb-wal")) << "left by the program that did not close";
    {
        const auto hold = JetFileHold::acquire(env.temp().machine(), DatabasePath, &error);
        ASSERT_TRUE(hold) << error.toStdString();
        EXPECT_FALSE(exists("C:\\Link\\DTX3.mdb-wal"));
        EXPECT_FALSE(exists("C:\\Link\\DTX3.mdb-shm"));
        EXPECT_FALSE(JetFileHold::acquire(env.temp().machine(), DatabasePath, &error)) << "held";
        // The file alone now holds both rows.
        ASSERT_TRUE(QFile::copy(env.temp().host(DatabasePath), env.temp().host(q("C:\\Link\\copy.mdb"))));
    }
    EXPECT_FALSE(exists("C:\\Link\\DTX3.ldb")) << "given up with the hold";
    ASSERT_TRUE(mdb.Pcls_MdbOpen(q("C:\\Link\\copy.mdb")));
    EXPECT_EQ(query("SELECT count(*) AS V FROM M_type WHERE Pub_No IN ('W1','W2')"), q("2"));
    mdb.Release();
    // Side files without a database file belong to nothing and go.
    ASSERT_TRUE(env.temp().writeFile(q("C:\\Link\\gone.mdb-wal"), "stale"));
    EXPECT_TRUE(JetFileHold::acquire(env.temp().machine(), q("C:\\Link\\gone.mdb"), &error));
    EXPECT_FALSE(exists("C:\\Link\\gone.mdb-wal"));
}

TEST_F(ClsMdbTest, CdateFollowsTheUserLocaleAndRefusesImpossibleDates) {
    const auto store = [&](const char* text) {
        clsMDB db(env.temp().machine()); // the format is taken when the connection opens
        db.Pcls_MdbOpen(DatabasePath);
        db.Pcls_MdbExecute(q("DELETE FROM M_manage"));
        if (db.Pcls_MdbExecute(
                q("INSERT INTO M_manage (Pub_No, InsDate) VALUES ('P', Cdate('%1'))").arg(q(text))) != 0)
            return q("failed");
        db.Pcls_MdbCreate(1, q("SELECT typeof(InsDate) || ' ' || InsDate AS D FROM M_manage"), 4);
        return db.Pcls_MdbGetField(1, q("D"), QString()).toString();
    };
    // ISO is always understood; another locale's text, swapped day and month or impossible dates are not.
    using Stored = std::vector<std::pair<const char*, const char*>>; // text, the date stored as text
    const std::tuple<const char*, Stored, std::vector<const char*>> cases[] = {
        {"0411",
         {{"2024/01/02 9:05:03", "2024-01-02 09:05:03"},
          {"2024/01/02", "2024-01-02 00:00:00"},
          {"2024-01-02 21:05:03", "2024-01-02 21:05:03"}},
         {"2023/02/29 1:00:00", "2024/13/01 1:00:00", "2024/01/02 25:00:00", "", "1/2/2024 9:05:03 PM"}},
        {"0409",
         {{"1/2/2024 9:05:03 PM", "2024-01-02 21:05:03"}, {"12/31/2024 12:00:00 AM", "2024-12-31 00:00:00"}},
         {"31/12/2024 1:00:00 PM", "2024/01/02 9:05:03"}},
    };
    for (const auto& [locale, stored, refused] : cases) {
        ASSERT_TRUE(env.setLocale(locale));
        for (const auto& [text, date] : stored)
            EXPECT_EQ(store(text), q("text ") + q(date)) << locale << " " << text;
        for (const char* text : refused)
            EXPECT_EQ(store(text), q("failed")) << locale << " " << text;
    }
}

// A second program on the same database, forked: it holds the write lock with an uncommitted row
// until told 'E', then commits after a pause and keeps its connection until its pipe closes.
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
        const bool done = told && other.Pcls_MdbCommitTrans() && receive(down[0]) == 0;
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
    EXPECT_EQ(rows(impatient), 1) << "the uncommitted row is not seen, and reading does not wait";
    QElapsedTimer timer;
    timer.start();
    EXPECT_EQ(impatient.Pcls_MdbExecute(insert), -1);
    EXPECT_GE(timer.elapsed(), 90);
    EXPECT_FALSE(impatient.Pcls_MdbBeginTrans()) << "the write lock is taken at the start of a transaction";

    ASSERT_TRUE(send(down[1], 'E'));
    timer.restart();
    EXPECT_EQ(mdb.Pcls_MdbExecute(insert), 0) << mdb.LastError().toStdString();
    EXPECT_GE(timer.elapsed(), PauseMs / 2) << "the write waited for the other program";
    EXPECT_EQ(rows(mdb), 3);
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

TEST_F(ManualDatabaseTest, ValuesWithApostrophesAndLocaleDatesSurviveEveryStatement) {
    ASSERT_TRUE(env.setLocale("0409")); // dates are written as the user's locale writes them
    ASSERT_TRUE(db.Database.Pcls_MdbOpen(DatabasePath));
    ASSERT_TRUE(MakeSchemaDatabase(env.temp(), TemplatePath) && db.NewDatabase.Pcls_MdbOpen(TemplatePath));
    const QString key = q("O'Neil"); // every value between apostrophes is escaped, WHERE keys included
    ASSERT_TRUE(registerEntry(key, "1"));
    EXPECT_TRUE(db.MarkManualForAdjust(key) && db.UpdateManualMemo(key, q("Bob's")));
    EXPECT_EQ(db.GetManualMemo(key), q("Bob's"));
    EXPECT_EQ(query("SELECT Adjust_flg || InsDate AS V FROM M_manage WHERE Pub_No = 'O''Neil'"),
              q("12024-01-02 09:05:04"));
    ASSERT_EQ(db.FindInstalledManual(key), 0);
    db.CopyToTransferRecord();
    EXPECT_EQ(db.InsertTransferRecord(), 0);
    EXPECT_EQ(db.InsertTransferRecord(), -1) << "the row is there";
    EXPECT_TRUE(db.UpdateInstallPath(key, q("D:\\It's")));
    ASSERT_EQ(db.NewDatabase.Pcls_MdbCreate(1,
                                            q("SELECT InsPath || InsDate || Pdf_flg AS V FROM M_manage "
                                              "NATURAL JOIN M_type WHERE Pub_No = 'O''Neil'"),
                                            4),
              0);
    EXPECT_EQ(db.NewDatabase.Pcls_MdbGetField(1, q("V"), {}), q("D:\\It's2024-01-02 09:05:040"));
    EXPECT_TRUE(db.DeleteInstalledManual(key));
    EXPECT_EQ(query("SELECT count(*) AS V FROM M_type WHERE Pub_No = 'O''Neil'"), q("0"));
    EXPECT_EQ(db.FindInstalledManual(key), 1);
    // The Japanese list shows the classification, the others the year.
    for (const auto& [language, shown] : {std::pair("11", ",K2"), std::pair("09", "2003,2004")}) {
        env.ctx.LanguageCode = q(language);
        QStringList column;
        EXPECT_TRUE(db.ReadManagerList([&](const ManagerListRow& row) {
            column << QString::fromStdString(std::string(row[ListYearOrClass]));
        }));
        EXPECT_EQ(column.join(','), q(shown)) << language;
    }
}

TEST_F(ManualDatabaseTest, LookupAndListingReadRowsWithoutRegardToCase) {
    ASSERT_TRUE(db.Database.Pcls_MdbOpen(DatabasePath));
    EXPECT_EQ(db.FindInstalledManual(q("NONE")), 1);
    EXPECT_EQ(db.CurrentManual, ManualRecord()) << "a miss leaves the record unchanged";
    EXPECT_EQ(db.FindInstalledManual(q("x' OR '1'='1")), 1) << "a key is only ever a key";
    ASSERT_TRUE(env.temp().writeFile(q("C:\\M\\P0020BB\\contents\\P0020BB.pdf"), "%PDF-1.4"));
    EXPECT_EQ(db.FindInstalledManual(q("p0020bb")), 0);
    EXPECT_EQ(QStringList({db.CurrentManual.Pub_No, db.CurrentManual.Pdf_flg, db.CurrentManual.Kubun}),
              QStringList({"P0020BB", "1", ""}));
    EXPECT_EQ(db.CurrentManual.InsDate, QDateTime(QDate(1899, 12, 30), QTime(0, 0))) << "null InsDate";
    EXPECT_EQ(QList<qint16>({db.NextInstalledManual(), db.NextInstalledManual()}), QList<qint16>({1, -1}));
    ASSERT_EQ(db.FindInstalledManual(q("J0010AA")), 0);
    EXPECT_EQ(QStringList({db.CurrentManual.Pdf_flg, db.CurrentManual.Memo_txt}), QStringList({"0", "memo"}));
    EXPECT_EQ(db.CurrentManual.InsDate, QDateTime(QDate(2024, 1, 10), QTime(8, 0)));

    QStringList seen; // the listing takes the flag from M_type, and walks beside lookups
    for (qint16 r = db.OpenManualList(); r == 0; r = db.NextManualListRow()) {
        seen << db.CurrentManual.Pub_No + "=" + db.CurrentManual.Pdf_flg;
        ASSERT_EQ(db.FindInstalledManual(db.CurrentManual.Pub_No), 0);
    }
    EXPECT_EQ(seen, QStringList({"J0010AA=0", "P0020BB="}));
    db.Database.Release();
    EXPECT_EQ(db.FindInstalledManual(q("J0010AA")), -1) << "an engine error";
}

TEST_F(ManualDatabaseTest, RegisterReplacesTheRowsInOneTransaction) {
    ASSERT_EQ(
        mdb.Pcls_MdbExecute(q("CREATE TRIGGER refuse BEFORE INSERT ON M_manage WHEN NEW.Pub_No = 'P0020BB' "
                              "BEGIN SELECT RAISE(ABORT, 'refused'); END")),
        0);
    ASSERT_TRUE(db.Database.Pcls_MdbOpen(DatabasePath));
    ASSERT_TRUE(registerEntry(q("J0010AA"), "2"));
    ASSERT_EQ(db.FindInstalledManual(q("J0010AA")), 0);
    EXPECT_EQ(db.CurrentManual.InsDate, RunStart.addSecs(2)) << "update marker";
    EXPECT_EQ(QStringList({db.CurrentManual.Version, db.CurrentManual.InsUser, db.CurrentManual.Memo_txt}),
              QStringList({"6", "tech", ""}));
    EXPECT_EQ(query("SELECT '' || InsDate AS V FROM M_manage WHERE Pub_No = 'J0010AA'"),
              q("2024-01-02 09:05:05"));
    ASSERT_TRUE(registerEntry(q("N0030CC"), "1"));
    ASSERT_EQ(db.FindInstalledManual(q("N0030CC")), 0);
    EXPECT_EQ(db.CurrentManual.InsDate, RunStart.addSecs(1)) << "new-manual marker";

    // A failing insert, or a date the engine cannot take, leaves the old rows in place.
    ASSERT_EQ(db.Database.Pcls_MdbExecute(q("INSERT INTO M_type VALUES ('P0020BB','1')")), 0);
    EXPECT_FALSE(registerEntry(q("P0020BB"), "1"));
    EXPECT_FALSE(registerEntry(q("J0010AA"), "1", QDateTime()));
    EXPECT_EQ(
        query("SELECT InsPath || Pdf_flg AS V FROM M_manage NATURAL JOIN M_type WHERE Pub_No = 'P0020BB'"),
        q("C:\\M\\P0020BB1"));
    EXPECT_EQ(query("SELECT Version AS V FROM M_manage WHERE Pub_No = 'J0010AA'"), q("6"));
    EXPECT_EQ(db.CountInstalledManuals(), 3);
}

TEST_F(ManualDatabaseTest, UpgradeCopiesEveryRowAndReadsTheModelOrder) {
    ASSERT_TRUE(db.Database.Pcls_MdbOpen(DatabasePath));
    ASSERT_TRUE(
        MakeSchemaDatabase(env.temp(), TemplatePath,
                           "INSERT INTO M_order VALUES ('M01','Model A',2),('m02',NULL,NULL),('M01','',7);"));
    ASSERT_TRUE(db.NewDatabase.Pcls_MdbOpen(TemplatePath));
    for (qint16 r = db.OpenOrderScan(); r == 0; r = db.NextOrderScan())
        db.OrderTable.append(db.OrderRow);
    ASSERT_EQ(db.OrderTable.count(), 3);
    EXPECT_EQ(db.OrderTable.entry(2), (OrderEntry{q("m02"), QString(), 0}));
    EXPECT_EQ(db.FindOrderNo(q("M01")), 2) << "the first match";
    EXPECT_EQ(db.FindOrderNo(q("M02")), 0) << "exact match only";

    // Every row into the template, with the PDF flag computed from the installed files.
    ASSERT_TRUE(env.temp().writeFile(q("C:\\M\\P0020BB\\contents\\P0020BB.pdf"), "%PDF-1.4"));
    int copied = 0;
    for (qint16 r = db.OpenManageScan(); r == 0; r = db.NextManageScan(), ++copied) {
        db.CopyToTransferRecord();
        ASSERT_EQ(db.InsertTransferRecord(), 0);
    }
    EXPECT_EQ(copied, 2);
    EXPECT_TRUE(db.LastStatement().endsWith(q("'P0020BB','1')")));
    db.CurrentManual.Pdf_flg = q("kept");
    ASSERT_EQ(db.OpenNewManageScan(), 0);
    EXPECT_EQ(db.CurrentManual.Pdf_flg, q("kept")) << "not computed for NewDatabase";
    const ManualRecord copy = db.CurrentManual;
    ASSERT_EQ(db.FindInstalledManual(copy.Pub_No), 0);
    db.CurrentManual.Pdf_flg = copy.Pdf_flg;
    EXPECT_EQ(db.CurrentManual, copy) << "every field survives the copy, InsDate to the second";
    EXPECT_EQ(QList<qint16>({db.NextNewManageScan(), db.NextNewManageScan()}), QList<qint16>({0, 1}));
}

} // namespace

namespace {

// The upgrade's backup takes the database's name again only when the database is missing and the
// backup is a whole database that nobody holds; anything else is left as it is.
TEST(DatabaseRecoveryTest, RestoresOnlyAWholeBackupOfAMissingDatabase) {
    const QString backupPath = q("C:\\Link\\BACK_DTX3.mdb");
    using Machine = marvek::testing::SharedTestContext;
    const struct {
        const char* name;
        std::function<void(Machine&, std::optional<clsMDB>&)> prepare;
        bool restored;
    } cases[] = {
        {"backup alone", [](Machine&, std::optional<clsMDB>&) {}, true},
        {"backup beside the log of a lost database",
         [](Machine& m, std::optional<clsMDB>&) {
             ASSERT_TRUE(m.temp().writeFile(DatabasePath + q("-wal"), "log of a database that is gone"));
         },
         true},
        {"database present",
         [](Machine& m, std::optional<clsMDB>&) { ASSERT_TRUE(MakeSchemaDatabase(m.temp(), DatabasePath)); },
         false},
        {"backup is text",
         [&](Machine& m, std::optional<clsMDB>&) {
             ASSERT_TRUE(m.temp().writeFile(backupPath, "no database"));
         },
         false},
        {"backup is empty",
         [&](Machine& m, std::optional<clsMDB>&) { ASSERT_TRUE(m.temp().writeFile(backupPath, "")); }, false},
        {"backup of another program",
         [&](Machine& m, std::optional<clsMDB>&) {
             ASSERT_TRUE(QFile::remove(m.temp().host(backupPath)));
             ASSERT_EQ(execRaw(m.temp().host(backupPath), "CREATE TABLE other (x);"), SQLITE_OK);
         },
         false},
        {"backup whose rows cannot be read",
         [&](Machine& m, std::optional<clsMDB>&) {
             QFile file(m.temp().host(backupPath));
             ASSERT_TRUE(file.open(QIODevice::ReadWrite));
             const qint64 firstPage = 4096; // the schema stays readable, the tables' pages do not
             ASSERT_GT(file.size(), firstPage);
             ASSERT_TRUE(file.seek(firstPage));
             file.write(QByteArray(file.size() - firstPage, '\xA5'));
         },
         false},
        {"backup in use",
         [&](Machine& m, std::optional<clsMDB>& user) {
             ASSERT_TRUE(user.emplace(m.temp().machine()).Pcls_MdbOpen(backupPath));
         },
         false},
        {"no backup",
         [&](Machine& m, std::optional<clsMDB>&) { ASSERT_TRUE(QFile::remove(m.temp().host(backupPath))); },
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Machine m;
        QByteArray rows = "INSERT INTO M_manage (Pub_No, Memo_txt) VALUES ('A1','it''s')";
        for (int i = 2; i <= 200; ++i)
            rows += ",('A" + QByteArray::number(i) + "','" + QByteArray(100, 'm') + "')";
        ASSERT_TRUE(MakeSchemaDatabase(m.temp(), backupPath, rows + ";"));
        std::optional<clsMDB> user;
        ASSERT_NO_FATAL_FAILURE(c.prepare(m, user));
        const bool backupExisted = QFileInfo::exists(m.temp().host(backupPath));
        const QByteArray backup = m.temp().readFile(backupPath);
        const QByteArray database = m.temp().readFile(DatabasePath);

        EXPECT_EQ(RestoreDatabaseBackup(m.ctx, q("C:\\Link"), q("DTX3.mdb")), c.restored);
        user.reset();
        EXPECT_EQ(m.temp().readFile(DatabasePath), c.restored ? backup : database);
        EXPECT_EQ(QFileInfo::exists(m.temp().host(backupPath)), backupExisted && !c.restored);
        EXPECT_EQ(m.temp().readFile(backupPath), c.restored ? QByteArray() : backup);
        if (c.restored) {
            EXPECT_FALSE(QFileInfo::exists(m.temp().host(DatabasePath + q("-wal"))));
            clsMDB db(m.temp().machine());
            ASSERT_TRUE(db.Pcls_MdbOpen(DatabasePath));
            ASSERT_EQ(db.Pcls_MdbCreate(0, q("SELECT count(*) AS N FROM M_manage"), 4), 0);
            EXPECT_EQ(db.Pcls_MdbGetField(0, q("N"), 0).toInt(), 200);
        }
    }
}

} // namespace
