// The result log a companion installer leaves: only its last line counts, and only a whole decimal
// number that fits 16 bits is a result.
#include "fuzz/FuzzCheck.h"
#include "setup/engine/Companions.h"

#include <QRegularExpression>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray content = marvek::fuzz::bytes(data, size);
    const std::optional<qint16> result = marvek::setup::ParseResultLog(content);

    // The last line, found independently: a final line end does not start another line.
    QByteArray body = content;
    if (body.endsWith('\n'))
        body.chop(1);
    QByteArray last = body.mid(body.lastIndexOf('\n') + 1);
    if (last.endsWith('\r'))
        last.chop(1);
    const QString text = QString::fromLatin1(last).trimmed();
    static const QRegularExpression number(QStringLiteral("^[+-]?[0-9]+$"));
    if (result) {
        // A result is the last line's number, exactly.
        MARVEK_FUZZ_CHECK(number.match(text).hasMatch() && text.toInt() == *result);
    } else if (number.match(text).hasMatch()) {
        // A refused number is one that does not fit 16 bits.
        bool ok = false;
        const long long value = text.toLongLong(&ok);
        MARVEK_FUZZ_CHECK(!ok || value < -32768 || value > 32767);
    }
    return 0;
}
