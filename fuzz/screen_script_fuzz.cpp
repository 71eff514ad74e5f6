// The screen script: every accepted line is a form and a control without blanks (and "*" only as the
// standing mark); a refused script names a line that exists and keeps no action.
#include "platform/ScreenScript.h"

#include <QByteArray>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString text =
        QString::fromUtf8(QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));
    const marvek::platform::ParsedScreenScript parsed = marvek::platform::parseScreenScript(text);
    if (parsed.lineError != 0) {
        if (!parsed.actions.isEmpty() || parsed.lineError < 1 ||
            parsed.lineError > text.count(QLatin1Char('\n')) + 1)
            std::abort();
        return 0;
    }
    for (const marvek::platform::ScreenAction& action : parsed.actions) {
        for (const QString& word : {action.form, action.control}) {
            // Blanks are spaces and tabs; other white space (a no-break space) is part of a name.
            if (word.isEmpty() || word.contains(QLatin1Char(' ')) || word.contains(QLatin1Char('\t')))
                std::abort();
        }
        if (action.form.startsWith(QLatin1Char('#')))
            std::abort();
    }
    return 0;
}
