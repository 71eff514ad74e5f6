#pragma once

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

// Registers the FTS5 ranking function "marvek_bm25" on the connection: bm25 exactly as FTS5 computes it
// (k1 1.2, b 0.75, one weight per column as arguments), the rows' lengths from lengths, which must
// outlive the connection. Also registers "marvek_order": the same order of rows at less cost, its scores
// not bm25's (a query of one phrase leaves out the phrase's rarity). SQLITE_OK or an error code.
int RegisterRanking(sqlite3* db, DocumentLengths* lengths);
inline constexpr const char* RankingName = "marvek_bm25";
inline constexpr const char* OrderName = "marvek_order";

} // namespace marvek::search
