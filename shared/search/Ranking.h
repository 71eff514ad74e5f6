#pragma once

#include "shared/search/Snippet.h"

#include <QByteArray>
#include <QtGlobal>
#include <optional>
#include <sqlite3.h>
#include <utility>
#include <vector>

namespace marvek::search {

// The length in tokens of every row of an FTS5 table, read at once from its docsize table and read
// again when the file has changed since (through this connection or another). FTS5's own bm25 asks
// the docsize table once for every matching row; over tens of thousands of pages that lookup is most of
// a common word's search.
class DocumentLengths {
public:
    DocumentLengths(sqlite3* db, QByteArray table) : m_db(db), m_table(std::move(table)) {}

    // Makes sure the lengths are those of the file as it is now; false when they cannot be read.
    bool refresh();
    // The row's length (every column's tokens); empty for a row that was not read.
    std::optional<qint64> length(qint64 rowid);

private:
    sqlite3* m_db;
    QByteArray m_table;
    std::vector<std::pair<qint64, qint64>> m_lengths;  // by rowid
    size_t m_next = 0;                                 // where the last lookup ended: rows come in order
    std::optional<std::pair<qint64, qint64>> m_readAt; // data_version and total changes when read
};

// The best rows of a query, kept as it walks its matches ("SELECT marvek_best(table, ?rows, weights...)
// FROM table WHERE table MATCH ...", this bound to ?rows with sqlite3_bind_pointer and BestRowsPointerType):
// bm25's order (a query of one phrase leaves out the phrase's rarity, which scales every row alike and
// costs a second walk over its matches), equal scores by rowid, and the hits of each row kept, so its
// highlight and snippet need no second match.
class BestRows {
public:
    explicit BestRows(size_t limit);

    // A row with more hits keeps none (complete false): a page of megabytes of one word would hold
    // gigabytes over the kept rows. Its texts are marked through the match again.
    static constexpr int KeptHits = 20000;

    struct Row {
        double score = 0; // lower is better
        qint64 rowid = 0;
        std::vector<PhraseHit> hits;
        bool complete = true;
    };
    int offer(const Fts5ExtensionApi* api, Fts5Context* fts, double score);
    // The query's phrase count; -1 before any row.
    int phrases() const { return m_phrases; }
    // The rows, best first.
    std::vector<Row> take();

private:
    static bool better(const Row& a, const Row& b);

    size_t m_limit;
    int m_phrases = -1;
    std::vector<Row> m_rows;
};
inline constexpr const char* BestRowsPointerType = "marvek_best_rows";

// Registers the FTS5 ranking function "marvek_bm25" on the connection: bm25 exactly as FTS5 computes it
// (k1 1.2, b 0.75, one weight per column as arguments), the rows' lengths from lengths, which must
// outlive the connection; and "marvek_best" (BestRows). SQLITE_OK or an error code.
int RegisterRanking(sqlite3* db, DocumentLengths* lengths);
inline constexpr const char* RankingName = "marvek_bm25";
inline constexpr const char* BestRowsName = "marvek_best";

} // namespace marvek::search
