// The suite's tokenizer on any bytes, in each mode (the first byte picks it). Checked: every token is a
// non-empty piece of the folded input, its offsets lie inside the input (on character boundaries) and
// follow each other, a token given at the place of the one before it comes after one (documents only),
// and folding is done character by character (the folded input is the folded halves joined); the pass of
// highlights and snippets gives its tokens at the places of the document's.

#include "fuzz/FuzzCheck.h"
#include "shared/search/Tokenizer.h"

#include <string>
#include <tuple>
#include <vector>

using namespace marvek::search;

namespace {

bool isBoundary(std::string_view text, int at) {
    return at == int(text.size()) || (static_cast<unsigned char>(text[size_t(at)]) & 0xC0) != 0x80;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    const TokenMode modes[] = {TokenMode::Document, TokenMode::Query, TokenMode::Prefix,
                               TokenMode::Auxiliary};
    const TokenMode mode = modes[data[0] % 4];
    const std::string_view input(reinterpret_cast<const char*>(data + 1), size - 1);
    const std::string folded = FoldText(input);
    // In valid UTF-8 the offsets lie on character boundaries (a stray continuation byte is a character
    // of its own to the tokenizer).
    const QByteArray bytes(input.data(), qsizetype(input.size()));
    const bool valid = QString::fromUtf8(bytes).toUtf8() == bytes;

    int previousStart = -1;
    bool any = false;
    Tokenize(input, mode, [&](const Token& token) {
        MARVEK_FUZZ_CHECK(!token.text.empty());
        MARVEK_FUZZ_CHECK(folded.find(token.text) != std::string::npos);
        MARVEK_FUZZ_CHECK(token.start >= 0 && token.start < token.end && token.end <= int(input.size()));
        MARVEK_FUZZ_CHECK(!valid || (isBoundary(input, token.start) && isBoundary(input, token.end)));
        MARVEK_FUZZ_CHECK(token.start >= previousStart);
        MARVEK_FUZZ_CHECK(!token.colocated ||
                          (any && (mode == TokenMode::Document || mode == TokenMode::Auxiliary)));
        previousStart = token.start;
        any = true;
    });

    if (mode == TokenMode::Auxiliary || mode == TokenMode::Document) {
        std::vector<std::tuple<int, int, bool>> places[2];
        for (const int pass : {0, 1})
            Tokenize(input, pass == 0 ? TokenMode::Document : TokenMode::Auxiliary, [&](const Token& token) {
                places[pass].emplace_back(token.start, token.end, token.colocated);
            });
        MARVEK_FUZZ_CHECK(places[0] == places[1]);
    }

    // Folding is local: the input cut before an ASCII byte (never part of another character) folds to
    // the two halves' folds.
    size_t cut = input.size() / 2;
    while (cut > 0 && static_cast<unsigned char>(input[cut]) >= 0x80)
        --cut;
    MARVEK_FUZZ_CHECK(FoldText(input.substr(0, cut)) + FoldText(input.substr(cut)) == folded);
    return 0;
}
