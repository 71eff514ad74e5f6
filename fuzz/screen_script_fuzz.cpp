// The screen script: every accepted line is a form and a control without blanks (and "*" only as the
// standing mark), a field's text without blanks around it and never standing; a refused script names a
// line that exists and keeps no action.
#include "fuzz/FuzzCheck.h"
#include "platform/ScreenScript.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString text = marvek::fuzz::utf8(data, size);
    const marvek::platform::ParsedScreenScript parsed = marvek::platform::parseScreenScript(text);
    if (parsed.lineError != 0) {
        MARVEK_FUZZ_CHECK(parsed.actions.isEmpty() && parsed.lineError >= 1 &&
                          parsed.lineError <= text.count(QLatin1Char('\n')) + 1);
        return 0;
    }
    for (const marvek::platform::ScreenAction& action : parsed.actions) {
        for (const QString& word : {action.form, action.control}) {
            // Blanks are spaces and tabs; other white space (a no-break space) is part of a name.
            MARVEK_FUZZ_CHECK(!word.isEmpty() && !word.contains(QLatin1Char(' ')) &&
                              !word.contains(QLatin1Char('\t')));
        }
        MARVEK_FUZZ_CHECK(!action.form.startsWith(QLatin1Char('#')));
        if (action.text)
            MARVEK_FUZZ_CHECK(!action.standing && *action.text == action.text->trimmed() &&
                              !action.text->contains(QLatin1Char('\n')));
    }
    return 0;
}
