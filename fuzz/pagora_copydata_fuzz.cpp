// The copy-data of a hand-over: the COPYDATASTRUCT numbers and lpData, then the text cut at its first
// NUL in the code page; and the front's "QTCD" payload around it.
#include "browser/app/HandOver.h"
#include "fuzz/FuzzCheck.h"
#include "platform/TextCodec.h"

#include <QtEndian>

using namespace marvek;
using namespace marvek::browser::handover;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray payload = marvek::fuzz::bytes(data, size);

    // "QTCD": a caption of the given length, then the rest as a copy-data payload.
    const std::optional<QuitStaleOrCopyData> combined = decodeQuitStaleOrCopyData(payload);
    if (payload.size() < 4) {
        MARVEK_FUZZ_CHECK(!combined);
    } else {
        const quint32 length = qFromLittleEndian<quint32>(payload.constData());
        MARVEK_FUZZ_CHECK(combined.has_value() == (length <= static_cast<quint32>(payload.size() - 4)));
        if (combined) {
            MARVEK_FUZZ_CHECK(combined->copyDataPayload == payload.mid(4 + length));
            MARVEK_FUZZ_CHECK(combined->caption == QString::fromUtf8(payload.mid(4, length)));
        }
    }
    const std::optional<CopyData> copyData = decodeCopyData(payload);
    MARVEK_FUZZ_CHECK(copyData.has_value() == (payload.size() >= 8));
    if (!copyData)
        return 0;
    MARVEK_FUZZ_CHECK(copyData->dwData == qFromLittleEndian<quint32>(payload.constData()));
    const quint32 cbData = qFromLittleEndian<quint32>(payload.constData() + 4);
    const qsizetype expected = std::min<qsizetype>(cbData, payload.size() - 8);
    MARVEK_FUZZ_CHECK(copyData->lpData == payload.mid(8, expected));

    for (const int codePage : {platform::CodePageWestern, platform::CodePageShiftJis}) {
        const QString text = textFromCopyData(copyData->lpData, codePage);
        MARVEK_FUZZ_CHECK(!text.contains(QChar(u'\0')));
        // Plain ASCII text survives the sender's encoding and the receiver's decoding.
        if (std::all_of(text.cbegin(), text.cend(),
                        [](QChar c) { return c.unicode() >= 0x20 && c.unicode() < 0x7F; }))
            MARVEK_FUZZ_CHECK(textFromCopyData(copyDataPayload(text, codePage), codePage) == text);
    }
    return 0;
}
