#include "browser/messages/MessageTable.h"

#include "platform/Machine.h"
#include "platform/MachineInfo.h"
#include "platform/TextCodec.h"

#include <QFile>
#include <QFileInfo>

namespace marvek::browser {

namespace {

const QString CrLf = QStringLiteral("\r\n");
const QChar Tab = u'\t';
constexpr int MaxEntries = 32767;

// Reads the sections of one language into entries, from entry 0 for each such section.
// Positions are 0-based; the scan follows the message-file rules described in ARCHITECTURE.md.
void scanSections(const QString& content, const QString& language, bool continuationLines,
                  std::vector<MessageEntry>& entries) {
    qsizetype a = content.indexOf(QStringLiteral("0x"));
    while (a >= 0) {
        if (content.mid(a + 4, 2) == language) {
            qsizetype count = 0;
            while (count < MaxEntries) {
                const qsizetype d = content.indexOf(CrLf, a);
                if (d < 0)
                    break; // the header (or the last entry) has no line end: nothing follows
                const qsizetype b = d + 2;
                if (QStringView(content).mid(b, 3) == u"END")
                    break;
                const qsizetype lineEnd = content.indexOf(CrLf, b);
                const qsizetype c = content.indexOf(Tab, b);
                MessageEntry entry;
                qsizetype f = 0;
                if (c < 0 || (lineEnd >= 0 && c > lineEnd)) {
                    // A line without a TAB is one entry: the whole line is its code, its text is empty.
                    if (lineEnd < 0)
                        break;
                    entry.code = content.mid(b, lineEnd - b);
                    f = lineEnd;
                } else {
                    f = content.indexOf(CrLf, c + 1);
                    if (f < 0)
                        break; // no line end after the TAB: the section is over
                    entry.code = content.mid(b, c - b);
                    entry.text = content.mid(c + 1, f - c - 1);
                }
                if (continuationLines) {
                    while (f + 2 < content.size() && content.at(f + 2) == Tab) {
                        const qsizetype g = f + 3;
                        const qsizetype h = content.indexOf(CrLf, g);
                        if (h < 0)
                            break; // an unfinished continuation line ends the section below
                        entry.text += CrLf + content.mid(g, h - g);
                        f = h;
                    }
                }
                if (static_cast<size_t>(count) >= entries.size())
                    entries.resize(static_cast<size_t>(count) + 1);
                entries[static_cast<size_t>(count)] = std::move(entry);
                a = f;
                ++count;
            }
        }
        a = content.indexOf(QStringLiteral("0x"), a + 1);
    }
}

} // namespace

QString messageFileName(MessageProgram program) {
    return program == MessageProgram::Pagora ? QStringLiteral("PG_MSG.TXT")
                                             : QStringLiteral("PG_INST_MSG.TXT");
}

int acceptanceThreshold(MessageProgram program) {
    return program == MessageProgram::Pagora ? 9 : 4;
}

QString languageCodeFromLangId(quint16 langId) {
    const QString id = QStringLiteral("%1").arg(langId, 4, 16, QLatin1Char('0')).toUpper().left(4);
    if (id == u"0404" || id == u"0C04")
        return QStringLiteral("09");
    return id.mid(2, 2);
}

QString GFncFile_ReadUnicode(const platform::Machine& machine, const QString& path) {
    const QString host = machine.toHost(path);
    if (host.isEmpty() || !QFileInfo(host).isFile())
        return {};
    QFile file(host);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return platform::decodeUtf16Le(file.readAll());
}

MessageTable::MessageTable(QString language, std::vector<MessageEntry> entries)
    : m_lang(std::move(language)), m_entries(std::move(entries)) {
    if (m_entries.empty())
        m_entries.emplace_back();
}

MessageTable MessageTable::fromContent(const QString& content, const QString& language,
                                       MessageProgram program) {
    MessageTable table;
    table.m_lang = language;
    if (!content.isEmpty())
        scanSections(content, language, program == MessageProgram::Pagoset, table.m_entries);

    const bool accepted = !table.m_entries.front().code.isEmpty() &&
                          table.m_entries.size() >= static_cast<size_t>(acceptanceThreshold(program));
    if (!accepted) {
        const std::vector<MessageEntry> builtIn = builtInMessages(program, language);
        if (table.m_entries.size() < builtIn.size())
            table.m_entries.resize(builtIn.size());
        std::copy(builtIn.begin(), builtIn.end(), table.m_entries.begin());
        table.m_builtIn = true;
    }
    return table;
}

MessageTable MessageTable::GSubMsg_Load(const platform::Machine& machine, const platform::MachineInfo& info,
                                        const QString& programFolder, MessageProgram program) {
    const QString language = languageCodeFromLangId(info.systemDefaultLangId());
    const QString content =
        GFncFile_ReadUnicode(machine, programFolder + QLatin1Char('\\') + messageFileName(program));
    return fromContent(content, language, program);
}

QString MessageTable::GFncMsg_Get(const QString& code) const {
    for (const MessageEntry& entry : m_entries) {
        if (entry.code == code)
            return entry.text;
    }
    return {};
}

} // namespace marvek::browser
