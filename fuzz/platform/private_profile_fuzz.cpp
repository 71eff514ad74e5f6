// The private-profile reader on any file: the buffer contract of GetPrivateProfileString for a few
// sections and keys in four code pages, and, with a section of known content appended to the file, the
// value read back by the reader's rules.

#include "fuzz/FuzzCheck.h"
#include "platform/PrivateProfile.h"
#include "platform/TextCodec.h"

#include <QFile>
#include <QTemporaryDir>
#include <cstddef>
#include <cstdint>

using namespace marvek::platform;

namespace {

constexpr int BufferSize = 256;
const QString Default = QStringLiteral("dflt \t ");

const QString& scratchFile() {
    static const QTemporaryDir folder;
    static const QString path = folder.filePath(QStringLiteral("fuzz.ini"));
    return path;
}

void writeScratch(const QByteArray& bytes) {
    QFile file(scratchFile());
    MARVEK_FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
                      file.write(bytes) == bytes.size());
}

QString read(const QString& section, const QString& key, int size, int codePage, int* count = nullptr) {
    QString buffer;
    const int copied = getPrivateProfileString(section, key, Default, buffer, size, scratchFile(), codePage);
    if (count)
        *count = copied;
    return buffer;
}

// The value the reader gives for a line "key = <value>": blanks around it dropped, matching quotes
// removed, cut to the buffer.
QString expectedValue(const QString& written) {
    QString value = written;
    while (!value.isEmpty() && (value.front() == u' ' || value.front() == u'\t'))
        value.remove(0, 1);
    while (!value.isEmpty() && (value.back() == u' ' || value.back() == u'\t'))
        value.chop(1);
    if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') &&
        value.back() == value.front())
        value = value.mid(1, value.size() - 2);
    return value.left(BufferSize - 1);
}

void checkBufferContract(int codePage) {
    static const char* const names[][2] = {{"CAR_INFO", "Pub_No"}, {"MESSAGE", "M020"}, {"", ""}};
    bool first = true;
    for (const auto& [sectionName, keyName] : names) {
        const QString section = QLatin1String(sectionName);
        const QString key = QLatin1String(keyName);
        int count = -1;
        const QString full = read(section, key, BufferSize, codePage, &count);
        MARVEK_FUZZ_CHECK(full.size() == BufferSize);
        MARVEK_FUZZ_CHECK(count >= 0 && count < BufferSize);
        MARVEK_FUZZ_CHECK(full.indexOf(QChar(0)) == count); // the value, then NULs only
        MARVEK_FUZZ_CHECK(full.mid(count).count(QChar(0)) == BufferSize - count);
        const QString value = full.left(count);
        MARVEK_FUZZ_CHECK(!value.contains(u'\r') && !value.contains(u'\n'));
        if (!first)
            continue;
        first = false; // names without regard to case, and smaller buffers, for the first name only
        MARVEK_FUZZ_CHECK(read(section.toLower(), key.toUpper(), BufferSize, codePage) == full);
        for (const int size : {1, 7}) {
            int small = -1;
            const QString cut = read(section, key, size, codePage, &small);
            MARVEK_FUZZ_CHECK(cut.size() == size && small == qMin(count, size - 1));
            MARVEK_FUZZ_CHECK(cut.left(small) == value.left(small));
        }
        MARVEK_FUZZ_CHECK(read(section, key, 0, codePage).isEmpty());
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray input = marvek::fuzz::bytes(data, size);
    writeScratch(input);
    for (const int codePage : {CodePageWestern, CodePageShiftJis, CodePageUtf8, 1258})
        checkBufferContract(codePage);

    // The same text with a section of its own after it: its value comes back by the rules, unless the
    // text already holds a section of that name (the first one wins) or is UTF-16.
    if (hasUtf16LeBom(input))
        return 0;
    QByteArray written;
    for (const char c : input.right(300)) {
        if ((c >= 0x20 && c < 0x7F) || c == '\t')
            written.append(c);
    }
    const QByteArray text = input + "\r\n[FuzzSection]\r\nFuzzKey =" + written + "\r\nOther=x\r\n";
    writeScratch(text);
    for (const int codePage : {CodePageWestern, CodePageShiftJis}) {
        const QString before = input.startsWith("\xEF\xBB\xBF") ? decodeCodePage(input.mid(3), CodePageUtf8)
                                                                : decodeCodePage(input, codePage);
        if (before.contains(QStringLiteral("FuzzSection"), Qt::CaseInsensitive))
            continue;
        int count = -1;
        const QString value =
            read(QStringLiteral("fuzzsection"), QStringLiteral("FUZZKEY"), BufferSize, codePage, &count);
        MARVEK_FUZZ_CHECK(value.left(count) == expectedValue(QString::fromLatin1(written)));
        MARVEK_FUZZ_CHECK(read(QStringLiteral("FuzzSection"), QStringLiteral("Missing"), BufferSize, codePage)
                              .startsWith(QStringLiteral("dflt") + QChar(0)));
    }
    return 0;
}
