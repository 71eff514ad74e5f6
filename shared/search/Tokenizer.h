#pragma once

#include <sqlite3.h>
#include <string>
#include <string_view>

namespace marvek::search {

// The suite's own word rules, shared by the index and the queries:
// - words of letters and digits are folded (case, accents, full-width forms); a word without a digit is
//   cut to its stem by a light English suffix stripper ("bleeding", "Bleeds" -> "bleed"); a word with a
//   digit is a code ("P0A80", "90915") and kept whole;
// - runs of Japanese, Chinese or Korean characters, which have no blanks between words, give overlapping
//   character pairs, so any run of two or more characters is found as a phrase; in a document the last
//   character of a run is also given alone (at the place of the last pair), so a one-character query
//   finds every occurrence as a prefix.
// Every token is a piece of the folded text (FoldText) and its offsets are those of its characters in the
// input, in bytes.
enum class TokenMode {
    Document, // text being indexed
    Query,    // a query term
    Prefix,   // a query term searched by prefix: not stemmed
    // A document's text again for highlights and snippets, where only places and offsets count: the
    // tokens of Document at the same places, words not stemmed, a pair given by its first character.
    Auxiliary,
};

struct Token {
    std::string_view text; // valid during the callback only
    int start = 0;         // byte offsets in the input, end exclusive
    int end = 0;
    bool colocated = false; // at the same place as the token before it
};

// Calls sink(token) for every token; a non-zero result of the sink stops the walk and is returned.
template <typename Sink> int Tokenize(std::string_view utf8, TokenMode mode, Sink&& sink);

// The input with every character folded as the tokens are: separators become one blank each, marks
// inside words vanish, invalid bytes become U+FFFD.
std::string FoldText(std::string_view utf8);

// The stem of a folded word (a prefix of it: letters are only ever cut from the end).
std::string_view StemWord(std::string_view word);

// True when the first character of the text belongs to a run of Japanese, Chinese or Korean characters.
bool StartsWithCjk(std::string_view utf8);

// The connection's FTS5 interface; null when SQLite has no FTS5.
fts5_api* Fts5Api(sqlite3* db);

// Registers the tokenizer under the name "marvek" on the connection; SQLITE_OK or an error code.
int RegisterTokenizer(sqlite3* db);
inline constexpr const char* TokenizerName = "marvek";

// The walk itself, behind the template.
namespace detail {
using TokenCallback = int (*)(void* context, const Token& token);
int tokenize(std::string_view utf8, TokenMode mode, TokenCallback callback, void* context);
} // namespace detail

template <typename Sink> int Tokenize(std::string_view utf8, TokenMode mode, Sink&& sink) {
    return detail::tokenize(
        utf8, mode,
        [](void* context, const Token& token) -> int {
            auto& call = *static_cast<std::remove_reference_t<Sink>*>(context);
            if constexpr (std::is_void_v<decltype(call(token))>) {
                call(token);
                return 0;
            } else {
                return call(token);
            }
        },
        &sink);
}

} // namespace marvek::search
