// The hand-over server's frame reader: bytes in pieces of any size give the same frame as all at
// once, nothing beyond the frame is taken, and a frame is complete only with its magic and a length
// within the limit.
#include "browser/app/HandOver.h"

#include <QtEndian>
#include <cstdint>
#include <cstdlib>

using namespace marvek::browser::handover;

namespace {

void check(bool condition) {
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    // The first byte gives the piece size, the rest is what a connection delivers.
    const qsizetype piece = (data[0] % 32) + 1;
    const QByteArrayView bytes(reinterpret_cast<const char*>(data + 1), static_cast<qsizetype>(size - 1));

    FrameReader whole;
    whole.feed(bytes);
    FrameReader pieces;
    for (qsizetype at = 0; at < bytes.size(); at += piece) {
        const FrameReader::State before = pieces.state();
        const qsizetype held = pieces.size();
        pieces.feed(bytes.sliced(at, std::min(piece, bytes.size() - at)));
        if (before != FrameReader::State::NeedMore) {
            check(pieces.state() == before); // a finished frame takes nothing more
            check(pieces.size() == held);
        }
    }
    check(whole.state() == pieces.state());
    check(whole.size() == pieces.size());
    check(whole.size() <= bytes.size());
    check(whole.size() <= HeaderBytes + MaxFrameBytes);

    const bool headerIn = bytes.size() >= HeaderBytes;
    const quint32 length = headerIn ? qFromLittleEndian<quint32>(bytes.data() + 8) : 0;
    const bool validHeader =
        headerIn && bytes.first(4) == QByteArrayView("MVKH") && length <= static_cast<quint32>(MaxFrameBytes);
    switch (whole.state()) {
    case FrameReader::State::Invalid:
        check(headerIn && !validHeader);
        check(whole.size() == HeaderBytes);
        break;
    case FrameReader::State::Complete:
        check(validHeader);
        check(whole.size() == HeaderBytes + static_cast<qsizetype>(length));
        check(whole.operation() == bytes.sliced(4, 4).toByteArray());
        check(whole.payload() == pieces.payload());
        check(whole.payload() == bytes.sliced(HeaderBytes, length).toByteArray());
        check(whole.wanted() == 0);
        break;
    case FrameReader::State::NeedMore:
        check(!headerIn || (validHeader && bytes.size() < HeaderBytes + static_cast<qsizetype>(length)));
        check(whole.size() == bytes.size());
        check(whole.wanted() > 0);
        break;
    }
    return 0;
}
