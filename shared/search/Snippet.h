#pragma once

#include <sqlite3.h>
#include <string>
#include <string_view>
#include <vector>

namespace marvek::search {

// Registers the FTS5 function "marvek_snippet" on the connection. It takes the arguments of FTS5's
// snippet (column or -1 for any, opening and closing marks, ellipsis, tokens at most 64) and chooses
// the window as it does: the one holding the most different phrases, then the most hits, also tried
// from the start of the sentence a hit is in; the hits centred in it. FTS5's own scores every window
// by walking every hit of the row, which on a page holding a common word hundreds of times costs far
// more than the rest of a search; this one looks each window up in counts made once per row.
// Also registers "marvek_highlight" (column, opening and closing marks): the whole column with its hits
// marked. Both mark hits by the bytes of their tokens, which overlap where Japanese pairs do (FTS5's
// own functions then copy the text again after the first hit). SQLITE_OK or an error code.
int RegisterSnippet(sqlite3* db);
inline constexpr const char* SnippetName = "marvek_snippet";
inline constexpr const char* HighlightName = "marvek_highlight";

// A hit of one of a query's phrases: its column and token places [offset, end).
struct PhraseHit {
    int column = 0;
    int offset = 0;
    int end = 0;
    int phrase = 0;
};

// The hits of the row an FTS5 function is called for, by column and place. SQLITE_OK or an error code.
int RowHits(const Fts5ExtensionApi* api, Fts5Context* fts, std::vector<PhraseHit>& hits);

// What marvek_highlight and marvek_snippet (of one column) give for a column's text and the row's hits
// (RowHits), out of the query: the text is tokenized as the index does it for highlights.
std::string HighlightText(std::string_view text, const std::vector<PhraseHit>& hits, int column,
                          std::string_view open, std::string_view close);
std::string SnippetText(std::string_view text, const std::vector<PhraseHit>& hits, int column, int phrases,
                        int tokens, std::string_view open, std::string_view close, std::string_view ellipsis);

} // namespace marvek::search
