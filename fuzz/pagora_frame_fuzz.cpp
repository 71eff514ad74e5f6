// The hand-over server's frame reader: bytes in pieces of any size give the same frame as all at
// once, nothing beyond the frame is taken, and a frame is complete only with its magic and a length
// within the limit.
#include "browser/app/HandOver.h"
#include "fuzz/FuzzCheck.h"

#include <QtEndian>

using namespace marvek::browser::handover;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    // The first byte gives the piece size, the rest is what a connection delivers.
    const qsizetype piece = (data[0] % 32) + 1;
    const QByteArray input = marvek::fuzz::bytes(data, size, 1);
    const QByteArrayView bytes(input);

    FrameReader whole;
    whole.feed(bytes);
    FrameReader pieces;
    for (qsizetype at = 0; at < bytes.size(); at += piece) {
        const FrameReader::State before = pieces.state();
        const qsizetype held = pieces.size();
        pieces.feed(bytes.sliced(at, std::min(piece, bytes.size() - at)));
        if (before != FrameReader::State::NeedMore) {
            MARVEK_FUZZ_CHECK(pieces.state() == before); // a finished frame takes nothing more
            MARVEK_FUZZ_CHECK(pieces.size() == held);
        }
    }
    MARVEK_FUZZ_CHECK(whole.state() == pieces.state());
    MARVEK_FUZZ_CHECK(whole.size() == pieces.size());
    MARVEK_FUZZ_CHECK(whole.size() <= bytes.size());
    MARVEK_FUZZ_CHECK(whole.size() <= HeaderBytes + MaxFrameBytes);

    const bool headerIn = bytes.size() >= HeaderBytes;
    const quint32 length = headerIn ? qFromLittleEndian<quint32>(bytes.data() + 8) : 0;
    const bool validHeader =
        headerIn && bytes.first(4) == QByteArrayView("MVKH") && length <= static_cast<quint32>(MaxFrameBytes);
    switch (whole.state()) {
    case FrameReader::State::Invalid:
        MARVEK_FUZZ_CHECK(headerIn && !validHeader);
        MARVEK_FUZZ_CHECK(whole.size() == HeaderBytes);
        break;
    case FrameReader::State::Complete:
        MARVEK_FUZZ_CHECK(validHeader);
        MARVEK_FUZZ_CHECK(whole.size() == HeaderBytes + static_cast<qsizetype>(length));
        MARVEK_FUZZ_CHECK(whole.operation() == bytes.sliced(4, 4).toByteArray());
        MARVEK_FUZZ_CHECK(whole.payload() == pieces.payload());
        MARVEK_FUZZ_CHECK(whole.payload() == bytes.sliced(HeaderBytes, length).toByteArray());
        MARVEK_FUZZ_CHECK(whole.wanted() == 0);
        break;
    case FrameReader::State::NeedMore:
        MARVEK_FUZZ_CHECK(!headerIn ||
                          (validHeader && bytes.size() < HeaderBytes + static_cast<qsizetype>(length)));
        MARVEK_FUZZ_CHECK(whole.size() == bytes.size());
        MARVEK_FUZZ_CHECK(whole.wanted() > 0);
        break;
    }
    return 0;
}
