#include "browser/messages/MessageTable.h"
#include "platform/MachineInfo.h"
#include "platform/TextCodec.h"
#include "platform/testing/TempMachine.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <gtest/gtest.h>

using namespace marvek;
using namespace Qt::StringLiterals;
using browser::MessageEntry;
using browser::MessageProgram;
using browser::MessageTable;

namespace {

const QString CrLf = QStringLiteral("\r\n");

// A section: header line, "code TAB text" lines, optionally the END line.
QString section(const QString& header, const QStringList& entries, bool withEnd = true) {
    QString text = header + CrLf;
    for (const QString& entry : entries)
        text += entry + CrLf;
    if (withEnd)
        text += QStringLiteral("END") + CrLf;
    return text;
}

// n entries "Cnn TAB <prefix> nn", the first one coded EM101.
QStringList numbered(int n, const QString& prefix) {
    QStringList entries;
    for (int i = 0; i < n; ++i) {
        const QString code =
            i == 0 ? QStringLiteral("EM101") : QStringLiteral("C%1").arg(i, 2, 10, QLatin1Char('0'));
        entries << code + QLatin1Char('\t') + prefix + QLatin1Char(' ') + QString::number(i);
    }
    return entries;
}

QStringList pagoraFileEntries(const QString& prefix) {
    const QStringList codes = {u"EM101"_s, u"EM102"_s, u"WC201"_s, u"WC202"_s, u"WC203"_s,
                               u"WC204"_s, u"WC205"_s, u"TB301"_s, u"TB302"_s, u"TB303"_s,
                               u"TB304"_s, u"TB305"_s, u"BC401"_s};
    QStringList entries;
    for (const QString& code : codes)
        entries << code + QLatin1Char('\t') + prefix + QLatin1Char(' ') + code;
    return entries;
}

} // namespace

TEST(MessagesLanguage, CodeFromSystemLanguageIdentifier) {
    EXPECT_EQ(browser::languageCodeFromLangId(0x0411), u"11"_s);
    EXPECT_EQ(browser::languageCodeFromLangId(0x0409), u"09"_s);
    EXPECT_EQ(browser::languageCodeFromLangId(0x0804), u"04"_s);
    EXPECT_EQ(browser::languageCodeFromLangId(0x0407), u"07"_s);
    EXPECT_EQ(browser::languageCodeFromLangId(0x0404), u"09"_s);
    EXPECT_EQ(browser::languageCodeFromLangId(0x0C04), u"09"_s);
    EXPECT_EQ(browser::languageCodeFromLangId(0x040C), u"0C"_s); // upper-case hexadecimal digits
}

TEST(MessagesScan, FileSectionOfTheLanguageIsUsedAndOtherSectionsSkipped) {
    const QString content = u"comment before the sections"_s + CrLf +
                            section(u"0x0409 English"_s, pagoraFileEntries(u"en"_s)) + u"between"_s + CrLf +
                            section(u"0x0411 Japanese"_s, pagoraFileEntries(u"ja"_s));
    const MessageTable ja = MessageTable::fromContent(content, u"11"_s, MessageProgram::Pagora);
    EXPECT_FALSE(ja.usesBuiltIn());
    ASSERT_EQ(ja.gstrMsg().size(), 13u);
    EXPECT_EQ(ja.GFncMsg_Get(u"WC201"_s), u"ja WC201"_s);
    EXPECT_EQ(ja.gstrMsg().front(), (MessageEntry{u"EM101"_s, u"ja EM101"_s}));

    const MessageTable en = MessageTable::fromContent(content, u"09"_s, MessageProgram::Pagora);
    EXPECT_EQ(en.GFncMsg_Get(u"BC401"_s), u"en BC401"_s);

    // No section for "04": the English built-in table.
    const MessageTable zh = MessageTable::fromContent(content, u"04"_s, MessageProgram::Pagora);
    EXPECT_TRUE(zh.usesBuiltIn());
    EXPECT_EQ(zh.GFncMsg_Get(u"WC201"_s), u"MarvekBrowser"_s);
    const MessageTable zhFile = MessageTable::fromContent(section(u"0x0804"_s, pagoraFileEntries(u"zh"_s)),
                                                          u"04"_s, MessageProgram::Pagora);
    EXPECT_EQ(zhFile.GFncMsg_Get(u"WC201"_s), u"zh WC201"_s);
}

TEST(MessagesScan, AcceptanceThresholdsAndBuiltInFill) {
    // Eight entries are too few for the browser: all thirteen built-in entries are used.
    const MessageTable eight = MessageTable::fromContent(section(u"0x0411"_s, numbered(8, u"file"_s)),
                                                         u"11"_s, MessageProgram::Pagora);
    EXPECT_TRUE(eight.usesBuiltIn());
    ASSERT_EQ(eight.gstrMsg().size(), 13u);
    EXPECT_EQ(eight.gstrMsg(), browser::builtInMessages(MessageProgram::Pagora, u"11"_s));
    EXPECT_EQ(eight.GFncMsg_Get(u"WC202"_s), u"バージョン情報"_s);

    // Nine are enough; codes the file lacks read empty.
    const MessageTable nine = MessageTable::fromContent(section(u"0x0411"_s, numbered(9, u"file"_s)), u"11"_s,
                                                        MessageProgram::Pagora);
    EXPECT_FALSE(nine.usesBuiltIn());
    EXPECT_EQ(nine.GFncMsg_Get(u"EM101"_s), u"file 0"_s);
    EXPECT_TRUE(nine.GFncMsg_Get(u"WC201"_s).isEmpty());

    // The browser setup accepts four.
    const MessageTable four = MessageTable::fromContent(section(u"0x0409"_s, numbered(4, u"file"_s)), u"09"_s,
                                                        MessageProgram::Pagoset);
    EXPECT_FALSE(four.usesBuiltIn());
    const MessageTable three = MessageTable::fromContent(section(u"0x0409"_s, numbered(3, u"file"_s)),
                                                         u"09"_s, MessageProgram::Pagoset);
    EXPECT_TRUE(three.usesBuiltIn());
    EXPECT_EQ(three.GFncMsg_Get(u"OB101"_s), u"Agree to the terms of this agreement"_s);

    // A first entry without a code rejects a long table; its entries after the built-in ones stay.
    QStringList entries = numbered(20, u"file"_s);
    entries[0] = u"\tno code"_s;
    const MessageTable noCode =
        MessageTable::fromContent(section(u"0x0409"_s, entries), u"09"_s, MessageProgram::Pagora);
    EXPECT_TRUE(noCode.usesBuiltIn());
    ASSERT_EQ(noCode.gstrMsg().size(), 20u);
    EXPECT_EQ(noCode.gstrMsg()[0].code, u"EM101"_s);
    EXPECT_EQ(noCode.gstrMsg()[12].code, u"BC401"_s);
    EXPECT_EQ(noCode.gstrMsg()[13], (MessageEntry{u"C13"_s, u"file 13"_s}));

    // Empty content: the built-in table.
    EXPECT_EQ(MessageTable::fromContent({}, u"09"_s, MessageProgram::Pagora).gstrMsg(),
              browser::builtInMessages(MessageProgram::Pagora, u"09"_s));
}

TEST(MessagesScan, CodesMatchExactlyAndTextsKeepTheirTabs) {
    QStringList entries = pagoraFileEntries(u"x"_s);
    entries[1] = u"EM102\ttext\twith a tab"_s;
    const MessageTable table =
        MessageTable::fromContent(section(u"0x0409"_s, entries), u"09"_s, MessageProgram::Pagora);
    EXPECT_EQ(table.GFncMsg_Get(u"EM101"_s), u"x EM101"_s);
    EXPECT_TRUE(table.GFncMsg_Get(u"em101"_s).isEmpty());
    EXPECT_TRUE(table.GFncMsg_Get(u"EM10"_s).isEmpty());
    EXPECT_EQ(table.GFncMsg_Get(u"EM102"_s), u"text\twith a tab"_s);
}

TEST(MessagesScan, ContinuationLinesOnlyForTheBrowserSetup) {
    QStringList entries = {u"OB101\tagree"_s, u"OB102\tdisagree"_s, u"BC101\tOK"_s, u"WC101\tTitle"_s};
    for (int i = 1; i <= 30; ++i)
        entries << u"\tline %1"_s.arg(i);
    const QString content = section(u"0x0409"_s, entries);

    const MessageTable setup = MessageTable::fromContent(content, u"09"_s, MessageProgram::Pagoset);
    ASSERT_EQ(setup.gstrMsg().size(), 4u);
    const QStringList lines = setup.GFncMsg_Get(u"WC101"_s).split(CrLf);
    ASSERT_EQ(lines.size(), 31);
    EXPECT_EQ(lines.front(), u"Title"_s);
    EXPECT_EQ(lines.back(), u"line 30"_s);

    // The browser reads each such line as an entry without a code.
    const MessageTable browserTable = MessageTable::fromContent(content, u"09"_s, MessageProgram::Pagora);
    EXPECT_FALSE(browserTable.usesBuiltIn());
    ASSERT_EQ(browserTable.gstrMsg().size(), 34u);
    EXPECT_EQ(browserTable.gstrMsg()[4], (MessageEntry{QString(), u"line 1"_s}));
}

TEST(MessagesScan, SectionWithoutEndRunsIntoTheNextHeader) {
    const QString content = section(u"0x0409 first"_s, numbered(3, u"a"_s), false) +
                            section(u"0x0411 second"_s, numbered(9, u"b"_s));
    const MessageTable table = MessageTable::fromContent(content, u"09"_s, MessageProgram::Pagora);
    // Three entries, the header line (no TAB: it is all code), nine more.
    ASSERT_EQ(table.gstrMsg().size(), 13u);
    EXPECT_EQ(table.gstrMsg()[3], (MessageEntry{u"0x0411 second"_s, QString()}));
    EXPECT_EQ(table.gstrMsg()[4], (MessageEntry{u"EM101"_s, u"b 0"_s}));
}

TEST(MessagesScan, SecondSectionOfTheLanguageRefillsFromTheStart) {
    const QString content =
        section(u"0x0409"_s, numbered(12, u"first"_s)) + section(u"0x0409"_s, numbered(10, u"second"_s));
    const MessageTable table = MessageTable::fromContent(content, u"09"_s, MessageProgram::Pagora);
    ASSERT_EQ(table.gstrMsg().size(), 12u);
    EXPECT_EQ(table.gstrMsg()[9].text, u"second 9"_s);
    EXPECT_EQ(table.gstrMsg()[11].text, u"first 11"_s);
}

TEST(MessagesScan, HeaderLookalikesInsideTextsAreSkipped) {
    QStringList entries = pagoraFileEntries(u"x"_s);
    entries[2] = u"WC201\tvalue 0x0409 in a text"_s; // another language's "header" inside a text
    const QString content = section(u"0x0411"_s, entries) + u"0x12 stray"_s + CrLf;
    const MessageTable table = MessageTable::fromContent(content, u"11"_s, MessageProgram::Pagora);
    ASSERT_EQ(table.gstrMsg().size(), 13u);
    EXPECT_EQ(table.GFncMsg_Get(u"WC201"_s), u"value 0x0409 in a text"_s);

    // Read for English, the look-alike is a header: the lines after it form the table.
    const MessageTable english = MessageTable::fromContent(content, u"09"_s, MessageProgram::Pagora);
    EXPECT_FALSE(english.usesBuiltIn());
    ASSERT_EQ(english.gstrMsg().size(), 10u);
    EXPECT_EQ(english.gstrMsg().front().code, u"WC202"_s);
}

TEST(MessagesScan, UnfinishedLinesEndTheSectionWithoutLooping) {
    // A header at the very end with no line end, and an entry without a line end after its TAB.
    EXPECT_TRUE(MessageTable::fromContent(u"0x0409"_s, u"09"_s, MessageProgram::Pagora).usesBuiltIn());
    const QString open = section(u"0x0409"_s, numbered(9, u"a"_s), false) + u"C99\tno line end"_s;
    const MessageTable table = MessageTable::fromContent(open, u"09"_s, MessageProgram::Pagora);
    EXPECT_EQ(table.gstrMsg().size(), 9u);
    EXPECT_TRUE(table.GFncMsg_Get(u"C99"_s).isEmpty());

    // A continuation line without a line end is not appended.
    const QString setup =
        section(u"0x0409"_s, {u"OB101\ta"_s, u"OB102\tb"_s, u"BC101\tc"_s, u"WC101\td"_s}, false) +
        u"\tunfinished"_s;
    EXPECT_EQ(MessageTable::fromContent(setup, u"09"_s, MessageProgram::Pagoset).GFncMsg_Get(u"WC101"_s),
              u"d"_s);

    // An END in lower case is an entry line, not the end.
    const QString lower = section(u"0x0409"_s, numbered(8, u"a"_s) << u"end"_s);
    EXPECT_EQ(MessageTable::fromContent(lower, u"09"_s, MessageProgram::Pagora).gstrMsg().size(), 9u);
}

TEST(MessagesLoad, ReadsTheUnicodeFileBesideTheProgram) {
    marvek::testing::TempMachine machine;
    QFile ini(machine.machine().machineIniFile());
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write("[Locale]\r\nSystemDefaultLangID=0411\r\nUserDefaultLangID=0409\r\n");
    ini.close();
    const platform::MachineInfo info(machine.machine());

    // No file: the Japanese built-in table (the system language counts, not the user's).
    MessageTable table = MessageTable::GSubMsg_Load(machine.machine(), info, u"C:\\Program Files\\Pagora"_s,
                                                    MessageProgram::Pagora);
    EXPECT_EQ(table.gstrLang(), u"11"_s);
    EXPECT_TRUE(table.usesBuiltIn());
    EXPECT_EQ(table.GFncMsg_Get(u"WC201"_s), u"マーベックブラウザ"_s);

    const QString content = section(u"0x0411"_s, pagoraFileEntries(u"ファイル"_s));
    ASSERT_TRUE(machine.writeFile(u"C:\\Program Files\\Pagora\\PG_MSG.TXT"_s,
                                  platform::encodeUtf16Le(content, true)));
    table = MessageTable::GSubMsg_Load(machine.machine(), info, u"C:\\Program Files\\Pagora"_s,
                                       MessageProgram::Pagora);
    EXPECT_FALSE(table.usesBuiltIn());
    EXPECT_EQ(table.GFncMsg_Get(u"WC201"_s), u"ファイル WC201"_s);

    EXPECT_EQ(browser::GFncFile_ReadUnicode(machine.machine(), u"C:\\Program Files\\Pagora\\PG_MSG.TXT"_s),
              content);
    EXPECT_TRUE(browser::GFncFile_ReadUnicode(machine.machine(), u"C:\\Program Files\\Pagora"_s).isEmpty());
    EXPECT_TRUE(browser::GFncFile_ReadUnicode(machine.machine(), u"Q:\\none.txt"_s).isEmpty());
}

TEST(MessagesLoad, ShippedSampleFilesAreAcceptedInBothLanguages) {
    const QDir folder = QFileInfo(QStringLiteral(PAGORA_EXE)).absoluteDir();
    for (const auto& [program, builtInCount] :
         {std::pair{MessageProgram::Pagora, 13}, {MessageProgram::Pagoset, 4}}) {
        QFile file(folder.filePath(browser::messageFileName(program)));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << file.fileName().toStdString();
        const QByteArray bytes = file.readAll();
        ASSERT_TRUE(platform::hasUtf16LeBom(bytes));
        const QString content = platform::decodeUtf16Le(bytes);
        EXPECT_FALSE(content.contains(QRegularExpression(QStringLiteral("[^\\r]\\n"))))
            << "lines end in CR LF";
        for (const QString& language : {u"11"_s, u"09"_s}) {
            const MessageTable table = MessageTable::fromContent(content, language, program);
            EXPECT_FALSE(table.usesBuiltIn());
            // The samples carry the built-in texts, so that either source reads the same.
            EXPECT_EQ(table.gstrMsg(), browser::builtInMessages(program, language));
            EXPECT_EQ(static_cast<int>(table.gstrMsg().size()), builtInCount);
        }
    }
}

TEST(MessagesBuiltIn, LicenceAgreementHasATitleAndNineSections) {
    for (const QString& language : {u"11"_s, u"09"_s}) {
        const MessageTable table = MessageTable::fromContent({}, language, MessageProgram::Pagoset);
        const QStringList pieces = table.GFncMsg_Get(u"WC101"_s).split(CrLf);
        ASSERT_EQ(pieces.size(), 10);
        for (int i = 1; i <= 9; ++i)
            EXPECT_TRUE(pieces[i].startsWith(QString::number(i) + u". "_s)) << pieces[i].toStdString();
    }
    EXPECT_TRUE(MessageTable::fromContent({}, u"11"_s, MessageProgram::Pagora)
                    .GFncMsg_Get(u"WC203"_s)
                    .contains(u"2005"_s));
    EXPECT_TRUE(MessageTable::fromContent({}, u"09"_s, MessageProgram::Pagora)
                    .GFncMsg_Get(u"WC203"_s)
                    .contains(u"2005"_s));
}
