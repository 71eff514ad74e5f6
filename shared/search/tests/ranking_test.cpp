#include "shared/search/Ranking.h"
#include "shared/search/Tokenizer.h"

#include <QString>
#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace marvek;
using namespace marvek::search;

namespace {

struct Connection {
    Connection() : db(opened()), lengths(db, "t") {
        RegisterTokenizer(db);
        RegisterRanking(db, &lengths);
    }
    static sqlite3* opened() {
        sqlite3* db = nullptr;
        sqlite3_open(":memory:", &db);
        return db;
    }
    ~Connection() { sqlite3_close(db); }
    bool exec(const std::string& sql) const {
        return sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
    }
    // rowid and score of every match, in rowid order.
    std::vector<std::pair<qint64, double>> scores(const std::string& function,
                                                  const std::string& match) const {
        std::vector<std::pair<qint64, double>> out;
        sqlite3_stmt* statement = nullptr;
        const std::string sql = "SELECT rowid, " + function + " FROM t WHERE t MATCH ?1 ORDER BY rowid";
        if (sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr) == SQLITE_OK) {
            sqlite3_bind_text(statement, 1, match.c_str(), -1, SQLITE_TRANSIENT);
            while (sqlite3_step(statement) == SQLITE_ROW)
                out.emplace_back(sqlite3_column_int64(statement, 0), sqlite3_column_double(statement, 1));
        }
        sqlite3_finalize(statement);
        return out;
    }

    sqlite3* db;
    DocumentLengths lengths;
};

// The suite's ranking is FTS5's bm25 with the rows' lengths kept in memory: the same scores for every
// row, also after rows were added, removed and changed; a search keeps the best rows in that order.
TEST(Ranking, ScoresAsFts5Bm25BeforeAndAfterTheTableChanges) {
    Connection c;
    ASSERT_TRUE(c.exec("CREATE VIRTUAL TABLE t USING fts5(title, body, tag UNINDEXED, tokenize='marvek')"));
    const auto fill = [&](int from, int to) {
        std::string sql = "BEGIN;";
        for (int i = from; i < to; ++i) {
            std::string body;
            for (int w = 0; w < 3 + (i * 37) % 400; ++w)
                body += (w % (2 + i % 5) == 0 ? "brake " : "pad ") + std::to_string(w % 7) + " ";
            sql += "INSERT INTO t(rowid, title, body, tag) VALUES(" + std::to_string(i * 1000003) + ", '" +
                   (i % 3 ? "Brake fluid" : "冷却水の交換") + "', '" + body + " 冷却水', 'x');";
        }
        return c.exec(sql + "COMMIT;");
    };
    ASSERT_TRUE(fill(1, 60));
    const std::vector<std::string> queries = {"brake", "brake pad", "\"冷却水\"", "fluid OR 3", "pa*"};
    const auto compare = [&](const char* when) {
        for (const std::string& query : queries) {
            const auto expected = c.scores("bm25(t, 10.0, 1.0)", query);
            const auto actual = c.scores("marvek_bm25(t, 10.0, 1.0)", query);
            ASSERT_FALSE(expected.empty()) << query;
            ASSERT_EQ(actual.size(), expected.size()) << query << " " << when;
            for (size_t i = 0; i < expected.size(); ++i) {
                EXPECT_EQ(actual[i].first, expected[i].first);
                EXPECT_NEAR(actual[i].second, expected[i].second, 1e-9 * std::abs(expected[i].second))
                    << query << " row " << expected[i].first << " " << when;
            }
        }
    };
    compare("at first");
    // The best rows as a search keeps them: bm25's order (equal scores by rowid), each with its hits.
    for (const std::string& query : queries) {
        for (const int limit : {1, 7, 1000}) {
            BestRows best{size_t(limit)};
            sqlite3_stmt* statement = nullptr;
            ASSERT_EQ(sqlite3_prepare_v2(c.db, "SELECT marvek_best(t, ?2, 10.0, 1.0) FROM t WHERE t MATCH ?1",
                                         -1, &statement, nullptr),
                      SQLITE_OK);
            sqlite3_bind_text(statement, 1, query.c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_pointer(statement, 2, &best, BestRowsPointerType, nullptr);
            while (sqlite3_step(statement) == SQLITE_ROW) {
            }
            sqlite3_finalize(statement);
            auto expected = c.scores("marvek_bm25(t, 10.0, 1.0)", query);
            std::stable_sort(expected.begin(), expected.end(),
                             [](const auto& a, const auto& b) { return a.second < b.second; });
            expected.resize(std::min(expected.size(), size_t(limit)));
            const std::vector<BestRows::Row> rows = best.take();
            ASSERT_EQ(rows.size(), expected.size()) << query;
            for (size_t i = 0; i < rows.size(); ++i) {
                EXPECT_EQ(rows[i].rowid, expected[i].first) << query << " place " << i;
                EXPECT_FALSE(rows[i].hits.empty()) << query;
            }
        }
    }
    ASSERT_TRUE(fill(60, 90));
    ASSERT_TRUE(c.exec("DELETE FROM t WHERE rowid < 10 * 1000003"));
    ASSERT_TRUE(c.exec("UPDATE t SET body = 'brake' WHERE rowid = 20 * 1000003"));
    compare("after changes through this connection");
}

} // namespace
