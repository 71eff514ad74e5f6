// The code pages on any bytes: the first byte picks one of the ANSI code pages, the rest is decoded and
// encoded. Checked: a conversion never loses its last character (the text read with a line feed after it
// is the text and the line feed), a text splits at a line feed into independent conversions, single-byte
// pages keep one character per byte, a decoded text encodes back to the same text, and UTF-16LE round trips.

#include "fuzz/FuzzCheck.h"
#include "platform/TextCodec.h"

#include <QString>
#include <cstddef>
#include <cstdint>
#include <iterator>

using namespace marvek::platform;

namespace {

constexpr int CodePages[] = {874,  932,  936,  949,  950,  1250, 1251, 1252,
                             1253, 1254, 1255, 1256, 1257, 1258, 65001};

bool singleByte(int page) {
    return page != 932 && page != 936 && page != 949 && page != 950 && page != CodePageUtf8;
}

// Pages that join a letter and a following mark into one character.
bool composes(int page) {
    return page == 1255 || page == 1258;
}

// Text that an encoding can give back unchanged: no replacement character, and (1252) none of the control
// characters that stand for its undefined bytes.
bool roundTrips(const QString& text, int page) {
    for (const QChar c : text) {
        if (c.unicode() == 0xFFFD || (page == CodePageWestern && c.unicode() >= 0x80 && c.unicode() <= 0x9F))
            return false;
    }
    return true;
}

int surrogatePairs(const QString& text) {
    int pairs = 0;
    for (qsizetype i = 0; i + 1 < text.size(); ++i) {
        if (text[i].isHighSurrogate() && text[i + 1].isLowSurrogate()) {
            ++pairs;
            ++i;
        }
    }
    return pairs;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    const int page = CodePages[data[0] % std::size(CodePages)];
    const QByteArray bytes = marvek::fuzz::bytes(data, size, 1);

    const QString decoded = decodeCodePage(bytes, page);
    MARVEK_FUZZ_CHECK(bytes.isEmpty() == decoded.isEmpty());
    MARVEK_FUZZ_CHECK(decoded.size() <= bytes.size());
    if (singleByte(page) && !composes(page))
        MARVEK_FUZZ_CHECK(decoded.size() == bytes.size());
    MARVEK_FUZZ_CHECK(decodeCodePage(bytes + '\n', page) == decoded + u'\n');
    const qsizetype lineFeed = bytes.indexOf('\n');
    if (lineFeed >= 0) {
        MARVEK_FUZZ_CHECK(decoded == decodeCodePage(bytes.left(lineFeed), page) + u'\n' +
                                         decodeCodePage(bytes.mid(lineFeed + 1), page));
    }
    if (roundTrips(decoded, page))
        MARVEK_FUZZ_CHECK(decodeCodePage(encodeCodePage(decoded, page), page) == decoded);

    // The bytes as UTF-16LE text: back and forth, and encoded into the page.
    const QString text = decodeUtf16Le(bytes);
    const qsizetype bom = hasUtf16LeBom(bytes) ? 2 : 0;
    MARVEK_FUZZ_CHECK(text.size() == (bytes.size() - bom + 1) / 2);
    MARVEK_FUZZ_CHECK(decodeUtf16Le(encodeUtf16Le(text, true)) == text);
    const QByteArray encoded = encodeCodePage(text, page);
    MARVEK_FUZZ_CHECK(text.isEmpty() == encoded.isEmpty());
    if (page == CodePageWestern) // one byte per character, a surrogate pair counting once
        MARVEK_FUZZ_CHECK(encoded.size() == text.size() - surrogatePairs(text));
    return 0;
}
