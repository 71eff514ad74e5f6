// The message-file scanner: any text gives a table, a rejected one is the built-in table, and no
// entry's code spans a line end.
#include "browser/messages/MessageTable.h"
#include "fuzz/FuzzCheck.h"

#include <QString>

using namespace marvek::browser;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    // The first byte chooses the program and the language, the rest is the file's text (UTF-16LE,
    // as the file is read).
    const MessageProgram program = (data[0] & 1) ? MessageProgram::Pagoset : MessageProgram::Pagora;
    const QString language = (data[0] & 2) ? QStringLiteral("11") : QStringLiteral("09");
    const QString content = QString::fromUtf16(reinterpret_cast<const char16_t*>(data + 1),
                                               static_cast<qsizetype>((size - 1) / 2));

    const MessageTable table = MessageTable::fromContent(content, language, program);
    const std::vector<MessageEntry>& entries = table.gstrMsg();
    MARVEK_FUZZ_CHECK(!entries.empty());
    MARVEK_FUZZ_CHECK(entries.size() <= 32767);
    const std::vector<MessageEntry> builtIn = builtInMessages(program, language);
    if (table.usesBuiltIn()) {
        MARVEK_FUZZ_CHECK(entries.size() >= builtIn.size());
        for (size_t i = 0; i < builtIn.size(); ++i)
            MARVEK_FUZZ_CHECK(entries[i] == builtIn[i]);
    } else {
        MARVEK_FUZZ_CHECK(!entries.front().code.isEmpty());
        MARVEK_FUZZ_CHECK(entries.size() >= static_cast<size_t>(acceptanceThreshold(program)));
    }
    for (const MessageEntry& entry : entries) {
        MARVEK_FUZZ_CHECK(!entry.code.contains(QStringLiteral("\r\n")));
        // The browser's texts end at their line; only the setup's continuation lines join with CR LF.
        if (program == MessageProgram::Pagora && !table.usesBuiltIn())
            MARVEK_FUZZ_CHECK(!entry.text.contains(QStringLiteral("\r\n")));
    }
    // The same text gives the same table.
    const MessageTable again = MessageTable::fromContent(content, language, program);
    MARVEK_FUZZ_CHECK(again.gstrMsg() == entries);
    return 0;
}
