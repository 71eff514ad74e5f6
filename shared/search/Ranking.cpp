#include "shared/search/Ranking.h"

#include "shared/database/SqliteHandles.h"
#include "shared/search/Snippet.h"
#include "shared/search/Tokenizer.h"

#include <algorithm>
#include <cmath>
#include <memory>

namespace marvek::search {

namespace {

// SQLite's variable-length integer (FTS5's docsize blobs): big-endian groups of 7 bits, the ninth byte
// whole. Returns the bytes read, 0 at a cut-off end.
int readVarint(const unsigned char* at, const unsigned char* end, quint64& value) {
    value = 0;
    for (int i = 0; i < 9; ++i) {
        if (at + i >= end)
            return 0;
        if (i == 8) {
            value = (value << 8) | at[i];
            return 9;
        }
        value = (value << 7) | (at[i] & 0x7F);
        if ((at[i] & 0x80) == 0)
            return i + 1;
    }
    return 0;
}

std::optional<std::pair<qint64, qint64>> fileVersion(sqlite3* db) {
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(db, "PRAGMA data_version", -1, &raw, nullptr) != SQLITE_OK) {
        sqlite3_finalize(raw);
        return std::nullopt;
    }
    const shared::SqliteStatement statement(raw);
    if (sqlite3_step(raw) != SQLITE_ROW)
        return std::nullopt;
    return std::pair(sqlite3_column_int64(raw, 0), qint64(sqlite3_total_changes64(db)));
}

// What one query's rows share: the phrases' weights of rarity and the mean length of a row.
struct QueryFigures {
    std::vector<double> idf;
    std::vector<double> weights; // by column
    std::vector<double> frequency;
    double meanLength = 1;
};

int countRow(const Fts5ExtensionApi*, Fts5Context*, void* count) {
    ++*static_cast<qint64*>(count);
    return SQLITE_OK;
}

// As FTS5's bm25: the same inverse document frequency (never below 1e-6) and mean length. For an order
// alone, a query of one phrase needs no rarity: it scales every row's score alike, and counting the
// phrase's rows is a second walk over all its matches.
std::unique_ptr<QueryFigures> figuresFor(const Fts5ExtensionApi* api, Fts5Context* fts, int argc,
                                         sqlite3_value** argv, bool orderOnly, int& rc) {
    auto figures = std::make_unique<QueryFigures>();
    sqlite3_int64 rows = 0;
    sqlite3_int64 tokens = 0;
    rc = api->xRowCount(fts, &rows);
    if (rc == SQLITE_OK)
        rc = api->xColumnTotalSize(fts, -1, &tokens);
    if (rc != SQLITE_OK)
        return nullptr;
    figures->meanLength = rows > 0 ? double(tokens) / double(rows) : 1;
    if (figures->meanLength <= 0)
        figures->meanLength = 1;
    const int phrases = api->xPhraseCount(fts);
    if (orderOnly && phrases == 1)
        figures->idf.push_back(1.0);
    for (int i = int(figures->idf.size()); i < phrases && rc == SQLITE_OK; ++i) {
        qint64 hits = 0;
        rc = api->xQueryPhrase(fts, i, &hits, countRow);
        const double idf = std::log((double(rows) - double(hits) + 0.5) / (double(hits) + 0.5));
        figures->idf.push_back(idf <= 0 ? 1e-6 : idf);
    }
    for (int i = 0; i < api->xColumnCount(fts); ++i)
        figures->weights.push_back(i < argc ? sqlite3_value_double(argv[i]) : 1.0);
    figures->frequency.resize(size_t(phrases));
    return rc == SQLITE_OK ? std::move(figures) : nullptr;
}

// The row's score (bm25 negated: lower is better), the query's figures made at its first row. SQLITE_OK
// or an error code.
int score(const Fts5ExtensionApi* api, Fts5Context* fts, int argc, sqlite3_value** argv, bool orderOnly,
          DocumentLengths& lengths, double& out) {
    auto* figures = static_cast<QueryFigures*>(api->xGetAuxdata(fts, 0));
    int rc = SQLITE_OK;
    if (!figures) {
        std::unique_ptr<QueryFigures> made = figuresFor(api, fts, argc, argv, orderOnly, rc);
        if (made && !lengths.refresh())
            rc = SQLITE_ERROR;
        if (rc == SQLITE_OK)
            rc = api->xSetAuxdata(fts, made.get(), [](void* p) { delete static_cast<QueryFigures*>(p); });
        if (rc != SQLITE_OK)
            return rc;
        figures = made.release();
    }

    std::fill(figures->frequency.begin(), figures->frequency.end(), 0.0);
    int instances = 0;
    rc = api->xInstCount(fts, &instances);
    for (int i = 0; i < instances && rc == SQLITE_OK; ++i) {
        int phrase = 0;
        int column = 0;
        int offset = 0;
        rc = api->xInst(fts, i, &phrase, &column, &offset);
        if (rc == SQLITE_OK && size_t(phrase) < figures->frequency.size() &&
            size_t(column) < figures->weights.size())
            figures->frequency[size_t(phrase)] += figures->weights[size_t(column)];
    }
    std::optional<qint64> length = lengths.length(api->xRowid(fts));
    if (rc == SQLITE_OK && !length) {
        int size = 0;
        rc = api->xColumnSize(fts, -1, &size);
        length = size;
    }
    if (rc != SQLITE_OK)
        return rc;
    constexpr double k1 = 1.2;
    constexpr double b = 0.75;
    const double norm = k1 * (1 - b + b * double(*length) / figures->meanLength);
    double sum = 0;
    for (size_t i = 0; i < figures->frequency.size(); ++i) {
        const double f = figures->frequency[i];
        sum += figures->idf[i] * (f * (k1 + 1.0)) / (f + norm);
    }
    out = -sum;
    return SQLITE_OK;
}

void rank(const Fts5ExtensionApi* api, Fts5Context* fts, sqlite3_context* context, int argc,
          sqlite3_value** argv) {
    double value = 0;
    const int rc =
        score(api, fts, argc, argv, false, *static_cast<DocumentLengths*>(api->xUserData(fts)), value);
    if (rc != SQLITE_OK)
        sqlite3_result_error_code(context, rc);
    else
        sqlite3_result_double(context, value);
}

// marvek_best(table, rows, weights...): offers the row to the BestRows bound as rows.
void best(const Fts5ExtensionApi* api, Fts5Context* fts, sqlite3_context* context, int argc,
          sqlite3_value** argv) {
    auto* rows =
        argc > 0 ? static_cast<BestRows*>(sqlite3_value_pointer(argv[0], BestRowsPointerType)) : nullptr;
    if (!rows) {
        sqlite3_result_error(context, "marvek_best() needs the rows bound as its first argument", -1);
        return;
    }
    double value = 0;
    int rc =
        score(api, fts, argc - 1, argv + 1, true, *static_cast<DocumentLengths*>(api->xUserData(fts)), value);
    if (rc == SQLITE_OK)
        rc = rows->offer(api, fts, value);
    if (rc != SQLITE_OK)
        sqlite3_result_error_code(context, rc);
}

} // namespace

bool DocumentLengths::refresh() {
    const auto version = fileVersion(m_db);
    if (!version)
        return false;
    if (m_readAt == version)
        return true;
    m_lengths.clear();
    m_next = 0;
    m_readAt.reset();
    sqlite3_stmt* raw = nullptr;
    const QByteArray sql = "SELECT id, sz FROM \"" + m_table + "_docsize\" ORDER BY id";
    if (sqlite3_prepare_v2(m_db, sql.constData(), -1, &raw, nullptr) != SQLITE_OK) {
        sqlite3_finalize(raw);
        return false;
    }
    const shared::SqliteStatement statement(raw);
    int step = SQLITE_ROW;
    while ((step = sqlite3_step(raw)) == SQLITE_ROW) {
        const auto* at = static_cast<const unsigned char*>(sqlite3_column_blob(raw, 1));
        const unsigned char* end = at + sqlite3_column_bytes(raw, 1);
        qint64 total = 0;
        quint64 size = 0;
        for (int read = 0; at && at < end && (read = readVarint(at, end, size)) > 0; at += read)
            total += qint64(size);
        m_lengths.emplace_back(sqlite3_column_int64(raw, 0), total);
    }
    if (step != SQLITE_DONE) {
        m_lengths.clear();
        return false;
    }
    m_readAt = version;
    return true;
}

std::optional<qint64> DocumentLengths::length(qint64 rowid) {
    // Rows are ranked in rowid order: the next entry is nearly always the one.
    if (m_next >= m_lengths.size() || m_lengths[m_next].first > rowid)
        m_next = size_t(std::lower_bound(m_lengths.begin(), m_lengths.end(), std::pair(rowid, qint64(-1))) -
                        m_lengths.begin());
    while (m_next < m_lengths.size() && m_lengths[m_next].first < rowid)
        ++m_next;
    if (m_next < m_lengths.size() && m_lengths[m_next].first == rowid)
        return m_lengths[m_next].second;
    return std::nullopt;
}

BestRows::BestRows(size_t limit) : m_limit(limit) {
}

bool BestRows::better(const Row& a, const Row& b) {
    return a.score != b.score ? a.score < b.score : a.rowid < b.rowid;
}

int BestRows::offer(const Fts5ExtensionApi* api, Fts5Context* fts, double score) {
    if (m_phrases < 0)
        m_phrases = api->xPhraseCount(fts);
    Row row{score, api->xRowid(fts), {}, true};
    // A heap with the worst kept row on top.
    if (m_rows.size() >= m_limit && (m_limit == 0 || !better(row, m_rows.front())))
        return SQLITE_OK;
    int instances = 0;
    int rc = api->xInstCount(fts, &instances);
    if (rc == SQLITE_OK && instances <= KeptHits)
        rc = RowHits(api, fts, row.hits);
    else
        row.complete = false;
    if (rc != SQLITE_OK)
        return rc;
    if (m_rows.size() >= m_limit) {
        std::pop_heap(m_rows.begin(), m_rows.end(), better);
        m_rows.pop_back();
    }
    m_rows.push_back(std::move(row));
    std::push_heap(m_rows.begin(), m_rows.end(), better);
    return SQLITE_OK;
}

std::vector<BestRows::Row> BestRows::take() {
    std::sort_heap(m_rows.begin(), m_rows.end(), better);
    return std::move(m_rows);
}

int RegisterRanking(sqlite3* db, DocumentLengths* lengths) {
    fts5_api* api = Fts5Api(db);
    if (!api)
        return SQLITE_ERROR;
    const int rc = api->xCreateFunction(api, RankingName, lengths, rank, nullptr);
    return rc == SQLITE_OK ? api->xCreateFunction(api, BestRowsName, lengths, best, nullptr) : rc;
}

} // namespace marvek::search
