#include "shared/search/Tokenizer.h"

#include <QChar>
#include <QString>
#include <algorithm>
#include <array>

namespace marvek::search {

namespace {

// Longest word token in bytes; a longer word is cut (its beginning stays findable).
constexpr size_t MaxWordBytes = 128;

enum class CharClass { Separator, Word, Mark, Cjk };

// A character after folding: up to a few characters of UTF-8.
struct Folded {
    CharClass kind = CharClass::Separator;
    std::array<char, 32> bytes;
    size_t size = 0;
    bool digit = false;

    void append(char32_t cp) {
        if (cp < 0x80) {
            put(char(cp));
        } else if (cp < 0x800) {
            put(char(0xC0 | (cp >> 6)));
            put(char(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            put(char(0xE0 | (cp >> 12)));
            put(char(0x80 | ((cp >> 6) & 0x3F)));
            put(char(0x80 | (cp & 0x3F)));
        } else {
            put(char(0xF0 | (cp >> 18)));
            put(char(0x80 | ((cp >> 12) & 0x3F)));
            put(char(0x80 | ((cp >> 6) & 0x3F)));
            put(char(0x80 | (cp & 0x3F)));
        }
    }
    std::string_view view() const { return {bytes.data(), size}; }
    // Ready for the next character (the bytes need no clearing: size says what holds).
    void reset() {
        kind = CharClass::Separator;
        size = 0;
        digit = false;
    }

private:
    void put(char c) {
        if (size < bytes.size())
            bytes[size++] = c;
    }
};

// Decodes one UTF-8 character at pos; returns its length, cp U+FFFD (length 1) for an invalid byte.
int decode(std::string_view text, size_t pos, char32_t& cp) {
    const auto byte = [&](size_t i) {
        return static_cast<unsigned char>(text[i]);
    };
    const unsigned char lead = byte(pos);
    if (lead < 0x80) {
        cp = lead;
        return 1;
    }
    int length = 0;
    char32_t value = 0;
    char32_t minimum = 0;
    if ((lead & 0xE0) == 0xC0) {
        length = 2, value = lead & 0x1F, minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, value = lead & 0x0F, minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, value = lead & 0x07, minimum = 0x10000;
    } else {
        cp = 0xFFFD;
        return 1;
    }
    if (pos + size_t(length) > text.size()) {
        cp = 0xFFFD;
        return 1;
    }
    for (int i = 1; i < length; ++i) {
        const unsigned char next = byte(pos + size_t(i));
        if ((next & 0xC0) != 0x80) {
            cp = 0xFFFD;
            return 1;
        }
        value = (value << 6) | (next & 0x3F);
    }
    if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
        cp = 0xFFFD;
        return 1;
    }
    cp = value;
    return length;
}

bool isCjk(char32_t cp) {
    return (cp >= 0x3005 && cp <= 0x3007) || // iteration marks, closing mark, ideographic zero
           (cp >= 0x3040 && cp <= 0x30FF) || // hiragana, katakana (with the prolonged sound mark)
           (cp >= 0x31F0 && cp <= 0x31FF) || // katakana extensions
           (cp >= 0x3400 && cp <= 0x4DBF) || // ideographs, extension A
           (cp >= 0x4E00 && cp <= 0x9FFF) || // unified ideographs
           (cp >= 0xAC00 && cp <= 0xD7AF) || // hangul syllables
           (cp >= 0xF900 && cp <= 0xFAFF) || // compatibility ideographs
           (cp >= 0x20000 && cp <= 0x3FFFF); // supplementary ideographs
}

void foldAscii(char32_t cp, Folded& out) {
    if (cp >= 'A' && cp <= 'Z') {
        out.kind = CharClass::Word;
        out.append(cp + 32);
    } else if ((cp >= 'a' && cp <= 'z') || (cp >= '0' && cp <= '9')) {
        out.kind = CharClass::Word;
        out.digit = cp <= '9';
        out.append(cp);
    }
}

bool isMark(char32_t cp) {
    const QChar::Category category = QChar::category(cp);
    return category == QChar::Mark_NonSpacing || category == QChar::Mark_SpacingCombining ||
           category == QChar::Mark_Enclosing;
}

// The letters and digits a character stands for, case-folded, without accents.
void foldLetter(char32_t cp, Folded& out, int depth) {
    if (depth < 4 && QChar::decompositionTag(cp) != QChar::NoDecomposition) {
        const QString parts = QChar::decomposition(cp);
        for (qsizetype i = 0; i < parts.size(); ++i) {
            char32_t part = parts.at(i).unicode();
            if (parts.at(i).isHighSurrogate() && i + 1 < parts.size() && parts.at(i + 1).isLowSurrogate()) {
                part = QChar::surrogateToUcs4(parts.at(i), parts.at(i + 1));
                ++i;
            }
            if (part < 0x80) {
                Folded ascii;
                foldAscii(part, ascii);
                if (ascii.size)
                    out.append(char32_t(ascii.bytes[0]));
                out.digit = out.digit || ascii.digit;
            } else if (!isMark(part) && QChar::isLetterOrNumber(part)) {
                foldLetter(part, out, depth + 1);
            }
        }
        return;
    }
    const char32_t folded = QChar::toCaseFolded(cp);
    out.digit = out.digit || QChar::isDigit(folded);
    out.append(folded);
}

// ASCII letters and digits folded (upper case to lower), 0 for a separator: the common characters
// of both languages' pages, looked up without decoding.
constexpr std::array<char, 128> AsciiFold = [] {
    std::array<char, 128> table{};
    for (int c = '0'; c <= '9'; ++c)
        table[size_t(c)] = char(c);
    for (int c = 'a'; c <= 'z'; ++c)
        table[size_t(c)] = char(c);
    for (int c = 'A'; c <= 'Z'; ++c)
        table[size_t(c)] = char(c + 32);
    return table;
}();

void foldChar(char32_t cp, Folded& out) {
    out.reset();
    if (cp < 0x80)
        return foldAscii(cp, out);
    if (isCjk(cp)) {
        out.kind = CharClass::Cjk;
        out.append(cp);
        return;
    }
    if (cp >= 0xFF01 && cp <= 0xFF5E) // full-width ASCII
        return foldAscii(cp - 0xFEE0, out);
    if (cp >= 0xFF66 && cp <= 0xFF9F) { // half-width katakana and its sound marks
        const QString wide = QChar::decomposition(cp);
        out.kind = CharClass::Cjk;
        out.append(wide.isEmpty() ? cp : char32_t(wide.at(0).unicode()));
        return;
    }
    if (cp == 0xFFFD)
        return;
    if (isMark(cp)) {
        out.kind = CharClass::Mark;
        return;
    }
    if (!QChar::isLetterOrNumber(cp))
        return;
    foldLetter(cp, out, 0);
    out.kind = out.size ? CharClass::Word : CharClass::Mark;
}

// Called several times for every word indexed: compared by hand, as a library call costs more than the
// few bytes it compares.
template <size_t N> bool endsWith(std::string_view word, const char (&suffix)[N]) {
    constexpr size_t length = N - 1;
    if (word.size() < length)
        return false;
    const char* tail = word.data() + word.size() - length;
    for (size_t i = 0; i < length; ++i)
        if (tail[i] != suffix[i])
            return false;
    return true;
}

bool isVowelAt(std::string_view word, size_t i) {
    switch (word[i]) {
    case 'a':
    case 'e':
    case 'i':
    case 'o':
    case 'u':
        return true;
    case 'y':
        return i > 0 && !isVowelAt(word, i - 1);
    default:
        return false;
    }
}

bool hasVowel(std::string_view word) {
    for (size_t i = 0; i < word.size(); ++i)
        if (isVowelAt(word, i))
            return true;
    return false;
}

// A vowel followed by a consonant somewhere (the stem has at least one syllable).
bool hasSyllable(std::string_view word) {
    for (size_t i = 0; i + 1 < word.size(); ++i)
        if (isVowelAt(word, i) && !isVowelAt(word, i + 1))
            return true;
    return false;
}

// The walk over the input.
class Walker {
public:
    Walker(std::string_view text, TokenMode mode, detail::TokenCallback callback, void* context)
        : m_text(text), m_mode(mode), m_callback(callback), m_context(context) {}

    int run() {
        Folded folded;
        for (size_t pos = 0; pos < m_text.size() && m_result == 0;) {
            const auto byte = static_cast<unsigned char>(m_text[pos]);
            if (byte < 0x80) {
                pos = AsciiFold[byte] ? addAsciiWord(pos) : pos + 1;
                if (AsciiFold[byte] == 0) {
                    flushWord();
                    if (m_cjkCount > 0)
                        flushCjk();
                }
                continue;
            }
            char32_t cp = 0;
            const int length = decode(m_text, pos, cp);
            foldChar(cp, folded);
            const int start = int(pos);
            const int end = int(pos) + length;
            switch (folded.kind) {
            case CharClass::Word:
                flushCjk();
                addWordChar(folded, start, end);
                break;
            case CharClass::Mark:
                if (!m_word.empty())
                    m_wordEnd = end;
                break;
            case CharClass::Cjk:
                flushWord();
                addCjkChar(folded, start, end);
                break;
            case CharClass::Separator:
                flushWord();
                flushCjk();
                break;
            }
            pos = size_t(end);
        }
        flushWord();
        flushCjk();
        return m_result;
    }

private:
    void emit(std::string_view text, int start, int end, bool colocated) {
        if (m_result == 0)
            m_result = m_callback(m_context, Token{text, start, end, colocated});
    }

    // The run of ASCII letters and digits at pos, added to the word; returns the position after it.
    size_t addAsciiWord(size_t pos) {
        if (m_cjkCount > 0)
            flushCjk();
        if (m_word.empty())
            m_wordStart = int(pos);
        bool digit = false;
        for (; pos < m_text.size(); ++pos) {
            const auto byte = static_cast<unsigned char>(m_text[pos]);
            const char folded = byte < 0x80 ? AsciiFold[byte] : 0;
            if (folded == 0)
                break;
            digit = digit || folded <= '9';
            if (!m_wordCut && m_word.size() < MaxWordBytes)
                m_word.push_back(folded);
            else
                m_wordCut = true;
        }
        m_wordEnd = int(pos);
        m_wordDigit = m_wordDigit || digit;
        return pos;
    }

    void addWordChar(const Folded& folded, int start, int end) {
        if (m_word.empty())
            m_wordStart = start;
        m_wordEnd = end;
        m_wordDigit = m_wordDigit || folded.digit;
        // Once a character does not fit, nothing after it does: the token stays a piece of the text.
        if (!m_wordCut && m_word.size() + folded.size <= MaxWordBytes)
            m_word.append(folded.view());
        else
            m_wordCut = true;
    }

    void flushWord() {
        if (m_word.empty())
            return;
        const bool whole = m_wordDigit || m_mode == TokenMode::Prefix || m_mode == TokenMode::Auxiliary;
        const std::string_view word = whole ? std::string_view(m_word) : StemWord(m_word);
        emit(word, m_wordStart, m_wordEnd, false);
        m_word.clear();
        m_wordDigit = false;
        m_wordCut = false;
    }

    void addCjkChar(const Folded& folded, int start, int end) {
        if (m_cjkCount > 0) {
            // Highlights and snippets need the places only: the pair's first character stands for it.
            if (m_mode == TokenMode::Auxiliary) {
                emit(m_lastCjk.view(), m_lastCjkStart, end, false);
            } else {
                std::array<char, 2 * sizeof(Folded::bytes)> pair;
                const std::string_view first = m_lastCjk.view();
                const std::string_view second = folded.view();
                std::copy(first.begin(), first.end(), pair.begin());
                std::copy(second.begin(), second.end(), pair.begin() + first.size());
                emit(std::string_view(pair.data(), first.size() + second.size()), m_lastCjkStart, end, false);
            }
        }
        m_lastCjk = folded;
        m_lastCjkStart = start;
        m_lastCjkEnd = end;
        ++m_cjkCount;
    }

    void flushCjk() {
        if (m_cjkCount == 1)
            emit(m_lastCjk.view(), m_lastCjkStart, m_lastCjkEnd, false);
        else if (m_cjkCount > 1 && (m_mode == TokenMode::Document || m_mode == TokenMode::Auxiliary))
            emit(m_lastCjk.view(), m_lastCjkStart, m_lastCjkEnd, true);
        m_cjkCount = 0;
    }

    std::string_view m_text;
    TokenMode m_mode;
    detail::TokenCallback m_callback;
    void* m_context;
    int m_result = 0;

    std::string m_word;
    int m_wordStart = 0;
    int m_wordEnd = 0;
    bool m_wordDigit = false;
    bool m_wordCut = false; // the word reached MaxWordBytes: the rest of it is left out

    Folded m_lastCjk;
    int m_lastCjkStart = 0;
    int m_lastCjkEnd = 0;
    int m_cjkCount = 0;
};

// The FTS5 side.
struct StatelessTokenizer {};

int createTokenizer(void*, const char**, int, Fts5Tokenizer** out) {
    static StatelessTokenizer instance; // no state: every table shares it
    *out = reinterpret_cast<Fts5Tokenizer*>(&instance);
    return SQLITE_OK;
}

void deleteTokenizer(Fts5Tokenizer*) {
}

struct Fts5Sink {
    void* context;
    int (*token)(void*, int, const char*, int, int, int);
};

int tokenizeForFts5(Fts5Tokenizer*, void* context, int flags, const char* text, int length,
                    int (*token)(void*, int, const char*, int, int, int)) {
    if (!text || length <= 0)
        return SQLITE_OK;
    TokenMode mode = TokenMode::Document;
    if (flags & FTS5_TOKENIZE_AUX)
        mode = TokenMode::Auxiliary;
    else if (flags & FTS5_TOKENIZE_QUERY)
        mode = flags & FTS5_TOKENIZE_PREFIX ? TokenMode::Prefix : TokenMode::Query;
    Fts5Sink sink{context, token};
    return detail::tokenize(
        std::string_view(text, size_t(length)), mode,
        [](void* raw, const Token& t) {
            const auto* s = static_cast<Fts5Sink*>(raw);
            return s->token(s->context, t.colocated ? FTS5_TOKEN_COLOCATED : 0, t.text.data(),
                            int(t.text.size()), t.start, t.end);
        },
        &sink);
}

} // namespace

std::string_view StemWord(std::string_view word) {
    if (word.size() <= 2)
        return word;
    // Plurals and third persons.
    if (endsWith(word, "sses") || endsWith(word, "ies"))
        word.remove_suffix(2);
    else if (endsWith(word, "s") && !endsWith(word, "ss") && !endsWith(word, "us") && word.size() > 3)
        word.remove_suffix(1);
    // Past and progressive forms.
    if (endsWith(word, "eed")) {
        if (hasSyllable(word.substr(0, word.size() - 3)))
            word.remove_suffix(1);
    } else {
        bool cut = false;
        if (endsWith(word, "ed") && hasVowel(word.substr(0, word.size() - 2))) {
            word.remove_suffix(2);
            cut = true;
        } else if (endsWith(word, "ing") && hasVowel(word.substr(0, word.size() - 3))) {
            word.remove_suffix(3);
            cut = true;
        }
        const size_t n = word.size();
        if (cut && n >= 2 && word[n - 1] == word[n - 2] && !isVowelAt(word, n - 1) && word[n - 1] != 'l' &&
            word[n - 1] != 's' && word[n - 1] != 'z')
            word.remove_suffix(1);
    }
    // A final y or i ("battery", "batteri") and a silent e ("brake", "brak").
    if (word.size() > 3 && (endsWith(word, "y") || endsWith(word, "i")) &&
        hasVowel(word.substr(0, word.size() - 1)))
        word.remove_suffix(1);
    if (word.size() >= 3 && endsWith(word, "e") && hasVowel(word.substr(0, word.size() - 1)))
        word.remove_suffix(1);
    return word;
}

std::string FoldText(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    Folded folded;
    for (size_t pos = 0; pos < utf8.size();) {
        char32_t cp = 0;
        pos += size_t(decode(utf8, pos, cp));
        foldChar(cp, folded);
        if (folded.kind == CharClass::Separator)
            out.push_back(' ');
        else
            out.append(folded.view());
    }
    return out;
}

bool StartsWithCjk(std::string_view utf8) {
    if (utf8.empty())
        return false;
    char32_t cp = 0;
    decode(utf8, 0, cp);
    Folded folded;
    foldChar(cp, folded);
    return folded.kind == CharClass::Cjk;
}

int detail::tokenize(std::string_view utf8, TokenMode mode, TokenCallback callback, void* context) {
    return Walker(utf8, mode, callback, context).run();
}

fts5_api* Fts5Api(sqlite3* db) {
    fts5_api* api = nullptr;
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db, "SELECT fts5(?1)", -1, &statement, nullptr) == SQLITE_OK) {
        sqlite3_bind_pointer(statement, 1, static_cast<void*>(&api), "fts5_api_ptr", nullptr);
        sqlite3_step(statement);
    }
    sqlite3_finalize(statement);
    return api;
}

int RegisterTokenizer(sqlite3* db) {
    fts5_api* api = Fts5Api(db);
    if (!api)
        return SQLITE_ERROR;
    fts5_tokenizer tokenizer{createTokenizer, deleteTokenizer, tokenizeForFts5};
    return api->xCreateTokenizer(api, TokenizerName, nullptr, &tokenizer, nullptr);
}

} // namespace marvek::search
