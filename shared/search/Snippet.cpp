#include "shared/search/Snippet.h"

#include "shared/search/Tokenizer.h"

#include <algorithm>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace marvek::search {

namespace {

constexpr int MaxTokens = 64;
constexpr int FirstHitScore = 1000;     // a phrase the window did not hold yet
constexpr int SentenceStartBonus = 100; // a window starting a sentence...
constexpr int TextStartBonus = 120;     // ...or the text

// One column's tokens: their byte ranges in the text by place, and the places that start a sentence
// (after a full stop or colon and a blank, and the first).
struct ColumnTokens {
    std::string_view text;
    std::vector<std::pair<int, int>> bytes;
    std::vector<int> sentenceStarts;

    // The text tokenized as FTS5 does it for highlights.
    explicit ColumnTokens(std::string_view column = {}) : text(column) {
        Tokenize(text, TokenMode::Auxiliary, [this](const Token& token) { add(token); });
    }

private:
    void add(const Token& token) {
        if (token.colocated)
            return;
        const int place = int(bytes.size());
        if (place == 0) {
            sentenceStarts.push_back(0);
        } else {
            int at = token.start - 1;
            while (at >= 0 && std::string_view(" \t\n\r").find(text[size_t(at)]) != std::string_view::npos)
                --at;
            if (at != token.start - 1 && at >= 0 && (text[size_t(at)] == '.' || text[size_t(at)] == ':'))
                sentenceStarts.push_back(place);
        }
        bytes.emplace_back(token.start, token.end);
    }
};

// Scores windows of a column's hits (in place order) whose starts never go back: each hit enters and
// leaves the window once, with a count per phrase.
class WindowScores {
public:
    WindowScores(const std::vector<PhraseHit>& hits, int phrases, int tokens)
        : m_hits(hits), m_tokens(tokens), m_counts(size_t(phrases), 0) {}

    struct Window {
        int score = 0;
        int first = -1; // place of the first hit inside
        int last = 0;   // end of the last hit's phrase
    };

    Window at(int start) {
        const long long end = static_cast<long long>(start) + m_tokens;
        while (m_high < m_hits.size() && m_hits[m_high].offset < end)
            enter(m_hits[m_high++]);
        while (m_low < m_high && m_hits[m_low].offset < start)
            leave(m_hits[m_low++]);
        Window window;
        if (m_low == m_high)
            return window;
        const int count = int(m_high - m_low);
        window.score = FirstHitScore * m_distinct + (count - m_distinct);
        window.first = m_hits[m_low].offset;
        window.last = m_hits[m_high - 1].end;
        return window;
    }

private:
    void enter(const PhraseHit& hit) {
        if (m_counts[size_t(hit.phrase)]++ == 0)
            ++m_distinct;
    }
    void leave(const PhraseHit& hit) {
        if (--m_counts[size_t(hit.phrase)] == 0)
            --m_distinct;
    }

    const std::vector<PhraseHit>& m_hits;
    const int m_tokens;
    std::vector<int> m_counts;
    int m_distinct = 0;
    size_t m_low = 0;
    size_t m_high = 0;
};

// The window's text with its hits between the marks, an ellipsis where text was cut.
std::string render(const ColumnTokens& column, const std::vector<PhraseHit>& hits, int start, int tokens,
                   std::string_view open, std::string_view close, std::string_view ellipsis) {
    const int count = int(column.bytes.size());
    const int last = std::min(start + tokens, count) - 1;
    std::string out;
    int copied = 0;
    if (start > 0 && start < count) {
        out.append(ellipsis);
        copied = column.bytes[size_t(start)].first;
    }
    // The hits' byte ranges inside the window; ranges that touch or overlap make one highlight.
    int highlightStart = -1;
    int highlightEnd = -1;
    const auto flush = [&] {
        if (highlightStart < 0)
            return;
        out.append(column.text.substr(size_t(copied), size_t(highlightStart - copied)));
        out.append(open);
        out.append(column.text.substr(size_t(highlightStart), size_t(highlightEnd - highlightStart)));
        out.append(close);
        copied = highlightEnd;
        highlightStart = -1;
    };
    for (const PhraseHit& hit : hits) {
        const int from = std::max(hit.offset, start);
        const int to = std::min(hit.end - 1, last);
        if (from > to)
            continue;
        const int byteStart = std::max(column.bytes[size_t(from)].first, copied);
        const int byteEnd = column.bytes[size_t(to)].second;
        if (highlightStart >= 0 && byteStart < highlightEnd) {
            highlightEnd = std::max(highlightEnd, byteEnd);
            continue;
        }
        flush();
        if (byteEnd > byteStart) {
            highlightStart = byteStart;
            highlightEnd = byteEnd;
        }
    }
    flush();
    if (last >= count - 1) {
        out.append(column.text.substr(std::min(size_t(copied), column.text.size())));
    } else {
        const int end = std::max(column.bytes[size_t(last)].second, copied);
        out.append(column.text.substr(size_t(copied), size_t(end - copied)));
        out.append(ellipsis);
    }
    return out;
}

int columnText(const Fts5ExtensionApi* api, Fts5Context* fts, int column, std::string_view& text) {
    const char* at = nullptr;
    int size = 0;
    const int rc = api->xColumnText(fts, column, &at, &size);
    text = at ? std::string_view(at, size_t(size)) : std::string_view();
    return rc;
}

std::string_view textArgument(sqlite3_value* value) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(value));
    return text ? std::string_view(text, size_t(sqlite3_value_bytes(value))) : std::string_view();
}

// The hits of one column that lie on its tokens.
std::vector<PhraseHit> hitsOf(const std::vector<PhraseHit>& all, int column, const ColumnTokens& tokens) {
    std::vector<PhraseHit> hits;
    for (const PhraseHit& hit : all)
        if (hit.column == column && hit.offset < int(tokens.bytes.size()))
            hits.push_back(hit);
    return hits;
}

struct Choice {
    int score = 0;
    int start = 0;
};

// The column's best window if it scores above the given one (FTS5's rules).
std::optional<Choice> betterWindow(const ColumnTokens& column, const std::vector<PhraseHit>& hits,
                                   int phrases, int tokens, int scoreToBeat) {
    const int count = int(column.bytes.size());
    std::optional<Choice> best;
    int bestScore = scoreToBeat;
    WindowScores fromHit(hits, phrases, tokens);
    WindowScores fromSentence(hits, phrases, tokens);
    size_t sentence = 0;
    for (const PhraseHit& hit : hits) {
        const WindowScores::Window window = fromHit.at(hit.offset);
        if (window.score > bestScore) {
            int adjusted = window.first - (tokens - (window.last - window.first)) / 2;
            if (adjusted + tokens > count)
                adjusted = count - tokens;
            bestScore = window.score;
            best = Choice{window.score, std::max(adjusted, 0)};
        }
        if (column.sentenceStarts.empty() || count <= tokens)
            continue;
        while (sentence + 1 < column.sentenceStarts.size() &&
               column.sentenceStarts[sentence + 1] <= hit.offset)
            ++sentence;
        const int start = column.sentenceStarts[sentence];
        if (start >= hit.offset)
            continue;
        const int score = fromSentence.at(start).score + (start == 0 ? TextStartBonus : SentenceStartBonus);
        if (score > bestScore) {
            bestScore = score;
            best = Choice{score, start};
        }
    }
    return best;
}

void snippet(const Fts5ExtensionApi* api, Fts5Context* fts, sqlite3_context* context, int argc,
             sqlite3_value** argv) {
    if (argc != 5) {
        sqlite3_result_error(context, "wrong number of arguments to function marvek_snippet()", -1);
        return;
    }
    const int wanted = sqlite3_value_int(argv[0]);
    const std::string_view open = textArgument(argv[1]);
    const std::string_view close = textArgument(argv[2]);
    const std::string_view ellipsis = textArgument(argv[3]);
    const int tokens = std::clamp(sqlite3_value_int(argv[4]), 1, MaxTokens);

    const int phrases = api->xPhraseCount(fts);
    std::vector<PhraseHit> all;
    int rc = RowHits(api, fts, all);

    int bestScore = 0;
    int bestColumn = wanted >= 0 ? wanted : 0;
    int bestStart = 0;
    ColumnTokens best;
    std::vector<PhraseHit> bestHits;
    for (int column = 0; column < api->xColumnCount(fts) && rc == SQLITE_OK; ++column) {
        if (wanted >= 0 && column != wanted)
            continue;
        std::string_view text;
        rc = columnText(api, fts, column, text);
        if (rc != SQLITE_OK)
            break;
        ColumnTokens current(text);
        std::vector<PhraseHit> hits = hitsOf(all, column, current);
        const std::optional<Choice> better = betterWindow(current, hits, phrases, tokens, bestScore);
        if (better) {
            bestScore = better->score;
            bestColumn = column;
            bestStart = better->start;
        }
        if (better || column == bestColumn) {
            best = std::move(current);
            bestHits = std::move(hits);
        }
    }
    if (rc != SQLITE_OK) {
        sqlite3_result_error_code(context, rc);
        return;
    }
    const std::string out = render(best, bestHits, bestStart, tokens, open, close, ellipsis);
    sqlite3_result_text(context, out.data(), int(out.size()), SQLITE_TRANSIENT);
}

void highlight(const Fts5ExtensionApi* api, Fts5Context* fts, sqlite3_context* context, int argc,
               sqlite3_value** argv) {
    if (argc != 3) {
        sqlite3_result_error(context, "wrong number of arguments to function marvek_highlight()", -1);
        return;
    }
    const int column = sqlite3_value_int(argv[0]);
    std::vector<PhraseHit> all;
    std::string_view text;
    int rc = column >= 0 && column < api->xColumnCount(fts) ? SQLITE_OK : SQLITE_RANGE;
    if (rc == SQLITE_OK)
        rc = RowHits(api, fts, all);
    if (rc == SQLITE_OK)
        rc = columnText(api, fts, column, text);
    if (rc != SQLITE_OK) {
        sqlite3_result_error_code(context, rc);
        return;
    }
    const std::string out = HighlightText(text, all, column, textArgument(argv[1]), textArgument(argv[2]));
    sqlite3_result_text(context, out.data(), int(out.size()), SQLITE_TRANSIENT);
}

} // namespace

int RowHits(const Fts5ExtensionApi* api, Fts5Context* fts, std::vector<PhraseHit>& hits) {
    hits.clear();
    const int phrases = api->xPhraseCount(fts);
    std::vector<int> phraseSizes;
    for (int i = 0; i < phrases; ++i)
        phraseSizes.push_back(std::max(1, api->xPhraseSize(fts, i)));
    int instances = 0;
    int rc = api->xInstCount(fts, &instances);
    for (int i = 0; i < instances && rc == SQLITE_OK; ++i) {
        int phrase = 0;
        int column = 0;
        int offset = 0;
        rc = api->xInst(fts, i, &phrase, &column, &offset);
        if (rc == SQLITE_OK && phrase >= 0 && phrase < phrases && offset >= 0)
            hits.push_back(PhraseHit{column, offset, offset + phraseSizes[size_t(phrase)], phrase});
    }
    std::stable_sort(hits.begin(), hits.end(), [](const PhraseHit& a, const PhraseHit& b) {
        return a.column != b.column ? a.column < b.column : a.offset < b.offset;
    });
    return rc;
}

std::string HighlightText(std::string_view text, const std::vector<PhraseHit>& hits, int column,
                          std::string_view open, std::string_view close) {
    const ColumnTokens tokens(text);
    return render(tokens, hitsOf(hits, column, tokens), 0, std::max(int(tokens.bytes.size()), 1), open, close,
                  {});
}

std::string SnippetText(std::string_view text, const std::vector<PhraseHit>& hits, int column, int phrases,
                        int tokens, std::string_view open, std::string_view close,
                        std::string_view ellipsis) {
    const ColumnTokens columnTokens(text);
    const std::vector<PhraseHit> inColumn = hitsOf(hits, column, columnTokens);
    tokens = std::clamp(tokens, 1, MaxTokens);
    const std::optional<Choice> best = betterWindow(columnTokens, inColumn, phrases, tokens, 0);
    return render(columnTokens, inColumn, best ? best->start : 0, tokens, open, close, ellipsis);
}

int RegisterSnippet(sqlite3* db) {
    fts5_api* api = Fts5Api(db);
    if (!api)
        return SQLITE_ERROR;
    const int rc = api->xCreateFunction(api, SnippetName, nullptr, snippet, nullptr);
    return rc == SQLITE_OK ? api->xCreateFunction(api, HighlightName, nullptr, highlight, nullptr) : rc;
}

} // namespace marvek::search
