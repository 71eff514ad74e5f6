#include "shared/database/ManagerList.h"
#include "shared/database/SqliteHandles.h"
#include "shared/database/clsMDB.h"
#include "shared/testing/SchemaDatabase.h"

#include <QFile>
#include <algorithm>
#include <gtest/gtest.h>
#include <optional>
#include <random>
#include <string>
#include <vector>

using namespace marvek::shared;

namespace {

const QString DatabasePath = QStringLiteral("C:\\Link\\List.mdb");

// The list as the engine's own join and sort give it, each field read as the access class reads it.
const char* const EngineList[] = {
    "SELECT MM.PUB_NO AS P0,InsPath AS P1,MM.MODEL_DESC AS PA,Year AS PB,Lang AS PC,Adjust_flg AS K0,Pdf_flg,"
    "Version AS Ver FROM (M_manage MM LEFT JOIN M_type MT ON MM.PUB_NO = MT.PUB_NO) LEFT JOIN M_order MO "
    "ON MM.MODEL_ID = MO.MODEL_ID ORDER BY OrderNo,Year,MM.PUB_NO",
    "SELECT MM.PUB_NO AS P0,InsPath AS P1,MM.MODEL_DESC AS PA,kubun AS PB,Lang AS PC,Adjust_flg AS "
    "K0,Pdf_flg,"
    "Version AS Ver FROM (M_manage MM LEFT JOIN M_type MT ON MM.PUB_NO = MT.PUB_NO) LEFT JOIN M_order MO "
    "ON MM.MODEL_ID = MO.MODEL_ID ORDER BY OrderNo,Year,Kubun,MM.PUB_NO"};

using Row = std::vector<std::string>;

std::vector<Row> engineList(clsMDB& db, bool japanese) {
    std::vector<Row> rows;
    const bool read =
        db.ReadRows(QString::fromLatin1(EngineList[japanese ? 1 : 0]), [&](const QueryRow& row) {
            Row fields;
            for (const char* column : {"P0", "P1", "PA", "PB", "PC", "K0", "Pdf_flg", "Ver"})
                fields.emplace_back(row.utf8(row.column(QString::fromLatin1(column))));
            rows.push_back(fields);
        });
    EXPECT_TRUE(read) << qPrintable(db.LastError());
    return rows;
}

// The list as the suite reads it, put in its order. The rows come in one pass, after the count of
// manuals that sizes them; the order names each of them once.
std::vector<Row> suiteList(clsMDB& db, bool japanese) {
    std::vector<Row> read;
    std::optional<size_t> told;
    ManagerListReading reading;
    reading.expect = [&](size_t rows) {
        EXPECT_FALSE(told) << "the count is told once";
        EXPECT_TRUE(read.empty()) << "the count is told before the rows";
        told = rows;
    };
    reading.row = [&](const ManagerListRow& row) {
        read.push_back({std::string(row[ListPubNo]), std::string(row[ListInsPath]),
                        std::string(row[ListModelDesc]), std::string(row[ListYearOrClass]),
                        std::string(row[ListLanguage]), std::string(row[ListAdjustFlag]),
                        std::string(row[ListPdfFlag]), std::string(row[ListVersion])});
    };
    std::vector<quint32> order;
    EXPECT_TRUE(ReadManagerListRows(db, japanese, reading, order));
    EXPECT_TRUE(told && *told <= read.size()) << "each manual gives a row at least";
    std::vector<Row> rows;
    std::vector<bool> taken(read.size());
    for (const quint32 at : order) {
        if (at >= read.size() || taken[at]) {
            ADD_FAILURE() << "the order names a row twice or one not read";
            return {};
        }
        taken[at] = true;
        rows.push_back(read[at]);
    }
    EXPECT_EQ(rows.size(), read.size()) << "the order names every row";
    return rows;
}

// Values of every storage class that a damaged or hand-edited database may hold where the list looks:
// texts differing only in case or beyond a NUL byte, accented letters, numbers as texts and as numbers,
// blobs and NULL.
class ValueMaker {
public:
    explicit ValueMaker(unsigned seed) : m_random(seed) {}

    void bind(sqlite3_stmt* statement, int index, bool numbersToo = true) {
        static const std::vector<std::string> texts = {"",
                                                       "a",
                                                       "A",
                                                       "ab",
                                                       "aB",
                                                       "Ab",
                                                       "b",
                                                       "B",
                                                       "1",
                                                       "10",
                                                       "2",
                                                       "01",
                                                       "1.5",
                                                       "é",
                                                       "É",
                                                       "e",
                                                       "z",
                                                       "_",
                                                       " a",
                                                       "a ",
                                                       "2004",
                                                       "K1",
                                                       "k1",
                                                       "M1",
                                                       "m1",
                                                       std::string("a\0b", 3),
                                                       std::string("a\0c", 3),
                                                       std::string("A\0", 2)};
        switch (m_random() % (numbersToo ? 6 : 4)) {
        case 0:
            sqlite3_bind_null(statement, index);
            break;
        case 1: {
            const std::string& text = texts[m_random() % texts.size()];
            sqlite3_bind_blob(statement, index, text.data(), int(text.size()), SQLITE_TRANSIENT);
            break;
        }
        case 4:
            sqlite3_bind_int64(statement, index, qint64(m_random() % 5) - 1);
            break;
        case 5:
            sqlite3_bind_double(statement, index, double(m_random() % 7) / 2.0);
            break;
        default: {
            const std::string& text = texts[m_random() % texts.size()];
            sqlite3_bind_text(statement, index, text.data(), int(text.size()), SQLITE_TRANSIENT);
            break;
        }
        }
    }

private:
    std::mt19937 m_random;
};

void fill(const QString& host, unsigned seed) {
    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open(QFile::encodeName(host).constData(), &raw), SQLITE_OK);
    const SqliteDatabase db(raw);
    ValueMaker value(seed);
    std::mt19937 random(seed);
    const auto insert = [&](const char* sql, int columns, int rows, int keyColumns) {
        sqlite3_stmt* statement = nullptr;
        ASSERT_EQ(sqlite3_prepare_v2(raw, sql, -1, &statement, nullptr), SQLITE_OK);
        const SqliteStatement owned(statement);
        for (int row = 0; row < rows; ++row) {
            for (int column = 1; column <= columns; ++column)
                value.bind(statement, column, column > keyColumns);
            sqlite3_step(statement); // a key taken twice is left out
            sqlite3_reset(statement);
        }
    };
    sqlite3_exec(raw, "BEGIN", nullptr, nullptr, nullptr);
    insert(
        "INSERT OR IGNORE INTO M_manage (Pub_No, InsPath, Model_desc, Year, Kubun, Lang, Adjust_flg, Version,"
        " Model_ID) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9)",
        9, 40 + int(random() % 40), 1);
    insert("INSERT OR IGNORE INTO M_type VALUES (?1, ?2)", 2, 30, 1);
    insert("INSERT INTO M_order VALUES (?1, ?2, ?3)", 3, 10 + int(random() % 20), 0);
    ASSERT_EQ(sqlite3_exec(raw, "COMMIT", nullptr, nullptr, nullptr), SQLITE_OK);
}

TEST(ManagerListTest, GivesTheEngineJoinAndOrderForEveryKindOfValue) {
    for (unsigned seed = 1; seed <= 60; ++seed) {
        marvek::testing::TempMachine temp;
        ASSERT_TRUE(marvek::testing::MakeSchemaDatabase(temp, DatabasePath));
        fill(temp.host(DatabasePath), seed);
        clsMDB db(temp.machine());
        ASSERT_TRUE(db.Pcls_MdbOpen(DatabasePath));
        for (const bool japanese : {false, true}) {
            const std::vector<Row> expected = engineList(db, japanese);
            ASSERT_FALSE(expected.empty());
            EXPECT_EQ(suiteList(db, japanese), expected) << "seed " << seed << (japanese ? ", Japanese" : "");
        }
    }
}

// M_type written in step with M_manage, as the installer writes them, with M_type's key as the suite's
// schema makes it (unique, NOCASE), unique only in binary, not a key at all (a publication number may
// then come twice), or unique through an index of its own, named with a quote. Manuals without a type row,
// keys in another case, types taken twice and types of no manual throw the step off at places that change
// with the seed; in a third of the seeds they are rare.
void fillInStep(const QString& host, const char* typeTable, unsigned seed) {
    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open(QFile::encodeName(host).constData(), &raw), SQLITE_OK);
    const SqliteDatabase db(raw);
    if (typeTable) {
        ASSERT_EQ(sqlite3_exec(raw, "DROP TABLE M_type", nullptr, nullptr, nullptr), SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(raw, typeTable, nullptr, nullptr, nullptr), SQLITE_OK);
    }
    ValueMaker value(seed);
    std::mt19937 random(seed);
    const auto prepare = [raw](const char* sql) {
        sqlite3_stmt* statement = nullptr;
        EXPECT_EQ(sqlite3_prepare_v2(raw, sql, -1, &statement, nullptr), SQLITE_OK);
        return SqliteStatement(statement);
    };
    const SqliteStatement manual =
        prepare("INSERT INTO M_manage (Pub_No, InsPath, Model_desc, Year, Kubun, Lang, Adjust_flg, Version,"
                " Model_ID) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9)");
    const SqliteStatement type = prepare("INSERT OR IGNORE INTO M_type VALUES (?1, ?2)");
    const auto addType = [&](const std::string& key) {
        sqlite3_bind_text(type.get(), 1, key.data(), int(key.size()), SQLITE_TRANSIENT);
        value.bind(type.get(), 2);
        sqlite3_step(type.get());
        sqlite3_reset(type.get());
    };
    const unsigned spread = seed % 3 == 0 ? 60 : 12;
    sqlite3_exec(raw, "BEGIN", nullptr, nullptr, nullptr);
    for (int i = 0; i < 60; ++i) {
        const std::string key = "Pub" + std::to_string(i);
        sqlite3_bind_text(manual.get(), 1, key.data(), int(key.size()), SQLITE_TRANSIENT);
        for (int column = 2; column <= 9; ++column)
            value.bind(manual.get(), column);
        sqlite3_step(manual.get());
        sqlite3_reset(manual.get());
        std::string lower = key;
        lower[0] = 'p';
        switch (random() % spread) {
        case 0: // no type row
            break;
        case 1:
            addType(lower);
            break;
        case 2:
            addType(key);
            addType(key);
            break;
        case 3:
            addType(key);
            addType(lower);
            break;
        case 4:
            addType("Other" + std::to_string(i));
            addType(key);
            break;
        default:
            addType(key);
            break;
        }
    }
    ASSERT_EQ(sqlite3_exec(raw, "COMMIT", nullptr, nullptr, nullptr), SQLITE_OK);
}

// The rows of a manual with two type rows tie in the list's order, and the engine gives them in an order
// of its own: each manual's rows are put in one order.
std::vector<Row> manualRowsSorted(std::vector<Row> rows) {
    for (auto first = rows.begin(); first != rows.end();) {
        const auto last =
            std::find_if(first, rows.end(), [&first](const Row& row) { return row[0] != (*first)[0]; });
        std::sort(first, last);
        first = last;
    }
    return rows;
}

TEST(ManagerListTest, GivesTheEngineJoinForTypesWrittenInStepWithTheManuals) {
    const char* const typeTables[] = {
        nullptr, "CREATE TABLE M_type (Pub_No TEXT PRIMARY KEY, Pdf_flg TEXT)",
        "CREATE TABLE M_type (Pub_No TEXT COLLATE NOCASE, Pdf_flg TEXT)",
        "CREATE TABLE M_type (Pub_No TEXT, Pdf_flg TEXT);"
        "CREATE UNIQUE INDEX \"the type's key\" ON M_type (Pub_No COLLATE NOCASE)"};
    for (unsigned seed = 1; seed <= 15; ++seed) {
        for (const char* typeTable : typeTables) {
            marvek::testing::TempMachine temp;
            ASSERT_TRUE(marvek::testing::MakeSchemaDatabase(temp, DatabasePath));
            fillInStep(temp.host(DatabasePath), typeTable, seed);
            clsMDB db(temp.machine());
            ASSERT_TRUE(db.Pcls_MdbOpen(DatabasePath));
            for (const bool japanese : {false, true}) {
                EXPECT_EQ(manualRowsSorted(suiteList(db, japanese)),
                          manualRowsSorted(engineList(db, japanese)))
                    << "seed " << seed << ", " << (typeTable ? typeTable : "the suite's M_type")
                    << (japanese ? ", Japanese" : "");
            }
        }
    }
}

TEST(ManagerListTest, ReadsOneStateOfTheFileAndFailsOnAMissingTable) {
    marvek::testing::TempMachine temp;
    ASSERT_TRUE(marvek::testing::MakeSchemaDatabase(
        temp, DatabasePath,
        "INSERT INTO M_manage (Pub_No, Model_ID, Year) VALUES "
        "('B2','m2','2001'),('a1','M1','2001'),('C3',NULL,NULL);"
        "INSERT INTO M_type VALUES ('b2','1');INSERT INTO M_order VALUES ('M2','x',1),('m1','y',2);"));
    clsMDB db(temp.machine());
    ASSERT_TRUE(db.Pcls_MdbOpen(DatabasePath));
    std::vector<Row> rows = suiteList(db, false);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ((std::vector<std::string>{rows[0][0], rows[1][0], rows[2][0]}),
              (std::vector<std::string>{"C3", "B2", "a1"}))
        << "a manual without a model order first, then by order";
    EXPECT_EQ(rows[1][ListPdfFlag], "1");
    EXPECT_EQ(rows[2][ListPdfFlag], "") << "no M_type row";

    // Inside a transaction of the caller the reads join it.
    ASSERT_TRUE(db.Pcls_MdbBeginTrans());
    ASSERT_EQ(db.Pcls_MdbExecute(QStringLiteral("DELETE FROM M_type")), 0);
    rows = suiteList(db, false);
    EXPECT_EQ(rows[1][ListPdfFlag], "") << "the caller's own change is seen";
    ASSERT_TRUE(db.Pcls_MdbRollback());

    // Another program's changes are seen by the next read.
    {
        clsMDB other(temp.machine());
        other.SetBusyTimeoutMs(0);
        ASSERT_TRUE(other.Pcls_MdbOpen(DatabasePath));
        ASSERT_EQ(other.Pcls_MdbExecute(QStringLiteral("DELETE FROM M_manage")), 0);
        ASSERT_EQ(other.Pcls_MdbExecute(QStringLiteral("INSERT INTO M_manage (Pub_No) VALUES ('D4')")), 0);
    }
    EXPECT_EQ(suiteList(db, false).size(), 1u) << "the list after another program's changes";

    ASSERT_EQ(db.Pcls_MdbExecute(QStringLiteral("DROP TABLE M_order")), 0);
    bool visited = false;
    EXPECT_FALSE(ReadManagerListRows(db, false, [&](const ManagerListRow&) { visited = true; }));
    EXPECT_FALSE(visited) << "nothing of a list that could not be read";
    EXPECT_TRUE(db.Pcls_MdbBeginTrans()) << "no read transaction is left open";
    EXPECT_TRUE(db.Pcls_MdbCommitTrans());
}

} // namespace
