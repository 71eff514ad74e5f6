// The result log a companion installer leaves: only its last line counts (lines end at CR LF, LF or CR),
// and only a whole decimal number that fits 16 bits is a result.
#include "fuzz/FuzzCheck.h"
#include "setup/engine/Companions.h"

#include <QRegularExpression>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray content = marvek::fuzz::bytes(data, size);
    const std::optional<qint16> result = marvek::setup::ParseResultLog(content);

    // The last line, found independently: split at every line end; a final line end does not start
    // another line.
    static const QRegularExpression lineEnd(QStringLiteral("\r\n|\r|\n"));
    QStringList lines = QString::fromLatin1(content).split(lineEnd);
    if (lines.size() > 1 && lines.last().isEmpty())
        lines.removeLast();
    const QString last = lines.last();
    const QString text = last.trimmed();
    static const QRegularExpression number(QStringLiteral("^[+-]?[0-9]+$"));
    if (result) {
        // A result is the last line's number, exactly.
        MARVEK_FUZZ_CHECK(number.match(text).hasMatch() && text.toInt() == *result);
        MARVEK_FUZZ_CHECK(last.size() <= marvek::setup::MaxResultLineBytes);
    } else if (number.match(text).hasMatch() && last.size() <= marvek::setup::MaxResultLineBytes) {
        // A refused number is one that does not fit 16 bits.
        bool ok = false;
        const long long value = text.toLongLong(&ok);
        MARVEK_FUZZ_CHECK(!ok || value < -32768 || value > 32767);
    }
    // Lines that end in CR alone are lines as well: the same log with LF line ends gives the same result.
    QByteArray unified = content;
    unified.replace("\r\n", "\n").replace('\r', '\n');
    MARVEK_FUZZ_CHECK(marvek::setup::ParseResultLog(unified) == result);
    return 0;
}
