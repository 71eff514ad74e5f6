#include "shared/search/SearchIndex.h"

#include "shared/search/Snippet.h"
#include "shared/search/Tokenizer.h"

#include <QFile>
#include <QHash>
#include <QRegularExpression>
#include <fcntl.h>
#include <unistd.h>

namespace marvek::search {

namespace {

// The layout of the file; another value (an older program's file) makes it anew.
constexpr const char* Layout = "1";
// Page rows of a manual: rowid = manual id * PagesPerManual + page number.
constexpr int PageBits = 22;
constexpr qint64 PagesPerManual = qint64(1) << PageBits;

constexpr const char* Schema = R"sql(
CREATE TABLE meta(key TEXT PRIMARY KEY, value TEXT);
CREATE TABLE manuals(id INTEGER PRIMARY KEY, pub_no TEXT NOT NULL UNIQUE, model TEXT, ins_path TEXT,
                     stamp TEXT, pages INTEGER);
CREATE VIRTUAL TABLE pages USING fts5(title, body, pub_no UNINDEXED, path UNINDEXED, pdf_page UNINDEXED,
                                      tokenize='marvek');
INSERT INTO pages(pages, rank) VALUES('rank', 'bm25(10.0, 1.0)');
-- New terms gather in up to 16 MB of memory before they are written: fewer, larger segments to merge
-- while a CD's manuals are indexed.
INSERT INTO pages(pages, rank) VALUES('hashsize', 16777216);
)sql";

shared::SqliteStatement prepare(sqlite3* db, const char* sql) {
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) != SQLITE_OK) {
        sqlite3_finalize(statement);
        return nullptr;
    }
    return shared::SqliteStatement(statement);
}

void bindText(sqlite3_stmt* statement, int index, const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    sqlite3_bind_text(statement, index, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
}

QString columnText(sqlite3_stmt* statement, int column) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
    return text ? QString::fromUtf8(text, sqlite3_column_bytes(statement, column)) : QString();
}

quint32 bigEndian(const QByteArray& bytes, int at, int size) {
    quint32 value = 0;
    for (int i = 0; i < size; ++i)
        value = (value << 8) | static_cast<unsigned char>(bytes.at(at + i));
    return value;
}

// A file that is not an SQLite database, or is shorter than its header says (cut off).
bool looksDamaged(const QString& file) {
    QFile in(file);
    if (!in.exists())
        return false;
    if (!in.open(QIODevice::ReadOnly))
        return false; // not ours to judge: the open reports it
    const QByteArray header = in.read(100);
    if (header.isEmpty())
        return true;
    if (header.size() < 100 || !header.startsWith(QByteArray("SQLite format 3\0", 16)))
        return true;
    quint32 pageSize = bigEndian(header, 16, 2);
    if (pageSize == 1)
        pageSize = 65536;
    const quint32 changeCounter = bigEndian(header, 24, 4);
    const quint32 pageCount = bigEndian(header, 28, 4);
    const quint32 validFor = bigEndian(header, 92, 4);
    return changeCounter == validFor && in.size() < qint64(pageCount) * pageSize;
}

// Write access refused: to the file itself (opened for reading), to its journal or to its folder.
bool isRefusedWriteCode(int code) {
    const int primary = code & 0xFF;
    return primary == SQLITE_READONLY || primary == SQLITE_PERM || primary == SQLITE_CANTOPEN ||
           primary == SQLITE_AUTH;
}

bool isDamageCode(int code) {
    const int primary = code & 0xFF;
    return primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB || code == SQLITE_IOERR_SHORT_READ;
}

bool containsDigit(std::string_view text) {
    for (const char c : text)
        if (c >= '0' && c <= '9')
            return true;
    return false;
}

// A hit's marks (HighlightStart, HighlightEnd), and its snippet: tokens at most, an ellipsis where cut.
constexpr const char* MarkOpen = "\x02";
constexpr const char* MarkClose = "\x03";
constexpr const char* Ellipsis = "…";
constexpr int SnippetTokens = 24;

// One word (or quoted phrase) of a query as an FTS5 string, "" when it holds no token.
QString matchTerm(QString term, bool typing) {
    bool prefix = false;
    if (term.endsWith(QLatin1Char('*'))) {
        prefix = true;
        while (term.endsWith(QLatin1Char('*')))
            term.chop(1);
    }
    const QByteArray utf8 = term.left(256).toUtf8();
    int tokens = 0;
    bool code = false;
    bool cjk = true;
    Tokenize(std::string_view(utf8.constData(), size_t(utf8.size())), TokenMode::Query,
             [&](const Token& token) {
                 ++tokens;
                 code = code || containsDigit(token.text);
                 cjk = cjk && StartsWithCjk(token.text);
             });
    if (tokens == 0)
        return {};
    const bool singleCjk = tokens == 1 &&
                           StartsWithCjk(std::string_view(utf8.constData(), size_t(utf8.size()))) &&
                           term.trimmed().toUcs4().size() == 1;
    QString quoted = term.trimmed();
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    QString expression = QLatin1Char('"') + quoted + QLatin1Char('"');
    if (prefix || code || singleCjk)
        return expression + QLatin1Char('*');
    // A word still being typed: the whole word by its stem, or the beginning of a longer one. Japanese
    // of two or more characters needs no prefix: its pairs are found inside longer runs already.
    if (typing && !cjk)
        return QLatin1Char('(') + expression + QStringLiteral(" OR ") + expression + QStringLiteral("*)");
    return expression;
}

} // namespace

QString BuildMatchExpression(const QString& words, bool lastWordIsPrefix) {
    // Words, or phrases between double quotes.
    static const QRegularExpression pieces(QStringLiteral(R"re("([^"]*)"?|(\S+))re"));
    // FTS5 reads an expression up to a NUL character: one between words is a blank, as to the tokenizer.
    QString text = words.left(1000);
    text.replace(QChar(0), QLatin1Char(' '));
    QStringList terms;
    bool endedWithPhrase = false;
    auto matches = pieces.globalMatch(text);
    while (matches.hasNext() && terms.size() < 16) {
        const QRegularExpressionMatch match = matches.next();
        const bool phrase = match.capturedLength(1) > 0 || match.captured(0).startsWith(QLatin1Char('"'));
        const QString piece = phrase ? match.captured(1) : match.captured(2);
        endedWithPhrase = phrase;
        terms.append(piece);
    }
    const bool open = lastWordIsPrefix && !text.isEmpty() && !text.back().isSpace() && !endedWithPhrase;
    QStringList parts;
    for (qsizetype i = 0; i < terms.size(); ++i) {
        const QString part = matchTerm(terms.at(i), open && i == terms.size() - 1);
        if (!part.isEmpty())
            parts.append(part);
    }
    return parts.join(QStringLiteral(" AND "));
}

SearchIndex::SearchIndex(QString hostFile) : m_file(std::move(hostFile)) {
}

bool SearchIndex::exec(const char* sql) {
    if (sqlite3_exec(m_db.get(), sql, nullptr, nullptr, nullptr) == SQLITE_OK)
        return true;
    return fail();
}

bool SearchIndex::fail() {
    if (!m_db)
        return false;
    const int code = sqlite3_extended_errcode(m_db.get());
    if (isDamageCode(code))
        m_damaged = true;
    else if (isRefusedWriteCode(code))
        m_readOnly = true;
    return false;
}

SearchIndex::OpenResult SearchIndex::open() {
    if (m_db)
        return OpenResult::Opened;
    m_damaged = false;
    m_readOnly = false;
    bool fresh = !QFile::exists(m_file);
    if (!fresh && looksDamaged(m_file)) {
        if (!QFile::remove(m_file))
            return OpenResult::Failed;
        QFile::remove(m_file + QStringLiteral("-journal"));
        fresh = true;
    }
    const QByteArray name = QFile::encodeName(m_file);
    // SQLite would make a new file 0644: made here as every file is (0666 less the umask), so the
    // technicians of a shared machine keep one index; its journals take its permissions.
    if (fresh) {
        const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
        if (fd >= 0)
            ::close(fd);
    }
    sqlite3* raw = nullptr;
    int opened = sqlite3_open_v2(name.constData(), &raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    m_db.reset(raw);
    if (opened != SQLITE_OK && !fresh) {
        // SQLite opens a file it may not write for reading by itself; a refused open is tried so too.
        raw = nullptr;
        opened = sqlite3_open_v2(name.constData(), &raw, SQLITE_OPEN_READONLY, nullptr);
        m_db.reset(raw);
    }
    m_lengths = std::make_unique<DocumentLengths>(m_db.get(), "pages");
    if (opened != SQLITE_OK || RegisterTokenizer(m_db.get()) != SQLITE_OK ||
        RegisterRanking(m_db.get(), m_lengths.get()) != SQLITE_OK ||
        RegisterSnippet(m_db.get()) != SQLITE_OK) {
        m_db.reset();
        return OpenResult::Failed;
    }
    sqlite3_busy_timeout(m_db.get(), 10000);
    m_readOnly = sqlite3_db_readonly(m_db.get(), "main") == 1;

    if (!fresh) {
        const shared::SqliteStatement layout =
            prepare(m_db.get(), "SELECT value FROM meta WHERE key = 'layout'");
        if (layout && sqlite3_step(layout.get()) == SQLITE_ROW &&
            columnText(layout.get(), 0) == QLatin1String(Layout))
            return OpenResult::Opened;
        const int code = sqlite3_extended_errcode(m_db.get());
        if (code == SQLITE_BUSY || code == SQLITE_LOCKED || m_readOnly) {
            m_db.reset();
            return OpenResult::Failed; // another program is writing it (not damaged), or it cannot be made
                                       // anew
        }
        return rebuild() ? OpenResult::Created : OpenResult::Failed;
    }
    if (create())
        return OpenResult::Created;
    m_db.reset();
    return OpenResult::Failed;
}

bool SearchIndex::create() {
    if (!exec("BEGIN") || !exec(Schema))
        return false;
    const shared::SqliteStatement layout = prepare(m_db.get(), "INSERT INTO meta VALUES('layout', ?1)");
    if (!layout)
        return fail();
    sqlite3_bind_text(layout.get(), 1, Layout, -1, SQLITE_STATIC);
    if (sqlite3_step(layout.get()) != SQLITE_DONE) {
        exec("ROLLBACK");
        return false;
    }
    return exec("COMMIT");
}

bool SearchIndex::rebuild() {
    m_db.reset();
    QFile::remove(m_file);
    QFile::remove(m_file + QStringLiteral("-journal"));
    if (QFile::exists(m_file))
        return false;
    return open() != OpenResult::Failed;
}

std::optional<std::vector<std::pair<QString, QString>>> SearchIndex::indexedManuals() {
    if (!m_db)
        return std::nullopt;
    const shared::SqliteStatement query =
        prepare(m_db.get(), "SELECT pub_no, stamp FROM manuals WHERE stamp IS NOT NULL");
    if (!query) {
        fail();
        return std::nullopt;
    }
    std::vector<std::pair<QString, QString>> manuals;
    int step = SQLITE_ROW;
    while ((step = sqlite3_step(query.get())) == SQLITE_ROW)
        manuals.emplace_back(columnText(query.get(), 0), columnText(query.get(), 1));
    if (step != SQLITE_DONE) {
        fail();
        return std::nullopt;
    }
    return manuals;
}

bool SearchIndex::removeManualRows(qint64 id) {
    const shared::SqliteStatement pages =
        prepare(m_db.get(), "DELETE FROM pages WHERE rowid >= ?1 AND rowid < ?2");
    const shared::SqliteStatement manual = prepare(m_db.get(), "DELETE FROM manuals WHERE id = ?1");
    if (!pages || !manual)
        return fail();
    sqlite3_bind_int64(pages.get(), 1, id * PagesPerManual);
    sqlite3_bind_int64(pages.get(), 2, (id + 1) * PagesPerManual);
    sqlite3_bind_int64(manual.get(), 1, id);
    if (sqlite3_step(pages.get()) != SQLITE_DONE || sqlite3_step(manual.get()) != SQLITE_DONE)
        return fail();
    return true;
}

bool SearchIndex::removeManual(const QString& pubNo) {
    if (!m_db)
        return false;
    if (!exec("BEGIN IMMEDIATE"))
        return false;
    const shared::SqliteStatement find = prepare(m_db.get(), "SELECT id FROM manuals WHERE pub_no = ?1");
    bool ok = find != nullptr;
    if (ok) {
        bindText(find.get(), 1, pubNo);
        int step = SQLITE_ROW;
        std::vector<qint64> ids;
        while ((step = sqlite3_step(find.get())) == SQLITE_ROW)
            ids.push_back(sqlite3_column_int64(find.get(), 0));
        ok = step == SQLITE_DONE;
        for (const qint64 id : ids)
            ok = ok && removeManualRows(id);
    }
    if (!ok) {
        fail();
        exec("ROLLBACK");
        return false;
    }
    return exec("COMMIT");
}

bool SearchIndex::indexManual(const ManualSource& manual, const PageSource& source) {
    if (!m_db || !removeManual(manual.Pub_No))
        return false;
    if (!exec("BEGIN IMMEDIATE"))
        return false;
    const auto rollback = [this] {
        fail();
        exec("ROLLBACK");
        return false;
    };
    const shared::SqliteStatement insertManual = prepare(
        m_db.get(), "INSERT INTO manuals(pub_no, model, ins_path, stamp, pages) VALUES(?1, ?2, ?3, NULL, 0)");
    if (!insertManual)
        return rollback();
    bindText(insertManual.get(), 1, manual.Pub_No);
    bindText(insertManual.get(), 2, manual.Model_desc);
    bindText(insertManual.get(), 3, manual.InsPath);
    if (sqlite3_step(insertManual.get()) != SQLITE_DONE)
        return rollback();
    const qint64 id = sqlite3_last_insert_rowid(m_db.get());

    const shared::SqliteStatement insertPage = prepare(
        m_db.get(),
        "INSERT INTO pages(rowid, title, body, pub_no, path, pdf_page) VALUES(?1, ?2, ?3, ?4, ?5, ?6)");
    if (!insertPage)
        return rollback();
    qint64 count = 0;
    bool written = true;
    const bool read = source([&](const PageText& page) {
        if (count + 1 >= PagesPerManual) {
            written = false;
            return false;
        }
        sqlite3_stmt* s = insertPage.get();
        sqlite3_bind_int64(s, 1, id * PagesPerManual + ++count);
        bindText(s, 2, page.title);
        bindText(s, 3, page.text);
        bindText(s, 4, manual.Pub_No);
        bindText(s, 5, page.path);
        if (page.pdfPage > 0)
            sqlite3_bind_int(s, 6, page.pdfPage);
        else
            sqlite3_bind_null(s, 6);
        written = sqlite3_step(s) == SQLITE_DONE;
        sqlite3_reset(s);
        return written;
    });
    if (!read || !written)
        return rollback();

    const shared::SqliteStatement finish =
        prepare(m_db.get(), "UPDATE manuals SET stamp = ?1, pages = ?2 WHERE id = ?3");
    if (!finish)
        return rollback();
    bindText(finish.get(), 1, manual.stamp());
    sqlite3_bind_int64(finish.get(), 2, count);
    sqlite3_bind_int64(finish.get(), 3, id);
    if (sqlite3_step(finish.get()) != SQLITE_DONE)
        return rollback();
    return exec("COMMIT");
}

std::optional<std::vector<SearchHit>> SearchIndex::search(const QString& matchExpression, int limit) {
    if (!m_db)
        return std::nullopt;
    std::vector<SearchHit> hits;
    if (matchExpression.isEmpty() || limit <= 0)
        return hits;
    // The walk over the matches and the reading of the best rows see the same state of the file, whatever
    // another program writes meanwhile.
    if (!exec("BEGIN"))
        return std::nullopt;
    std::optional<std::vector<SearchHit>> found = searchIn(matchExpression, limit);
    if (!found)
        fail();
    exec("COMMIT");
    return found;
}

std::optional<std::vector<SearchHit>> SearchIndex::searchIn(const QString& matchExpression, int limit) {
    struct Manual {
        QString model;
        QString insPath;
    };
    QHash<qint64, Manual> manuals;
    const shared::SqliteStatement listed = prepare(m_db.get(), "SELECT id, model, ins_path FROM manuals");
    if (!listed)
        return std::nullopt;
    while (sqlite3_step(listed.get()) == SQLITE_ROW)
        manuals.insert(sqlite3_column_int64(listed.get(), 0),
                       Manual{columnText(listed.get(), 1), columnText(listed.get(), 2)});

    // One walk over the matches keeps the best rows with their hits; their texts are then read by rowid
    // and marked here, so the match runs once. (FTS5's own "ORDER BY rank" sorts every match with all
    // its positions, and its highlight and snippet need the match again for each row.)
    BestRows best{size_t(limit)};
    const shared::SqliteStatement walk =
        prepare(m_db.get(), "SELECT marvek_best(pages, ?2, 10.0, 1.0) FROM pages WHERE pages MATCH ?1");
    if (!walk)
        return std::nullopt;
    bindText(walk.get(), 1, matchExpression);
    sqlite3_bind_pointer(walk.get(), 2, &best, BestRowsPointerType, nullptr);
    int step = SQLITE_ROW;
    while ((step = sqlite3_step(walk.get())) == SQLITE_ROW) {
    }
    if (step != SQLITE_DONE)
        return std::nullopt;

    const int phrases = best.phrases();
    const shared::SqliteStatement texts =
        prepare(m_db.get(), "SELECT pub_no, path, pdf_page, title, body FROM pages WHERE rowid = ?1");
    if (!texts)
        return std::nullopt;
    const auto utf8 = [&](int column) {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(texts.get(), column));
        return text ? std::string_view(text, size_t(sqlite3_column_bytes(texts.get(), column)))
                    : std::string_view();
    };
    // A row that kept no hits (too many of them) is marked through the match again.
    shared::SqliteStatement matched;
    std::vector<SearchHit> hits;
    for (const BestRows::Row& row : best.take()) {
        sqlite3_stmt* statement = texts.get();
        if (!row.complete) {
            if (!matched) {
                matched =
                    prepare(m_db.get(), "SELECT pub_no, path, pdf_page, marvek_highlight(pages, 0, ?3, ?4),"
                                        " marvek_snippet(pages, 1, ?3, ?4, ?5, ?6)"
                                        " FROM pages WHERE pages MATCH ?2 AND rowid = ?1");
                if (!matched)
                    return std::nullopt;
                bindText(matched.get(), 2, matchExpression);
                sqlite3_bind_text(matched.get(), 3, MarkOpen, -1, SQLITE_STATIC);
                sqlite3_bind_text(matched.get(), 4, MarkClose, -1, SQLITE_STATIC);
                sqlite3_bind_text(matched.get(), 5, Ellipsis, -1, SQLITE_STATIC);
                sqlite3_bind_int(matched.get(), 6, SnippetTokens);
            }
            statement = matched.get();
        }
        sqlite3_bind_int64(statement, 1, row.rowid);
        step = sqlite3_step(statement);
        if (step == SQLITE_ROW) {
            SearchHit hit;
            const Manual manual = manuals.value(row.rowid >> PageBits);
            hit.pubNo = columnText(statement, 0);
            hit.pagePath = columnText(statement, 1);
            hit.pdfPage = sqlite3_column_int(statement, 2);
            if (row.complete) {
                hit.title = QString::fromStdString(HighlightText(utf8(3), row.hits, 0, MarkOpen, MarkClose));
                hit.snippet = QString::fromStdString(
                    SnippetText(utf8(4), row.hits, 1, phrases, SnippetTokens, MarkOpen, MarkClose, Ellipsis));
            } else {
                hit.title = columnText(statement, 3);
                hit.snippet = columnText(statement, 4);
            }
            hit.model = manual.model;
            hit.insPath = manual.insPath;
            hits.push_back(std::move(hit));
        } else if (step != SQLITE_DONE) {
            return std::nullopt;
        }
        sqlite3_reset(statement);
    }
    return hits;
}

} // namespace marvek::search
