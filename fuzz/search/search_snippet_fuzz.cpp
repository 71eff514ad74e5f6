// A page's title and text and a technician's words ("words\ntitle\ntext"; the first byte: the snippet's
// length in tokens, its top bit the last word still being typed) through the suite's snippet and
// highlight. Checked: every hit gets both, their marks are paired, the highlight without its marks is the
// title, and the snippet without marks and ellipses is a piece of the column it shows; the search's own
// marking out of the query (from the row's hits alone) is the functions'; where every phrase is one token
// and not Japanese, the snippet is the very one FTS5's own function gives.

#include "fuzz/FuzzCheck.h"
#include "shared/search/SearchIndex.h"
#include "shared/search/Snippet.h"
#include "shared/search/Tokenizer.h"

#include <string>
#include <vector>

using namespace marvek;

namespace {

constexpr char Open = '\x02';
constexpr char Close = '\x03';
constexpr const char* Ellipsis = "\x01\x01";

// The search's own marking out of the query: the title's highlight and the body's snippet from the row's
// hits alone.
void direct(const Fts5ExtensionApi* api, Fts5Context* fts, sqlite3_context* context, int argc,
            sqlite3_value** argv) {
    std::vector<search::PhraseHit> hits;
    MARVEK_FUZZ_CHECK(search::RowHits(api, fts, hits) == SQLITE_OK);
    const auto column = [&](int index) {
        const char* text = nullptr;
        int size = 0;
        api->xColumnText(fts, index, &text, &size);
        return std::string_view(text ? text : "", text ? size_t(size) : 0);
    };
    const int tokens = argc > 0 ? sqlite3_value_int(argv[0]) : 24;
    const std::string out =
        search::HighlightText(column(0), hits, 0, "\x02", "\x03") + '\x04' +
        search::SnippetText(column(1), hits, 1, api->xPhraseCount(fts), tokens, "\x02", "\x03", Ellipsis);
    sqlite3_result_text(context, out.data(), int(out.size()), SQLITE_TRANSIENT);
}

struct Table {
    sqlite3* db = nullptr;
    Table() {
        sqlite3_open(":memory:", &db);
        fts5_api* api = nullptr;
        if (search::RegisterTokenizer(db) != SQLITE_OK || search::RegisterSnippet(db) != SQLITE_OK ||
            !(api = search::Fts5Api(db)) ||
            api->xCreateFunction(api, "direct", nullptr, direct, nullptr) != SQLITE_OK ||
            sqlite3_exec(db, "CREATE VIRTUAL TABLE t USING fts5(title, body, tokenize='marvek')", nullptr,
                         nullptr, nullptr) != SQLITE_OK)
            fuzz::fail("the table is made", __FILE__, __LINE__);
    }
    ~Table() { sqlite3_close(db); }
};

Table& table() {
    static Table made;
    return made;
}

std::string text(sqlite3_stmt* statement, int column) {
    const auto* at = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
    return at ? std::string(at, size_t(sqlite3_column_bytes(statement, column))) : std::string();
}

// The text without its marks, which must be paired.
std::string unmarked(const std::string& snippet) {
    std::string plain;
    bool open = false;
    for (const char c : snippet) {
        if (c == Open) {
            MARVEK_FUZZ_CHECK(!open);
            open = true;
        } else if (c == Close) {
            MARVEK_FUZZ_CHECK(open);
            open = false;
        } else {
            plain.push_back(c);
        }
    }
    MARVEK_FUZZ_CHECK(!open);
    return plain;
}

// The marks paired and the rest a piece of one of the texts, ellipses only where it was cut.
void checkSnippet(const std::string& snippet, const std::string& title, const std::string& body) {
    std::string plain = unmarked(snippet);
    const std::string ellipsis(Ellipsis);
    const bool cutStart = plain.rfind(ellipsis, 0) == 0;
    if (cutStart)
        plain.erase(0, ellipsis.size());
    const bool cutEnd = plain.size() >= ellipsis.size() &&
                        plain.compare(plain.size() - ellipsis.size(), ellipsis.size(), ellipsis) == 0;
    if (cutEnd)
        plain.erase(plain.size() - ellipsis.size());
    const auto pieceOf = [&](const std::string& column) {
        const size_t at = column.find(plain);
        return at != std::string::npos && (cutStart || at == 0) &&
               (cutEnd || at + plain.size() == column.size() ||
                column.rfind(plain) + plain.size() == column.size());
    };
    MARVEK_FUZZ_CHECK(pieceOf(title) || pieceOf(body));
}

// The first two columns of every row the query gives for the match, as texts.
std::vector<std::pair<std::string, std::string>> rows(const std::string& sql, const std::string& match) {
    std::vector<std::pair<std::string, std::string>> out;
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(table().db, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK)
        fuzz::fail("the query is prepared", __FILE__, __LINE__);
    sqlite3_bind_text(statement, 1, match.c_str(), int(match.size()), SQLITE_TRANSIENT);
    int step = SQLITE_ROW;
    while ((step = sqlite3_step(statement)) == SQLITE_ROW)
        out.emplace_back(text(statement, 0), text(statement, 1));
    sqlite3_finalize(statement);
    MARVEK_FUZZ_CHECK(step == SQLITE_DONE);
    return out;
}

// FTS5's snippet and the suite's of every match.
std::vector<std::pair<std::string, std::string>> snippets(const std::string& match, int column, int tokens) {
    const std::string arguments =
        std::to_string(column) + ", char(2), char(3), char(1, 1), " + std::to_string(tokens);
    return rows("SELECT snippet(t, " + arguments + "), marvek_snippet(t, " + arguments +
                    ") FROM t WHERE t MATCH ?1",
                match);
}

// Each match's highlight of the title, and "1" where the search's own marking differs from the functions'.
std::vector<std::pair<std::string, std::string>> highlights(const std::string& match, int tokens) {
    return rows("SELECT marvek_highlight(t, 0, char(2), char(3)), direct(t, " + std::to_string(tokens) +
                    ") IS NOT marvek_highlight(t, 0, char(2), char(3)) || char(4) || marvek_snippet(t, 1, "
                    "char(2), char(3), char(1, 1), " +
                    std::to_string(tokens) + ") FROM t WHERE t MATCH ?1",
                match);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0 || size > 20000)
        return 0;
    const int tokens = 2 + data[0] % 63;
    std::string input(reinterpret_cast<const char*>(data + 1), size - 1);
    for (char& c : input)
        if (c == Open || c == Close || c == '\x01' || c == '\0')
            c = ' ';
    const size_t firstBreak = input.find('\n');
    const size_t secondBreak =
        firstBreak == std::string::npos ? firstBreak : input.find('\n', firstBreak + 1);
    if (secondBreak == std::string::npos)
        return 0;
    const std::string words = input.substr(0, firstBreak);
    const std::string title = input.substr(firstBreak + 1, secondBreak - firstBreak - 1);
    const std::string body = input.substr(secondBreak + 1);

    sqlite3* db = table().db;
    sqlite3_exec(db, "DELETE FROM t", nullptr, nullptr, nullptr);
    sqlite3_stmt* insert = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO t(title, body) VALUES(?1, ?2)", -1, &insert, nullptr);
    sqlite3_bind_text(insert, 1, title.data(), int(title.size()), SQLITE_TRANSIENT);
    sqlite3_bind_text(insert, 2, body.data(), int(body.size()), SQLITE_TRANSIENT);
    MARVEK_FUZZ_CHECK(sqlite3_step(insert) == SQLITE_DONE);
    sqlite3_finalize(insert);

    // The words that are one token each, any of them: the very snippet of FTS5. Not Japanese: pairs
    // overlap, and where two hits' pairs do, FTS5's own copies the text again after the first.
    std::string single;
    size_t start = 0;
    while (start < words.size()) {
        const size_t end = std::min(words.find(' ', start), words.size());
        const std::string word = words.substr(start, end - start);
        start = end + 1;
        int count = 0;
        search::Tokenize(word, search::TokenMode::Query, [&](const search::Token&) { ++count; });
        if (count != 1 || word.find('"') != std::string::npos ||
            search::StartsWithCjk(search::FoldText(word)))
            continue;
        single += (single.empty() ? "\"" : " OR \"") + word + "\"";
    }
    if (!single.empty())
        for (const int column : {1, -1})
            for (const auto& [fts5, suite] : snippets(single, column, tokens)) {
                MARVEK_FUZZ_CHECK(suite == fts5);
                checkSnippet(suite, title, body);
            }

    // The words as the suite searches them: phrases and prefixes too.
    const QString expression =
        search::BuildMatchExpression(QString::fromStdString(words), (data[0] & 0x80) != 0);
    if (!expression.isEmpty())
        for (const int column : {1, -1})
            for (const auto& hit : snippets(expression.toStdString(), column, tokens))
                checkSnippet(hit.second, title, body);
    // The whole title with its hits marked; the search's own marking is the functions'.
    if (!expression.isEmpty())
        for (const auto& [marked, ownWay] : highlights(expression.toStdString(), tokens)) {
            MARVEK_FUZZ_CHECK(unmarked(marked) == title);
            MARVEK_FUZZ_CHECK(ownWay == "0");
        }
    return 0;
}
