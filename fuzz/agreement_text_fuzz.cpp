// The agreement text: each line of the file (ended by CR LF, CR or LF, or by the end of the file)
// becomes the same line followed by CR LF, in order, with nothing lost or added.
#include "fuzz/FuzzCheck.h"
#include "platform/TextCodec.h"
#include "setup/window/frmStartUp.h"

#include <QStringList>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString file =
        marvek::platform::decodeCodePage(marvek::fuzz::bytes(data, size), marvek::platform::CodePageShiftJis);
    const QString text = marvek::setup::AgreementLines(file);

    // The lines found independently.
    QString normalised = file;
    normalised.replace(QStringLiteral("\r\n"), QStringLiteral("\n"))
        .replace(QLatin1Char('\r'), QLatin1Char('\n'));
    QStringList lines = normalised.split(QLatin1Char('\n'));
    if (normalised.endsWith(QLatin1Char('\n')) || normalised.isEmpty())
        lines.removeLast();
    QString expected;
    for (const QString& line : lines)
        expected += line + QStringLiteral("\r\n");
    MARVEK_FUZZ_CHECK(text == expected);
    return 0;
}
