#include "browser/messages/MessageTable.h"
#include "platform/MachineInfo.h"
#include "platform/TextCodec.h"
#include "platform/testing/BuildPath.h"
#include "platform/testing/TempMachine.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <gtest/gtest.h>

using marvek::testing::BuildPath;

namespace marvek::browser {
namespace {

using namespace Qt::StringLiterals;

const QString CrLf = u"\r\n"_s;

// A section: header line, "code TAB text" lines, optionally the END line.
QString section(const char* header, const QStringList& entries, bool withEnd = true) {
    return (QString::fromUtf8(header) + CrLf + entries.join(CrLf) + CrLf +
            (withEnd ? u"END"_s + CrLf : QString()));
}

// n entries "Cnn TAB <prefix> n", the first one coded EM101.
QStringList numbered(int n, const QString& prefix = u"file"_s) {
    QStringList entries;
    for (int i = 0; i < n; ++i)
        entries << (i == 0 ? u"EM101"_s : u"C%1"_s.arg(i, 2, 10, QLatin1Char('0'))) +
                       u"\t%1 %2"_s.arg(prefix).arg(i);
    return entries;
}

// The browser's thirteen codes, each with the text "<prefix> <code>".
QStringList pagoraEntries(const QString& prefix) {
    QStringList entries;
    for (const char* code : {"EM101", "EM102", "WC201", "WC202", "WC203", "WC204", "WC205", "TB301", "TB302",
                             "TB303", "TB304", "TB305", "BC401"})
        entries << u"%1\t%2 %1"_s.arg(QLatin1String(code), prefix);
    return entries;
}

TEST(MessagesLanguage, CodeFromSystemLanguageIdentifier) {
    const std::vector<std::pair<quint16, QString>> cases = {
        {0x0411, u"11"_s}, {0x0409, u"09"_s}, {0x0804, u"04"_s}, {0x0407, u"07"_s},
        {0x0404, u"09"_s}, {0x0C04, u"09"_s}, {0x040C, u"0C"_s}}; // upper-case hex digits
    for (const auto& [id, code] : cases)
        EXPECT_EQ(languageCodeFromLangId(id), code) << id;
}

TEST(MessagesScan, FilesOfEveryShape) {
    const MessageProgram Pagora = MessageProgram::Pagora;
    const MessageProgram Pagoset = MessageProgram::Pagoset;
    const QString mixed = u"comment before the sections"_s + CrLf +
                          section("0x0409 English", pagoraEntries(u"en"_s)) + u"between"_s + CrLf +
                          section("0x0411 Japanese", pagoraEntries(u"ja"_s));
    QStringList tabs = pagoraEntries(u"x"_s);
    tabs[1] = u"EM102\ttext\twith a tab"_s;
    QStringList continued = {u"OB101\tagree"_s, u"OB102\tno"_s, u"BC101\tOK"_s, u"WC101\tTitle"_s};
    for (int i = 1; i <= 5; ++i)
        continued << u"\tline %1"_s.arg(i);
    QStringList lookalike = pagoraEntries(u"x"_s);
    lookalike[2] = u"WC201\tvalue 0x0409 in a text"_s; // another language's "header" inside a text
    const QString lookalikes = section("0x0411", lookalike) + u"0x12 stray"_s + CrLf;
    const QStringList setup = {u"OB101\ta"_s, u"OB102\tb"_s, u"BC101\tc"_s, u"WC101\td"_s};

    // Each case: the text, the language, the program and what the table holds: "file" or "built-in" and
    // the number of entries, then "CODE=text" (GFncMsg_Get) and "#index=code:text" (an entry).
    const std::vector<std::tuple<QString, const char*, MessageProgram, const char*>> cases = {
        // The language's section among others, or none (the English built-in table).
        {mixed, "11", Pagora, "file 13|WC201=ja WC201|#0=EM101:ja EM101"},
        {mixed, "04", Pagora, "built-in 13|WC201=MarvekBrowser"},
        {section("0x0804", pagoraEntries(u"zh"_s)), "04", Pagora, "file 13|WC201=zh WC201"},
        // The thresholds, 9 and 4 (the tables just below them: the fuzz corpus); a rejected table is
        // overwritten from entry 0 by the built-in one.
        {section("0x0411", numbered(9)), "11", Pagora, "file 9|EM101=file 0|WC201="},
        {section("0x0409", numbered(4)), "09", Pagoset, "file 4"},
        {section("0x0409", QStringList{u"\tno code"_s} + numbered(20).mid(1)), "09", Pagora,
         "built-in 20|#13=C13:file 13"},
        {section("0x0409", tabs), "09", Pagora, "file 13|EM101=x EM101|em101=|EM10=|EM102=text\twith a tab"},
        // Continuation lines belong to the setup's entries; the browser reads them as entries without a code.
        {section("0x0409", continued), "09", Pagoset,
         "file 4|WC101=Title\r\nline 1\r\nline 2\r\nline 3\r\nline 4\r\nline 5"},
        {section("0x0409", continued), "09", Pagora, "file 9|#4=:line 1|#8=:line 5"},
        // A section without END runs into the next header (a line without TAB is all code).
        {section("0x0409 first", numbered(3, u"a"_s), false) + section("0x0411 second", numbered(9, u"b"_s)),
         "09", Pagora, "file 13|#3=0x0411 second:|#4=EM101:b 0"},
        // A second section of the language refills from the start.
        {section("0x0409", numbered(12, u"first"_s)) + section("0x0409", numbered(10, u"second"_s)), "09",
         Pagora, "file 12|#9=C09:second 9|#11=C11:first 11"},
        // Header look-alikes inside texts are skipped, unless they name the language read.
        {lookalikes, "11", Pagora, "file 13|WC201=value 0x0409 in a text"},
        {lookalikes, "09", Pagora, "file 10|#0=WC202:x WC202"},
        // Unfinished lines end the section, instead of scanning for ever or cutting a negative length.
        {section("0x0409", numbered(9), false) + u"C99\tno line end"_s, "09", Pagora, "file 9|C99="},
        {section("0x0409", setup, false) + u"\tunfinished"_s, "09", Pagoset, "file 4|WC101=d"},
        // END in lower case is an entry.
        {section("0x0409", numbered(8) << u"end"_s), "09", Pagora, "file 9"}};
    for (const auto& [content, language, program, expected] : cases) {
        SCOPED_TRACE(expected);
        const MessageTable table = MessageTable::fromContent(content, QString::fromLatin1(language), program);
        QStringList checks = QString::fromUtf8(expected).split(u'|');
        const QStringList head = checks.takeFirst().split(u' ');
        EXPECT_EQ(table.usesBuiltIn(), head[0] == u"built-in");
        ASSERT_EQ(table.gstrMsg().size(), head[1].toULong());
        const std::vector<MessageEntry> builtIn = builtInMessages(program, QString::fromLatin1(language));
        for (size_t i = 0; table.usesBuiltIn() && i < std::min(builtIn.size(), table.gstrMsg().size()); ++i)
            EXPECT_EQ(table.gstrMsg()[i], builtIn[i]) << i;
        for (const QString& check : checks) {
            const QString key = check.section(u'=', 0, 0);
            const QString value = check.section(u'=', 1);
            if (key.startsWith(u'#')) {
                const MessageEntry& entry = table.gstrMsg().at(key.mid(1).toULong());
                EXPECT_EQ((entry.code + u':' + entry.text).toStdString(), value.toStdString());
            } else {
                EXPECT_EQ(table.GFncMsg_Get(key).toStdString(), value.toStdString()) << key.toStdString();
            }
        }
    }
}

// Crafted files of about 8 MB: the scan stays linear in the file's size, whatever the lines look like.
TEST(MessagesScan, CraftedLargeFilesScanInLinearTime) {
    const QString noTabLines = [] {
        QString text;
        for (int s = 0; s < 10; ++s) {
            text += u"0x0409"_s + CrLf;
            for (int i = 0; i < 32766; ++i)
                text += u"LINE WITHOUT TAB"_s + CrLf;
        }
        return text + QString(3'000'000, u'x');
    }();
    const QString headersWithoutLineEnd = u"0x0409 "_s.repeated(1'100'000);
    const QString tabsAtTheEnd = section("0x0409", numbered(9)) + u"0x0409"_s + CrLf +
                                 QString(4'000'000, u'y') + QString(4'000'000, u'\t');
    const std::vector<std::tuple<const char*, QString, size_t>> cases = {
        {"sections of lines without TAB, then one long line", noTabLines, 32767}, // the next header too
        {"headers without a line end", headersWithoutLineEnd, 1},
        {"a long line, then TABs", tabsAtTheEnd, 9}};
    for (const auto& [what, content, entries] : cases) {
        SCOPED_TRACE(what);
        QElapsedTimer timer;
        timer.start();
        const MessageTable table = MessageTable::fromContent(content, u"09"_s, MessageProgram::Pagora);
        // A quadratic scan took about a minute on these files; a linear one well under a second
        // (a few with the sanitizers on a busy machine).
        EXPECT_LT(timer.elapsed(), 8000);
        EXPECT_EQ(table.gstrMsg().size(), std::max<size_t>(entries, table.usesBuiltIn() ? 13 : 0));
    }
}

TEST(MessagesLoad, ReadsTheUnicodeFileBesideTheProgram) {
    testing::TempMachine machine;
    QFile ini(machine.machine().machineIniFile());
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write("[Locale]\r\nSystemDefaultLangID=0411\r\nUserDefaultLangID=0409\r\n");
    ini.close();
    const platform::MachineInfo info(machine.machine());
    const QString folder = u"C:\\Program Files\\Pagora"_s;

    // No file: the Japanese built-in table (the system language counts, not the user's).
    MessageTable table = MessageTable::GSubMsg_Load(machine.machine(), info, folder, MessageProgram::Pagora);
    EXPECT_EQ(table.gstrLang(), u"11"_s);
    EXPECT_TRUE(table.usesBuiltIn());
    EXPECT_EQ(table.GFncMsg_Get(u"WC201"_s), u"マーベックブラウザ"_s);

    const QString content = section("0x0411", pagoraEntries(u"ファイル"_s));
    ASSERT_TRUE(machine.writeFile(folder + u"\\PG_MSG.TXT"_s, platform::encodeUtf16Le(content, true)));
    table = MessageTable::GSubMsg_Load(machine.machine(), info, folder, MessageProgram::Pagora);
    EXPECT_FALSE(table.usesBuiltIn());
    EXPECT_EQ(table.GFncMsg_Get(u"WC201"_s), u"ファイル WC201"_s);

    EXPECT_EQ(GFncFile_ReadUnicode(machine.machine(), folder + u"\\PG_MSG.TXT"_s), content);
    EXPECT_TRUE(GFncFile_ReadUnicode(machine.machine(), folder).isEmpty());
    EXPECT_TRUE(GFncFile_ReadUnicode(machine.machine(), u"Q:\\none.txt"_s).isEmpty());
}

TEST(MessagesLoad, ShippedSampleFilesCarryTheBuiltInTextsInBothLanguages) {
    const QDir folder = QFileInfo(BuildPath("PAGORA_EXE")).absoluteDir();
    for (const auto& [program, builtInCount] :
         {std::pair{MessageProgram::Pagora, 13}, {MessageProgram::Pagoset, 4}}) {
        QFile file(folder.filePath(messageFileName(program)));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << file.fileName().toStdString();
        const QByteArray bytes = file.readAll();
        ASSERT_TRUE(platform::hasUtf16LeBom(bytes));
        const QString content = platform::decodeUtf16Le(bytes);
        EXPECT_FALSE(content.contains(QRegularExpression(u"[^\\r]\\n"_s))) << "lines end in CR LF";
        for (const QString& language : {u"11"_s, u"09"_s}) {
            const MessageTable table = MessageTable::fromContent(content, language, program);
            EXPECT_FALSE(table.usesBuiltIn());
            EXPECT_EQ(table.gstrMsg(), builtInMessages(program, language));
            EXPECT_EQ(static_cast<int>(table.gstrMsg().size()), builtInCount);
        }
    }
}

} // namespace
} // namespace marvek::browser
