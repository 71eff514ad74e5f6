// The message-file scanner: any text gives a table, a rejected one is the built-in table, and no
// entry's code spans a line end.
#include "browser/messages/MessageTable.h"

#include <QString>
#include <cstdint>
#include <cstdlib>

using namespace marvek::browser;

namespace {

void check(bool condition) {
    if (!condition)
        std::abort();
}

} // namespace

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
    check(!entries.empty());
    check(entries.size() <= 32767);
    const std::vector<MessageEntry> builtIn = builtInMessages(program, language);
    if (table.usesBuiltIn()) {
        check(entries.size() >= builtIn.size());
        for (size_t i = 0; i < builtIn.size(); ++i)
            check(entries[i] == builtIn[i]);
    } else {
        check(!entries.front().code.isEmpty());
        check(entries.size() >= static_cast<size_t>(acceptanceThreshold(program)));
    }
    for (const MessageEntry& entry : entries) {
        check(!entry.code.contains(QStringLiteral("\r\n")));
        // The browser's texts end at their line; only the setup's continuation lines join with CR LF.
        if (program == MessageProgram::Pagora && !table.usesBuiltIn())
            check(!entry.text.contains(QStringLiteral("\r\n")));
    }
    // The same text gives the same table.
    const MessageTable again = MessageTable::fromContent(content, language, program);
    check(again.gstrMsg() == entries);
    return 0;
}
