#include "TestSupport.h"
#include "platform/PrivateProfile.h"
#include "platform/TextCodec.h"

namespace {

class PrivateProfile : public ::testing::Test {
protected:
    QString write(const QByteArray& bytes) {
        const QString path = m_dir.filePath(QString("profile%1.ini").arg(++m_count));
        EXPECT_TRUE(writeHostFile(path, bytes)) << path.toStdString();
        return path;
    }

    // The value as the suite reads it, into a 256-character buffer.
    static QString read(const QString& file, const QString& section, const QString& key,
                        const QString& defaultValue = {}, int codePage = CodePageWestern) {
        QString buffer;
        const int length = getPrivateProfileString(section, key, defaultValue, buffer, 256, file, codePage);
        return buffer.left(length);
    }

    QTemporaryDir m_dir;
    int m_count = 0;
};

} // namespace

TEST_F(PrivateProfile, WindowsRulesForSectionsKeysAndValues) {
    const QString file = write("; comment line\r\n"
                               "[ SYSTEM INFORMATION ]\r\n"
                               "  DTX3_MDB_NAME  =  dtx3.mdb  \r\n"
                               "Quoted=\"  spaced  \"\r\n"
                               "Empty=\r\n"
                               "NoEquals\r\n"
                               ";Commented=1\r\n"
                               "Twice=first\r\n"
                               "Twice=second\r\n"
                               "\r\n"
                               "[MDB COLUMN LENGTH]\r\n"
                               "Pub_No=12\r\n"
                               "[system information]\r\n"
                               "Later=only in the duplicate section\r\n");
    EXPECT_EQ(read(file, "system information", "dtx3_mdb_name"), "dtx3.mdb");
    EXPECT_EQ(read(file, "SYSTEM INFORMATION", "Quoted"), "  spaced  ");
    EXPECT_EQ(read(file, "SYSTEM INFORMATION", "Empty", "default"), "");
    EXPECT_EQ(read(file, "SYSTEM INFORMATION", "NoEquals", "default"), "default");
    EXPECT_EQ(read(file, "SYSTEM INFORMATION", "Commented"), "");
    EXPECT_EQ(read(file, "SYSTEM INFORMATION", "Twice"), "first");
    EXPECT_EQ(read(file, "MDB COLUMN LENGTH", "Pub_No"), "12");
    EXPECT_EQ(read(file, "SYSTEM INFORMATION", "Later"), ""); // the first section of a name wins
    EXPECT_EQ(read(file, "NO SUCH SECTION", "Pub_No", "fallback  "), "fallback");
    EXPECT_EQ(read(m_dir.filePath("missing.ini"), "SYSTEM INFORMATION", "Pub_No", "dflt"), "dflt");
}

TEST_F(PrivateProfile, BufferSizeCutsTheValue) {
    const QString file = write("[S]\nShort=abc\n");
    QString buffer;
    EXPECT_EQ(getPrivateProfileString("S", "Short", "", buffer, 3, file, CodePageWestern), 2);
    EXPECT_EQ(buffer, QString("ab") + QChar(0));
    EXPECT_EQ(getPrivateProfileString("S", "Short", "", buffer, 0, file, CodePageWestern), 0);
    EXPECT_TRUE(buffer.isEmpty());
    EXPECT_EQ(getPrivateProfileString("S", "Missing", "default text", buffer, 5, file, CodePageWestern), 4);
    EXPECT_EQ(buffer.left(4), "defa");
}

TEST_F(PrivateProfile, TextEncodings) {
    // ANSI code page 932 (the value is "マニュアル").
    const QString sjis = write("[MESSAGE]\r\nM001=\x83\x7d\x83\x6a\x83\x85\x83\x41\x83\x8b\r\n");
    EXPECT_EQ(read(sjis, "MESSAGE", "M001", {}, CodePageShiftJis), QString::fromUtf8("マニュアル"));

    // UTF-16LE with its byte-order mark, whatever the code page; a NUL inside a value ends it.
    const QString utf16 = write(encodeUtf16Le(
        QString::fromUtf8("[Message]\r\nWC201=ページ") + QChar(0) + "hidden\r\nWC202=二\r\n", true));
    EXPECT_EQ(read(utf16, "MESSAGE", "wc201", {}, CodePageWestern), QString::fromUtf8("ページ"));
    EXPECT_EQ(read(utf16, "MESSAGE", "WC202", {}, CodePageShiftJis), QString::fromUtf8("二"));

    // UTF-8 with its byte-order mark; lines that end in CR only.
    const QString utf8 = write("\xEF\xBB\xBF[A]\rKey=\xC3\xA9t\xC3\xA9\r[B]\rKey=2\r");
    EXPECT_EQ(read(utf8, "A", "Key", {}, CodePageShiftJis), QString::fromUtf8("été"));
    EXPECT_EQ(read(utf8, "B", "Key"), "2");
}
