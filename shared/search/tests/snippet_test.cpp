#include "shared/search/Snippet.h"
#include "shared/search/Tokenizer.h"

#include <gtest/gtest.h>
#include <random>
#include <string>
#include <vector>

using namespace marvek::search;

namespace {

// "direct(t)": the search's own marking out of the query (RowHits, then HighlightText of the title and
// SnippetText of the body, 10 tokens), to hold against marvek_highlight and marvek_snippet.
void direct(const Fts5ExtensionApi* api, Fts5Context* fts, sqlite3_context* context, int, sqlite3_value**) {
    std::vector<PhraseHit> hits;
    RowHits(api, fts, hits);
    const auto column = [&](int index) {
        const char* text = nullptr;
        int size = 0;
        api->xColumnText(fts, index, &text, &size);
        return std::string_view(text ? text : "", text ? size_t(size) : 0);
    };
    const std::string out = HighlightText(column(0), hits, 0, "[", "]") + "|" +
                            SnippetText(column(1), hits, 1, api->xPhraseCount(fts), 10, "[", "]", "...");
    sqlite3_result_text(context, out.data(), int(out.size()), SQLITE_TRANSIENT);
}

struct Table {
    Table() {
        sqlite3_open(":memory:", &db);
        RegisterTokenizer(db);
        RegisterSnippet(db);
        fts5_api* api = Fts5Api(db);
        api->xCreateFunction(api, "direct", nullptr, direct, nullptr);
        exec("CREATE VIRTUAL TABLE t USING fts5(title, body, tokenize='marvek')");
    }
    ~Table() { sqlite3_close(db); }
    void exec(const std::string& sql) const {
        ASSERT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    }
    void add(const std::string& title, const std::string& body) const {
        sqlite3_stmt* statement = nullptr;
        sqlite3_prepare_v2(db, "INSERT INTO t(title, body) VALUES(?1, ?2)", -1, &statement, nullptr);
        sqlite3_bind_text(statement, 1, title.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(statement, 2, body.c_str(), -1, SQLITE_TRANSIENT);
        EXPECT_EQ(sqlite3_step(statement), SQLITE_DONE);
        sqlite3_finalize(statement);
    }
    // The first column of every match, FTS5's own way and the suite's.
    std::string texts(const std::string& function, const std::string& match) const {
        const std::string sql = "SELECT " + function + " FROM t WHERE t MATCH ?1 ORDER BY rowid";
        std::string out;
        sqlite3_stmt* statement = nullptr;
        EXPECT_EQ(sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr), SQLITE_OK)
            << sqlite3_errmsg(db);
        sqlite3_bind_text(statement, 1, match.c_str(), -1, SQLITE_TRANSIENT);
        while (sqlite3_step(statement) == SQLITE_ROW)
            out += reinterpret_cast<const char*>(sqlite3_column_text(statement, 0)) + std::string("|");
        sqlite3_finalize(statement);
        return out;
    }
    // FTS5's snippet and the suite's of every match, as pairs.
    std::vector<std::pair<std::string, std::string>> snippets(const std::string& match, int column,
                                                              int tokens) const {
        const std::string arguments = std::to_string(column) + ", '[', ']', '...', " + std::to_string(tokens);
        const std::string sql = "SELECT snippet(t, " + arguments + "), marvek_snippet(t, " + arguments +
                                ") FROM t WHERE t MATCH ?1 ORDER BY rowid";
        std::vector<std::pair<std::string, std::string>> out;
        sqlite3_stmt* statement = nullptr;
        EXPECT_EQ(sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr), SQLITE_OK)
            << sqlite3_errmsg(db);
        sqlite3_bind_text(statement, 1, match.c_str(), -1, SQLITE_TRANSIENT);
        while (sqlite3_step(statement) == SQLITE_ROW)
            out.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(statement, 0)),
                             reinterpret_cast<const char*>(sqlite3_column_text(statement, 1)));
        sqlite3_finalize(statement);
        return out;
    }

    sqlite3* db = nullptr;
};

// The window is FTS5's own, hit for hit: most phrases, then most hits, sentence starts preferred, hits
// centred, ellipses where cut; in either column or the best of both. Rows hold from no hit to
// thousands of them.
TEST(Snippet, ChoosesAndMarksTheWindowAsFts5Does) {
    const Table table;
    const std::vector<std::string> words = {"brake", "fluid", "bleed", "pad",
                                            "rotor", "P0A80", "check", "the"};
    const std::vector<std::string> marks = {" ", " ", " ", ", ", ". ", ": ", ".", "\n"};
    std::mt19937 random(11);
    const auto text = [&](int count) {
        std::string out;
        for (int i = 0; i < count; ++i)
            out += words[random() % words.size()] + marks[random() % marks.size()];
        return out;
    };
    for (int row = 0; row < 150; ++row)
        table.add(text(int(random() % 8)), text(int(random() % 200)));
    std::string crowded;
    for (int i = 0; i < 4000; ++i)
        crowded += i % 7 == 0 ? "rotor. " : "brake ";
    table.add("brake", crowded);

    int compared = 0;
    for (const std::string match :
         {"brake", "rotor", "pad AND fluid", "bleed OR p0a80", "check the", "title:fluid"})
        for (const int column : {1, -1})
            for (const int tokens : {5, 24, 64}) {
                for (const auto& [fts5, suite] : table.snippets(match, column, tokens))
                    ASSERT_EQ(suite, fts5) << match << ", column " << column << ", " << tokens << " tokens";
                ++compared;
            }
    EXPECT_EQ(compared, 36);
    for (const std::string match : {"brake", "pad AND fluid", "bleed OR p0a80", "title:fluid"})
        EXPECT_EQ(table.texts("direct(t)", match),
                  table.texts(
                      "marvek_highlight(t, 0, '[', ']') || '|' || marvek_snippet(t, 1, '[', ']', '...', 10)",
                      match));
    for (const std::string match : {"brake", "pad AND fluid", "title:fluid", "check the"})
        EXPECT_EQ(table.texts("marvek_highlight(t, 0, '[', ']')", match),
                  table.texts("highlight(t, 0, '[', ']')", match));
}

// Japanese is found by overlapping pairs: a phrase is marked whole, a phrase the window cuts is marked
// where it shows (FTS5 leaves its start unmarked when the window begins inside it), and hits whose pairs
// overlap are marked as one.
TEST(Snippet, MarksJapanesePhrasesWholeAndWhereTheWindowCutsThem) {
    const Table table;
    table.add("冷却水の交換", "エンジンを止めて冷却水を抜く。ラジエーターキャップを外す。");
    table.add("", "たちつてとなにぬねのはひふへほまみむめもサーモスタットやゆよらりるれろわをん");

    const auto whole = table.snippets("\"冷却水\"", 1, 24);
    ASSERT_EQ(whole.size(), 1u);
    EXPECT_NE(whole[0].second.find("[冷却水]"), std::string::npos) << whole[0].second;
    EXPECT_EQ(table.snippets("\"冷却水\"", 0, 24)[0].second, "[冷却水]の交換");

    // Three places centred on a phrase of six: the window starts and ends inside it.
    const auto cut = table.snippets("\"サーモスタット\"", 1, 3);
    ASSERT_EQ(cut.size(), 1u);
    EXPECT_EQ(cut[0].second, "...[ーモスタ]...");

    // Hits next to each other overlap by a character: marked once, the text not copied again after
    // them (as FTS5's highlight does: "[冷却]水の交換[却水]の交換").
    EXPECT_EQ(table.texts("marvek_highlight(t, 0, '[', ']')", "\"冷\"* AND \"却\"*"), "[冷却水]の交換|");
    EXPECT_EQ(table.texts("marvek_highlight(t, 0, '[', ']')", "\"冷却水\" AND \"水の\""), "[冷却水の]交換|");
    EXPECT_EQ(table.texts("marvek_snippet(t, 1, '[', ']', '...', 10)", "\"冷\"* AND \"却\"*"),
              "エンジンを止めて[冷却水]...|");
    for (const std::string match : {"\"冷\"* AND \"却\"*", "\"サーモスタット\"", "\"冷却水\" OR \"外す\""})
        EXPECT_EQ(table.texts("direct(t)", match),
                  table.texts(
                      "marvek_highlight(t, 0, '[', ']') || '|' || marvek_snippet(t, 1, '[', ']', '...', 10)",
                      match));
}

} // namespace
