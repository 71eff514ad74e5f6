#include "shared/search/SearchIndex.h"
#include "shared/search/Tokenizer.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace marvek::search;

namespace {

// Tokens as "text" or "text@start-end" and "+text" for a token at the place of the one before it.
std::vector<std::string> tokens(const std::string& input, TokenMode mode = TokenMode::Document,
                                bool offsets = false) {
    std::vector<std::string> out;
    Tokenize(input, mode, [&](const Token& token) {
        std::string text = (token.colocated ? "+" : "") + std::string(token.text);
        if (offsets)
            text += "@" + std::to_string(token.start) + "-" + std::to_string(token.end);
        out.push_back(text);
    });
    return out;
}

using Tokens = std::vector<std::string>;

TEST(Tokenizer, EnglishWordsAreFoldedAndStemmed) {
    const struct {
        const char* input;
        Tokens expected;
    } cases[] = {
        {"bleeding Bleeds bleed BLEED bled", {"bleed", "bleed", "bleed", "bleed", "bled"}},
        {"brake brakes braking braked", {"brak", "brak", "brak", "brak"}},
        {"battery batteries", {"batter", "batter"}},
        {"stopped stopping stop", {"stop", "stop", "stop"}},
        {"pressed pressing press", {"press", "press", "press"}},
        {"replace replaced replacing", {"replac", "replac", "replac"}},
        {"agreed sing is us", {"agre", "sing", "is", "us"}},
        {"Café NAÏVE Ångström", {"caf", "naiv", "angstrom"}},
        {"ＡＢＳ ｐｕｍｐ", {"abs", "pump"}}, // full-width letters are the ASCII ones
        {"O-ring driver's", {"o", "ring", "driver", "s"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(tokens(c.input), c.expected) << c.input;
}

TEST(Tokenizer, CodesAreKeptWholeAndUnstemmed) {
    const struct {
        const char* input;
        Tokens expected;
    } cases[] = {
        {"DTC P0A80 and C1201.", {"dtc", "p0a80", "and", "c1201"}},
        {"part 90915-YZZD1", {"part", "90915", "yzzd1"}},
        {"12Vs ２０Ａ", {"12vs", "20a"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(tokens(c.input), c.expected) << c.input;
}

// A word longer than a token may be is cut where a character no longer fits, and nothing after that
// character is kept: the token stays a piece of the folded text.
TEST(Tokenizer, ALongWordIsCutBeforeTheFirstCharacterThatDoesNotFit) {
    const std::string head(125, 'p');
    // κ is two bytes and would make 129: neither it nor the "b" after it is kept.
    EXPECT_EQ(tokens(head + "０l\xce\xba"
                            "b"),
              Tokens{head + "0l"});
    EXPECT_EQ(tokens(head + "0lbx"), Tokens{head + "0lb"});
}

TEST(Tokenizer, JapaneseRunsGiveOverlappingPairs) {
    const struct {
        const char* input;
        TokenMode mode;
        Tokens expected;
    } cases[] = {
        {"冷却水の交換", TokenMode::Document, {"冷却", "却水", "水の", "の交", "交換", "+換"}},
        {"冷却水", TokenMode::Query, {"冷却", "却水"}},
        {"水", TokenMode::Query, {"水"}},
        {"水", TokenMode::Document, {"水"}},
        {"ブレーキ液 ABS制御",
         TokenMode::Document,
         {"ブレ", "レー", "ーキ", "キ液", "+液", "abs", "制御", "+御"}},
        {"ｶﾞｿﾘﾝ",
         TokenMode::Document,
         {"カ\xE3\x82\x99", "\xE3\x82\x99ソ", "ソリ", "リン", "+ン"}}, // half-width forms widened
        {"P0A80の点検", TokenMode::Document, {"p0a80", "の点", "点検", "+検"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(tokens(c.input, c.mode), c.expected) << c.input;
}

TEST(Tokenizer, PrefixTermsAreNotStemmed) {
    EXPECT_EQ(tokens("braking", TokenMode::Prefix), (Tokens{"braking"}));
    EXPECT_EQ(tokens("braking", TokenMode::Query), (Tokens{"brak"}));
}

TEST(Tokenizer, OffsetsAreThoseOfTheInputBytes) {
    EXPECT_EQ(tokens("Ｐ０ cafe\xCC\x81s 冷却", TokenMode::Document, true),
              (Tokens{"p0@0-6", "caf@7-14", "冷却@15-21", "+却@18-21"}));
}

TEST(Tokenizer, InvalidBytesSeparateWords) {
    EXPECT_EQ(tokens("ab\xFF"
                     "cd\xE5\x86",
                     TokenMode::Document),
              (Tokens{"ab", "cd"}));
    EXPECT_EQ(FoldText("Ab\xFF"
                       "Ｃ"),
              "ab c");
}

} // namespace

namespace {

TEST(MatchExpression, QuotesEveryWordAndSearchesCodesAndOpenWordsByPrefix) {
    const struct {
        const char* words;
        bool typing;
        const char* expected;
    } cases[] = {
        {"brake bleeding", false, "\"brake\" AND \"bleeding\""},
        {"brake blee", true, "\"brake\" AND (\"blee\" OR \"blee\"*)"},
        {"brake blee ", true, "\"brake\" AND \"blee\""},
        {"\"bleed the\" brak*", false, "\"bleed the\" AND \"brak\"*"},
        {"P0A8 冷却 水", false, "\"P0A8\"* AND \"冷却\" AND \"水\"*"},
        // Japanese being typed: its pairs are found inside longer runs without a prefix; one character
        // is a prefix anyway, a mixed word is an open word.
        {"ブレーキ 冷却", true, "\"ブレーキ\" AND \"冷却\""},
        {"冷却 水", true, "\"冷却\" AND \"水\"*"},
        {"冷却 ＡＢＳ冷", true, "\"冷却\" AND (\"ＡＢＳ冷\" OR \"ＡＢＳ冷\"*)"},
        {"say \"hi", false, "\"say\" AND \"hi\""},
        // Quotes inside a word are doubled; operators and punctuation are only words.
        {"a\"\"b OR NOT -- ; ( )", false, "\"a\"\"\"\"b\" AND \"OR\" AND \"NOT\""},
        {"   ", true, ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(BuildMatchExpression(QString::fromUtf8(c.words), c.typing), QString::fromUtf8(c.expected))
            << c.words;
    // FTS5 reads an expression up to a NUL: one inside a word parts it, as the tokenizer does.
    EXPECT_EQ(BuildMatchExpression(QStringLiteral("brake") + QChar(0) + QStringLiteral("P0A8"), true),
              QStringLiteral("\"brake\" AND \"P0A8\"*"));
}

} // namespace
