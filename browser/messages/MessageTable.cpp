#include "browser/messages/MessageTable.h"

#include "platform/Machine.h"
#include "platform/MachineInfo.h"
#include "platform/TextCodec.h"

#include <QFile>
#include <QFileInfo>
#include <limits>

namespace marvek::browser {

namespace {

const QString CrLf = QStringLiteral("\r\n");
const QChar Tab = u'\t';
constexpr int MaxEntries = 32767;

// The next CR LF at or after a position. Positions asked for only grow, except for a few steps back
// within the text already searched, so the answer of the last search is kept: the scan stays linear
// in the size of the text however its lines are shaped.
class LineEnds {
public:
    explicit LineEnds(const QString& content) : m_content(content) {}

    qsizetype from(qsizetype position) {
        if (position >= m_searchedFrom && (m_found < 0 || m_found >= position))
            return m_found;
        m_searchedFrom = position;
        m_found = m_content.indexOf(CrLf, position);
        return m_found;
    }

private:
    const QString& m_content;
    qsizetype m_searchedFrom = std::numeric_limits<qsizetype>::max(); // nothing searched yet
    qsizetype m_found = -1;
};

// Reads the sections of one language into entries, from entry 0 for each such section.
// Positions are 0-based; the scan follows the message-file rules described in ARCHITECTURE.md.
void scanSections(const QString& content, const QString& language, bool continuationLines,
                  std::vector<MessageEntry>& entries) {
    LineEnds lineEnds(content);
    qsizetype a = content.indexOf(QStringLiteral("0x"));
    while (a >= 0) {
        if (content.mid(a + 4, 2) == language) {
            qsizetype count = 0;
            while (count < MaxEntries) {
                const qsizetype d = lineEnds.from(a);
                if (d < 0)
                    break; // the header (or the last entry) has no line end: nothing follows
                const qsizetype b = d + 2;
                if (QStringView(content).mid(b, 3) == u"END")
                    break;
                const qsizetype lineEnd = lineEnds.from(b);
                if (lineEnd < 0)
                    break; // an entry without a line end ends the section, with or without a TAB
                // The TAB is looked for in this line only.
                const qsizetype inLine = QStringView(content).mid(b, lineEnd - b).indexOf(Tab);
                MessageEntry entry;
                const qsizetype f = lineEnd;
                if (inLine < 0) {
                    // A line without a TAB is one entry: the whole line is its code, its text is empty.
                    entry.code = content.mid(b, lineEnd - b);
                } else {
                    const qsizetype c = b + inLine;
                    entry.code = content.mid(b, c - b);
                    entry.text = content.mid(c + 1, f - c - 1);
                }
                qsizetype end = f;
                if (continuationLines) {
                    while (end + 2 < content.size() && content.at(end + 2) == Tab) {
                        const qsizetype g = end + 3;
                        const qsizetype h = lineEnds.from(g);
                        if (h < 0)
                            break; // an unfinished continuation line ends the section below
                        entry.text += CrLf + content.mid(g, h - g);
                        end = h;
                    }
                }
                if (static_cast<size_t>(count) >= entries.size())
                    entries.resize(static_cast<size_t>(count) + 1);
                entries[static_cast<size_t>(count)] = std::move(entry);
                a = end;
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
