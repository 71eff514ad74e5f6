#include "TestSupport.h"
#include "platform/TextCodec.h"

TEST(TextCodec, InvalidBytesNeverStopTheConversion) {
    EXPECT_EQ(decodeCodePage(QByteArray("A\0B", 3), CodePageShiftJis), QString("A") + QChar(0) + "B");
    // A long run of garbage keeps its length: one replacement per undecodable byte.
    EXPECT_EQ(decodeCodePage(QByteArray(10000, '\xfd') + "end", CodePageShiftJis),
              QString(10000, QChar(0xFFFD)) + "end");

    EXPECT_EQ(encodeCodePage(QString::fromUtf8("x€y"), CodePageShiftJis), "x?y");
    EXPECT_EQ(encodeCodePage(QString::fromUtf8("a\U0001D11Eb"), CodePageShiftJis), "a?b");  // one "?" each
    EXPECT_EQ(encodeCodePage(QString("a") + QChar(0xD800) + "b", CodePageShiftJis), "a?b"); // lone surrogate
}

TEST(TextCodec, WesternEncodesWhatItCannotHoldAsQuestionMarks) {
    EXPECT_EQ(encodeCodePage(QString::fromUtf8("日本"), CodePageWestern), "??");
    // The bytes 1252 leaves undefined decode to the control characters of the same value, as on Windows.
    EXPECT_EQ(decodeCodePage("\x81\x8d\x8f\x90\x9d", CodePageWestern),
              QString::fromUtf8("\u0081\u008d\u008f\u0090\u009d"));
    EXPECT_EQ(decodeCodePage("\xe9", 99999), QString::fromUtf8("é")); // a code page iconv does not know
}

TEST(TextCodec, Utf16LittleEndian) {
    const QString text = QString::fromUtf8("WC201\tページ\r\n");
    const QByteArray withBom = encodeUtf16Le(text, true);
    EXPECT_TRUE(hasUtf16LeBom(withBom) && !hasUtf16LeBom(encodeUtf16Le(text, false)));
    EXPECT_EQ(withBom, QByteArray("\xff\xfe", 2) + encodeUtf16Le(text, false));
    EXPECT_EQ(withBom.mid(2, 2), QByteArray("W\0", 2));
    EXPECT_EQ(decodeUtf16Le(withBom), text);
    EXPECT_EQ(decodeUtf16Le(encodeUtf16Le(text, false)), text);
    EXPECT_EQ(decodeUtf16Le(QByteArray("A\0B", 3)), QString("A") + QChar(0xFFFD)); // odd trailing byte
}

// An ASCII text of an ASCII-based code page skips the converter: each such page must give every ASCII
// byte as itself through the converter too (a byte above 0x7F beside it takes the converter's way).
TEST(TextCodec, AsciiDecodesAsItselfInEveryAnsiCodePage) {
    for (const int codePage :
         {874, 932, 936, 949, 950, 1250, 1251, 1252, 1253, 1254, 1255, 1256, 1257, 1258, int(CodePageUtf8)}) {
        QByteArray ascii;
        for (int byte = 0; byte < 0x80; ++byte)
            ascii.append(char(byte));
        const QString converted = decodeCodePage(ascii + "\xff", codePage);
        EXPECT_EQ(converted.left(0x80), QString::fromLatin1(ascii)) << codePage;
        EXPECT_EQ(decodeCodePage(ascii, codePage), QString::fromLatin1(ascii)) << codePage;
    }
}

// Each code page decodes as Windows does and encodes back. Code pages 1255 and 1258 hold a base letter back
// until they know whether a combining mark follows: the last character of a text must still come out.
TEST(TextCodec, AnsiCodePagesDecodeAsWindowsAndKeepTheLastCharacter) {
    struct Case {
        int codePage;
        QByteArray bytes;
        const char* text; // UTF-8
    };
    const Case cases[] = {
        {874, "ab\xa1", "abก"},
        {932, "\x93\xfa\x96\x7b\x8c\xea\xb1", "日本語ｱ"}, // with a half-width katakana
        {932, "\x87\x40\x81\x60", "①～"}, // NEC circled digit; 0x8160 the full-width tilde, not the wave dash
        {936, "ab\xd6\xd0", "ab中"},
        {949, "ab\xb0\xa1", "ab가"},
        {950, "ab\xa4\xa4", "ab中"},
        {1250, "ab\x9a", "abš"},
        {1251, "ab\xe4", "abд"},
        {1252, "Caf\xe9 \x80", "Café €"},
        {1253, "ab\xe1", "abα"},
        {1254, "ab\xfd", "abı"},
        {1255, "ab\xe0", "abא"},
        {1255, "\xe0\xc8", "\xEF\xAC\xAF"}, // alef with qamats, composed
        {1256, "ab\xc7", "abا"},
        {1257, "ab\xe0", "abą"},
        {1258, "ab\xe2", "abâ"},
        {1258, "a\xec", "á"},         // a with the combining acute accent, composed
        {65001, "ab\xc3\xa9", "abé"}, // CodePageUtf8
    };
    for (const Case& c : cases) {
        const QString text = QString::fromUtf8(c.text);
        EXPECT_EQ(decodeCodePage(c.bytes, c.codePage), text) << c.codePage << " " << c.text;
        EXPECT_EQ(decodeCodePage(encodeCodePage(text, c.codePage), c.codePage), text)
            << c.codePage << " " << c.text;
    }
}
