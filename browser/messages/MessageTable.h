#pragma once

#include <QString>
#include <vector>

namespace marvek::platform {
class Machine;
class MachineInfo;
} // namespace marvek::platform

namespace marvek::browser {

// The two programs that read a message table. They differ in the file name, the acceptance
// threshold, the built-in table and the continuation lines (browser setup only).
enum class MessageProgram { Pagora, Pagoset };

struct MessageEntry {
    QString code;
    QString text;
    friend bool operator==(const MessageEntry&, const MessageEntry&) = default;
};

// "PG_MSG.TXT" / "PG_INST_MSG.TXT".
QString messageFileName(MessageProgram program);
// 9 / 4: the least number of entries a table read from the file must have.
int acceptanceThreshold(MessageProgram program);
// The built-in table for a language code ("11" Japanese, anything else English).
std::vector<MessageEntry> builtInMessages(MessageProgram program, const QString& languageCode);

// gstrLang from a language identifier such as 0x0411: "11"; 0x0404 and 0x0C04 give "09".
QString languageCodeFromLangId(quint16 langId);

// The whole file as UTF-16 text (byte-order mark skipped) if a file exists at the Windows path,
// else empty.
QString GFncFile_ReadUnicode(const platform::Machine& machine, const QString& path);

// The message table of one process: the language code and the entries, built once at start.
class MessageTable {
public:
    MessageTable() = default;
    // A table holding these entries (for tests and tools).
    MessageTable(QString language, std::vector<MessageEntry> entries);

    // Computes gstrLang from the system-default language identifier, reads the program's message
    // file from programFolder (a Windows path without trailing "\") and fills gstrMsg, falling back
    // to the built-in table as the acceptance rule says.
    static MessageTable GSubMsg_Load(const platform::Machine& machine, const platform::MachineInfo& info,
                                     const QString& programFolder, MessageProgram program);
    // The scan and acceptance on text already read (the file's content, or empty).
    static MessageTable fromContent(const QString& content, const QString& language, MessageProgram program);

    // The text of the first entry whose code equals code exactly; empty when there is none.
    QString GFncMsg_Get(const QString& code) const;

    const QString& gstrLang() const { return m_lang; }
    const std::vector<MessageEntry>& gstrMsg() const { return m_entries; }
    // True when the built-in table replaced (the beginning of) what the file gave.
    bool usesBuiltIn() const { return m_builtIn; }

private:
    QString m_lang;
    std::vector<MessageEntry> m_entries{MessageEntry{}};
    bool m_builtIn = false;
};

} // namespace marvek::browser
