#pragma once

#include "shared/database/SqliteHandles.h"
#include "shared/search/Ranking.h"

#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace marvek::search {

// An installed manual as the manual database lists it: what the index needs to read its pages and to
// know whether the rows it holds are current.
struct ManualSource {
    QString Pub_No;
    QString Model_desc;
    QString Version;
    QString InsPath;
    QString InsDate; // "yyyy-MM-dd HH:mm:ss"
    bool pdf = false;

    // Rows indexed from another stamp are from an older installation of the manual.
    QString stamp() const { return Version + QLatin1Char('|') + InsDate + QLatin1Char('|') + InsPath; }
};

// One page of a manual: an HTML file, or one page of a PDF manual (pdfPage from 1; 0 for HTML).
struct PageText {
    QString path; // inside the manual's folder, "\" between names ("contents\brake\p001.html")
    QString title;
    QString text;
    int pdfPage = 0;
};

// One result. Highlighted words in title and snippet lie between HighlightStart and HighlightEnd.
struct SearchHit {
    QString pubNo;
    QString model;
    QString insPath;
    QString pagePath;
    int pdfPage = 0;
    QString title;
    QString snippet;

    QString pageFile() const { return insPath + QLatin1Char('\\') + pagePath; }
};
inline constexpr QChar HighlightStart = QChar(0x02);
inline constexpr QChar HighlightEnd = QChar(0x03);

// How a technician's words become a query.
struct QueryOptions {
    int limit = 50;
    bool lastWordIsPrefix = false; // typing: the last word is not finished yet
};

// The FTS5 expression for the words: every word must occur; quotes keep phrases ("brake fluid");
// a word ending in "*", a code with digits and a single Japanese character are searched by prefix.
// Empty when the words hold nothing to search for.
QString BuildMatchExpression(const QString& words, bool lastWordIsPrefix);

using PageSink = std::function<bool(const PageText&)>;
// Calls the sink for every page of a manual; false when the manual cannot be read.
using PageSource = std::function<bool(const PageSink&)>;

// The search index file: one FTS5 row per page and one row per indexed manual. It lives in its own
// file; a file that is missing, damaged or of another layout is made anew.
class SearchIndex {
public:
    explicit SearchIndex(QString hostFile);

    const QString& file() const { return m_file; }

    enum class OpenResult { Opened, Created, Failed };
    // Opens the file (once), making it anew when it is missing, damaged or of another layout. A file this
    // user may not write (another account made it, a read-only share) opens for reading.
    OpenResult open();
    bool isOpen() const { return m_db != nullptr; }
    void close() { m_db.reset(); }
    // Deletes the file and makes an empty index.
    bool rebuild();
    // True when the last failure came from a damaged file (then rebuild() and try again).
    bool damaged() const { return m_damaged; }
    // True when the file can be searched but not changed: it opened for reading only, or a change was
    // refused for want of write access (to the file, its journal or its folder).
    bool readOnly() const { return m_readOnly; }

    // The stamps of the indexed manuals by publication number; empty on failure.
    std::optional<std::vector<std::pair<QString, QString>>> indexedManuals();
    // Replaces the manual's rows with the pages the source gives, in one transaction: when the source
    // fails, the manual is left out of the index ("not indexed").
    bool indexManual(const ManualSource& manual, const PageSource& pages);
    // Removes the manual's rows; true also when it had none.
    bool removeManual(const QString& pubNo);
    // The best hits for a match expression (BuildMatchExpression); empty optional on failure.
    std::optional<std::vector<SearchHit>> search(const QString& matchExpression, int limit);

private:
    bool create();
    bool exec(const char* sql);
    bool fail();
    bool removeManualRows(qint64 id);
    std::optional<std::vector<SearchHit>> searchIn(const QString& matchExpression, int limit);

    QString m_file;
    std::unique_ptr<DocumentLengths> m_lengths; // used by the connection: goes after it
    shared::SqliteDatabase m_db;
    bool m_damaged = false;
    bool m_readOnly = false;
};

} // namespace marvek::search
