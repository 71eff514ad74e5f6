#include "platform/TextCodec.h"

#include <QtEndian>
#include <algorithm>
#include <cerrno>
#include <iconv.h>
#include <memory>

namespace marvek::platform {

namespace {

constexpr char16_t ReplacementCharacter = 0xFFFD;

QByteArray iconvName(int codePage) {
    if (codePage == CodePageUtf8)
        return QByteArrayLiteral("UTF-8");
    return QByteArrayLiteral("CP") + QByteArray::number(codePage);
}

// One iconv conversion descriptor, closed with the object.
class Converter {
public:
    Converter(const char* to, const char* from) : m_cd(iconv_open(to, from)) {}
    ~Converter() {
        if (isValid())
            iconv_close(m_cd);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    bool isValid() const { return m_cd != reinterpret_cast<iconv_t>(-1); }
    iconv_t handle() const { return m_cd; }

private:
    iconv_t m_cd;
};

// A converter between a code page and UTF-16LE, falling back to 1252 when iconv does not know the page.
struct CodePageConverter {
    CodePageConverter(int codePage, bool decoding)
        : page(codePage), converter(decoding ? "UTF-16LE" : iconvName(codePage).constData(),
                                    decoding ? iconvName(codePage).constData() : "UTF-16LE") {}
    int page;
    Converter converter;
};

std::unique_ptr<CodePageConverter> openConverter(int codePage, bool decoding) {
    auto result = std::make_unique<CodePageConverter>(codePage, decoding);
    if (!result->converter.isValid() && codePage != CodePageWestern)
        result = std::make_unique<CodePageConverter>(CodePageWestern, decoding);
    if (!result->converter.isValid())
        return nullptr;
    return result;
}

// Writes out what the converter still holds back: code pages 1255 and 1258 keep a base letter until they
// know whether a combining mark follows it. Resets the shift state. used is the output's filled length.
bool flushPending(iconv_t cd, QByteArray& output, size_t& used) {
    while (true) {
        char* out = output.data() + used;
        size_t outLeft = size_t(output.size()) - used;
        const size_t result = iconv(cd, nullptr, nullptr, &out, &outLeft);
        const int error = errno;
        used = size_t(out - output.data());
        if (result != size_t(-1))
            return true;
        if (error != E2BIG)
            return false;
        output.resize(output.size() * 2 + 16);
    }
}

// Runs iconv over the whole input. onInvalid is told the undecodable input position and returns how many
// input bytes to skip, after appending its replacement to the output.
template <typename OnInvalid>
bool convertAll(iconv_t cd, const char* input, size_t inputSize, QByteArray& output, OnInvalid onInvalid) {
    char* in = const_cast<char*>(input);
    size_t inLeft = inputSize;
    output.resize(qsizetype(inputSize) * 2 + 16);
    size_t used = 0;
    while (inLeft > 0) {
        char* out = output.data() + used;
        size_t outLeft = size_t(output.size()) - used;
        const size_t result = iconv(cd, &in, &inLeft, &out, &outLeft);
        const int error = errno;
        used = size_t(out - output.data());
        if (result != size_t(-1))
            break; // everything converted
        if (error == E2BIG) {
            output.resize(output.size() * 2);
            continue;
        }
        if (error != EILSEQ && error != EINVAL)
            return false;
        // An invalid sequence, or an incomplete one at the end of the input: what was held back comes
        // before its replacement.
        if (!flushPending(cd, output, used))
            return false;
        output.truncate(qsizetype(used));
        const size_t skip =
            qMin(inLeft, onInvalid(reinterpret_cast<const unsigned char*>(in), inLeft, output));
        used = size_t(output.size());
        output.resize(qsizetype(used + inLeft * 2 + 16));
        in += skip;
        inLeft -= skip;
    }
    if (!flushPending(cd, output, used))
        return false;
    output.truncate(qsizetype(used));
    return true;
}

// The code pages whose bytes below 0x80 are ASCII in iconv's tables: a text of only such bytes decodes
// as Latin-1 without a converter (opening one is most of the cost of a short text).
bool asciiCompatible(int codePage) {
    switch (codePage) {
    case CodePageUtf8:
    case 874:
    case 932:
    case 936:
    case 949:
    case 950:
        return true;
    default:
        return codePage >= 1250 && codePage <= 1258;
    }
}

bool isAscii(const QByteArray& bytes) {
    return std::all_of(bytes.begin(), bytes.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

void appendUtf16Le(QByteArray& output, char16_t unit) {
    output.append(char(unit & 0xFF));
    output.append(char(unit >> 8));
}

} // namespace

QString decodeCodePage(const QByteArray& bytes, int codePage) {
    if (bytes.isEmpty())
        return {};
    if (asciiCompatible(codePage) && isAscii(bytes))
        return QString::fromLatin1(bytes);
    const auto converter = openConverter(codePage, true);
    if (!converter)
        return QString::fromLatin1(bytes);
    const bool western = converter->page == CodePageWestern;
    QByteArray utf16;
    const bool ok = convertAll(converter->converter.handle(), bytes.constData(), size_t(bytes.size()), utf16,
                               [western](const unsigned char* at, size_t, QByteArray& out) -> size_t {
                                   // Windows maps the undefined bytes of 1252 (0x81, 0x8D, 0x8F, 0x90,
                                   // 0x9D) to the control characters of the same value.
                                   appendUtf16Le(out, western ? char16_t(*at) : ReplacementCharacter);
                                   return 1;
                               });
    if (!ok)
        return QString::fromLatin1(bytes);
    return decodeUtf16Le(utf16);
}

QByteArray encodeCodePage(const QString& text, int codePage) {
    if (text.isEmpty())
        return {};
    const auto converter = openConverter(codePage, false);
    const QByteArray utf16 = encodeUtf16Le(text, false);
    QByteArray result;
    const bool ok =
        converter && convertAll(converter->converter.handle(), utf16.constData(), size_t(utf16.size()),
                                result, [](const unsigned char* at, size_t left, QByteArray& out) -> size_t {
                                    out.append('?');
                                    // A character outside the BMP is a surrogate pair of two units.
                                    const char16_t unit = char16_t(at[0] | (left > 1 ? at[1] << 8 : 0));
                                    if (QChar::isHighSurrogate(unit) && left >= 4) {
                                        const char16_t next = char16_t(at[2] | (at[3] << 8));
                                        if (QChar::isLowSurrogate(next))
                                            return 4;
                                    }
                                    return 2;
                                });
    return ok ? result : text.toLatin1();
}

QString decodeUtf16Le(const QByteArray& bytes) {
    const qsizetype start = hasUtf16LeBom(bytes) ? 2 : 0;
    const qsizetype units = (bytes.size() - start) / 2;
    QString result(units, Qt::Uninitialized);
    const auto* data = reinterpret_cast<const uchar*>(bytes.constData()) + start;
    for (qsizetype i = 0; i < units; ++i)
        result[i] = QChar(qFromLittleEndian<quint16>(data + 2 * i));
    if ((bytes.size() - start) % 2 != 0)
        result.append(QChar(ReplacementCharacter));
    return result;
}

QByteArray encodeUtf16Le(const QString& text, bool withBom) {
    QByteArray result;
    result.reserve(text.size() * 2 + 2);
    if (withBom)
        result.append("\xFF\xFE", 2);
    for (const QChar c : text)
        appendUtf16Le(result, c.unicode());
    return result;
}

bool hasUtf16LeBom(const QByteArray& bytes) {
    return bytes.size() >= 2 && uchar(bytes[0]) == 0xFF && uchar(bytes[1]) == 0xFE;
}

} // namespace marvek::platform
