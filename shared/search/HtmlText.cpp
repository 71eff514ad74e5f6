#include "shared/search/HtmlText.h"

#include "platform/TextCodec.h"

#include <QHash>
#include <QStringDecoder>
#include <QStringView>

namespace marvek::search {

namespace {

constexpr int CodePageUtf16Le = 1200;
constexpr int CodePageUtf16Be = 1201;

int codePageOfCharset(QByteArray name) {
    name = name.trimmed().toLower();
    if (name == "utf-8" || name == "utf8")
        return platform::CodePageUtf8;
    if (name == "shift_jis" || name == "shift-jis" || name == "sjis" || name == "x-sjis" ||
        name == "windows-31j" || name == "cp932" || name == "ms932" || name == "csshiftjis" ||
        name == "ms_kanji" || name == "x-ms-cp932")
        return platform::CodePageShiftJis;
    if (name == "iso-8859-1" || name == "latin1" || name == "windows-1252" || name == "cp1252" ||
        name == "us-ascii" || name == "ascii" || name == "iso8859-1")
        return platform::CodePageWestern;
    if (name == "utf-16" || name == "utf-16le")
        return CodePageUtf16Le;
    if (name == "utf-16be")
        return CodePageUtf16Be;
    if (name.startsWith("windows-")) {
        bool ok = false;
        const int number = name.mid(8).toInt(&ok);
        if (ok && number >= 1250 && number <= 1258)
            return number;
    }
    return 0;
}

// The value after "charset" in the page's head, when a <meta> names one.
QByteArray declaredCharset(const QByteArray& head) {
    const QByteArray lower = head.toLower();
    for (qsizetype meta = lower.indexOf("<meta"); meta >= 0; meta = lower.indexOf("<meta", meta + 5)) {
        const qsizetype close = lower.indexOf('>', meta);
        const QByteArray tag = lower.mid(meta, close < 0 ? -1 : close - meta);
        qsizetype at = tag.indexOf("charset");
        if (at < 0)
            continue;
        at += 7;
        while (at < tag.size() && (tag.at(at) == ' ' || tag.at(at) == '=' || tag.at(at) == '"' ||
                                   tag.at(at) == '\'' || tag.at(at) == '\t'))
            ++at;
        qsizetype end = at;
        while (end < tag.size() &&
               (std::isalnum(static_cast<unsigned char>(tag.at(end))) || tag.at(end) == '-' ||
                tag.at(end) == '_' || tag.at(end) == ':' || tag.at(end) == '.'))
            ++end;
        if (end > at)
            return tag.mid(at, end - at);
    }
    return {};
}

bool isValidUtf8(const QByteArray& bytes) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData());
    const qsizetype n = bytes.size();
    for (qsizetype i = 0; i < n;) {
        const unsigned char lead = p[i];
        int extra = 0;
        if (lead < 0x80)
            extra = 0;
        else if (lead >= 0xC2 && lead <= 0xDF)
            extra = 1;
        else if (lead >= 0xE0 && lead <= 0xEF)
            extra = 2;
        else if (lead >= 0xF0 && lead <= 0xF4)
            extra = 3;
        else
            return false;
        if (i + extra >= n && extra > 0)
            return false;
        for (int k = 1; k <= extra; ++k)
            if ((p[i + k] & 0xC0) != 0x80)
                return false;
        i += 1 + extra;
    }
    return true;
}

QString decodeUtf16(const QByteArray& bytes, bool bigEndian) {
    QStringDecoder decoder(bigEndian ? QStringDecoder::Utf16BE : QStringDecoder::Utf16LE,
                           QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(bytes);
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    return text;
}

// Elements whose content is never shown.
bool isHiddenElement(QStringView name) {
    return name == u"script" || name == u"style" || name == u"template";
}

// Elements that do not break a word: every other tag stands for a blank.
bool isInlineElement(QStringView name) {
    static const QStringView names[] = {
        u"a",      u"abbr", u"acronym", u"b",    u"big",  u"cite", u"code",  u"em",   u"font",
        u"i",      u"kbd",  u"mark",    u"nobr", u"q",    u"s",    u"small", u"span", u"strike",
        u"strong", u"sub",  u"sup",     u"tt",   u"u",    u"var",  u"ruby",  u"rb",   u"wbr",
        u"label",  u"dfn",  u"bdi",     u"bdo",  u"time", u"data", u"ins",   u"del",  u"samp"};
    for (const QStringView inlineName : names)
        if (name == inlineName)
            return true;
    return false;
}

const QHash<QString, char32_t>& namedEntities() {
    static const QHash<QString, char32_t> table = {
        {QStringLiteral("amp"), '&'},       {QStringLiteral("lt"), '<'},
        {QStringLiteral("gt"), '>'},        {QStringLiteral("quot"), '"'},
        {QStringLiteral("apos"), '\''},     {QStringLiteral("nbsp"), 0xA0},
        {QStringLiteral("copy"), 0xA9},     {QStringLiteral("reg"), 0xAE},
        {QStringLiteral("trade"), 0x2122},  {QStringLiteral("deg"), 0xB0},
        {QStringLiteral("plusmn"), 0xB1},   {QStringLiteral("times"), 0xD7},
        {QStringLiteral("divide"), 0xF7},   {QStringLiteral("micro"), 0xB5},
        {QStringLiteral("middot"), 0xB7},   {QStringLiteral("ndash"), 0x2013},
        {QStringLiteral("mdash"), 0x2014},  {QStringLiteral("lsquo"), 0x2018},
        {QStringLiteral("rsquo"), 0x2019},  {QStringLiteral("ldquo"), 0x201C},
        {QStringLiteral("rdquo"), 0x201D},  {QStringLiteral("hellip"), 0x2026},
        {QStringLiteral("bull"), 0x2022},   {QStringLiteral("euro"), 0x20AC},
        {QStringLiteral("yen"), 0xA5},      {QStringLiteral("pound"), 0xA3},
        {QStringLiteral("cent"), 0xA2},     {QStringLiteral("sect"), 0xA7},
        {QStringLiteral("para"), 0xB6},     {QStringLiteral("sup2"), 0xB2},
        {QStringLiteral("sup3"), 0xB3},     {QStringLiteral("frac12"), 0xBD},
        {QStringLiteral("frac14"), 0xBC},   {QStringLiteral("frac34"), 0xBE},
        {QStringLiteral("larr"), 0x2190},   {QStringLiteral("rarr"), 0x2192},
        {QStringLiteral("uarr"), 0x2191},   {QStringLiteral("darr"), 0x2193},
        {QStringLiteral("ohm"), 0x2126},    {QStringLiteral("Omega"), 0x3A9},
        {QStringLiteral("alpha"), 0x3B1},   {QStringLiteral("laquo"), 0xAB},
        {QStringLiteral("raquo"), 0xBB},    {QStringLiteral("shy"), 0xAD},
        {QStringLiteral("ensp"), 0x2002},   {QStringLiteral("emsp"), 0x2003},
        {QStringLiteral("thinsp"), 0x2009}, {QStringLiteral("le"), 0x2264},
        {QStringLiteral("ge"), 0x2265},     {QStringLiteral("ne"), 0x2260},
        {QStringLiteral("eacute"), 0xE9},   {QStringLiteral("egrave"), 0xE8},
        {QStringLiteral("aacute"), 0xE1},   {QStringLiteral("agrave"), 0xE0},
        {QStringLiteral("auml"), 0xE4},     {QStringLiteral("ouml"), 0xF6},
        {QStringLiteral("uuml"), 0xFC},     {QStringLiteral("Auml"), 0xC4},
        {QStringLiteral("Ouml"), 0xD6},     {QStringLiteral("Uuml"), 0xDC},
        {QStringLiteral("szlig"), 0xDF},    {QStringLiteral("ccedil"), 0xE7},
        {QStringLiteral("ntilde"), 0xF1},   {QStringLiteral("Eacute"), 0xC9},
        {QStringLiteral("oacute"), 0xF3},   {QStringLiteral("iacute"), 0xED},
        {QStringLiteral("uacute"), 0xFA},   {QStringLiteral("ecirc"), 0xEA},
        {QStringLiteral("acirc"), 0xE2},
    };
    return table;
}

// Collects text with runs of blanks collapsed to one blank.
class TextBuilder {
public:
    void blank() { m_pendingBlank = !m_text.isEmpty(); }
    void append(char32_t cp) {
        if (cp == ' ' || cp == '\t' || cp == '\n' || cp == '\r' || cp == '\f' || cp == 0xA0 || cp < 0x20) {
            blank();
            return;
        }
        if (m_pendingBlank)
            m_text.append(QLatin1Char(' '));
        m_pendingBlank = false;
        if (QChar::requiresSurrogates(cp)) {
            m_text.append(QChar(QChar::highSurrogate(cp)));
            m_text.append(QChar(QChar::lowSurrogate(cp)));
        } else {
            m_text.append(QChar(char16_t(cp)));
        }
    }
    QString take() { return std::move(m_text); }
    bool isEmpty() const { return m_text.isEmpty(); }

private:
    QString m_text;
    bool m_pendingBlank = false;
};

class HtmlScanner {
public:
    explicit HtmlScanner(QStringView html) : m_html(html) {}

    HtmlText run() {
        const qsizetype n = m_html.size();
        qsizetype i = 0;
        while (i < n) {
            const QChar c = m_html.at(i);
            if (c == u'<' && i + 1 < n) {
                i = tag(i);
            } else if (c == u'&') {
                i = entity(i, m_inTitle ? m_title : m_body);
            } else {
                char32_t cp = c.unicode();
                if (c.isHighSurrogate() && i + 1 < n && m_html.at(i + 1).isLowSurrogate()) {
                    cp = QChar::surrogateToUcs4(c, m_html.at(i + 1));
                    ++i;
                }
                (m_inTitle ? m_title : m_body).append(cp);
                ++i;
            }
        }
        HtmlText result;
        result.title = m_title.take();
        result.text = m_body.take();
        result.frameset = m_frameset;
        return result;
    }

private:
    // At "<": a comment, a declaration, a tag or a plain "<". Returns the position after it.
    qsizetype tag(qsizetype i) {
        const QStringView rest = m_html.mid(i);
        if (rest.startsWith(u"<!--")) {
            const qsizetype end = m_html.indexOf(u"-->", i + 4);
            return end < 0 ? m_html.size() : end + 3;
        }
        const QChar next = m_html.at(i + 1);
        if (next == u'!' || next == u'?') {
            const qsizetype end = m_html.indexOf(u'>', i + 2);
            return end < 0 ? m_html.size() : end + 1;
        }
        const bool closing = next == u'/';
        qsizetype nameStart = i + (closing ? 2 : 1);
        qsizetype nameEnd = nameStart;
        while (nameEnd < m_html.size() && nameEnd - nameStart < 32 &&
               (m_html.at(nameEnd).isLetterOrNumber() && m_html.at(nameEnd).unicode() < 0x80))
            ++nameEnd;
        if (nameEnd == nameStart || !m_html.at(nameStart).isLetter()) {
            (m_inTitle ? m_title : m_body).append('<');
            return i + 1;
        }
        const QString name = m_html.mid(nameStart, nameEnd - nameStart).toString().toLower();
        const qsizetype end = tagEnd(nameEnd);

        if (name == u"frameset" || name == u"frame")
            m_frameset = true;
        if (name == u"title") {
            m_inTitle = !closing && !m_titleSeen;
            m_titleSeen = true;
            return end;
        }
        if (!isInlineElement(name))
            (m_inTitle ? m_title : m_body).blank();
        if (!closing && isHiddenElement(name))
            return skipElement(end, name);
        return end;
    }

    // The position after the ">" that ends a tag, quoted attribute values passed over.
    qsizetype tagEnd(qsizetype i) const {
        QChar quote;
        for (; i < m_html.size(); ++i) {
            const QChar c = m_html.at(i);
            if (!quote.isNull()) {
                if (c == quote)
                    quote = QChar();
            } else if (c == u'"' || c == u'\'') {
                quote = c;
            } else if (c == u'>') {
                return i + 1;
            }
        }
        return m_html.size();
    }

    // Past the closing tag of a script or style (its content is raw text).
    qsizetype skipElement(qsizetype i, const QString& name) const {
        const QString closing = QStringLiteral("</") + name;
        const qsizetype at = m_html.indexOf(closing, i, Qt::CaseInsensitive);
        if (at < 0)
            return m_html.size();
        return tagEnd(at + closing.size());
    }

    // At "&": a character reference, or a plain "&".
    qsizetype entity(qsizetype i, TextBuilder& out) const {
        const qsizetype limit = std::min(m_html.size(), i + 34);
        qsizetype end = i + 1;
        while (end < limit && m_html.at(end) != u';' &&
               (m_html.at(end).isLetterOrNumber() || m_html.at(end) == u'#'))
            ++end;
        if (end >= limit || m_html.at(end) != u';' || end == i + 1) {
            out.append('&');
            return i + 1;
        }
        const QStringView name = m_html.mid(i + 1, end - i - 1);
        if (name.startsWith(u'#')) {
            bool ok = false;
            const bool hex = name.size() > 1 && (name.at(1) == u'x' || name.at(1) == u'X');
            const uint value = name.mid(hex ? 2 : 1).toUInt(&ok, hex ? 16 : 10);
            if (!ok) {
                out.append('&');
                return i + 1;
            }
            // A reference to nothing a text can hold becomes the replacement character.
            const bool usable = value > 0 && value <= 0x10FFFF && !(value >= 0xD800 && value <= 0xDFFF);
            out.append(usable ? char32_t(value) : char32_t(0xFFFD));
            return end + 1;
        }
        const auto found = namedEntities().constFind(name.toString());
        if (found == namedEntities().constEnd()) {
            out.append('&');
            return i + 1;
        }
        out.append(*found);
        return end + 1;
    }

    QStringView m_html;
    TextBuilder m_title;
    TextBuilder m_body;
    bool m_inTitle = false;
    bool m_titleSeen = false;
    bool m_frameset = false;
};

} // namespace

int HtmlCodePage(const QByteArray& bytes, int fallbackCodePage) {
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return platform::CodePageUtf8;
    if (bytes.startsWith("\xFF\xFE"))
        return CodePageUtf16Le;
    if (bytes.startsWith("\xFE\xFF"))
        return CodePageUtf16Be;
    const QByteArray charset = declaredCharset(bytes.left(4096));
    if (const int declared = charset.isEmpty() ? 0 : codePageOfCharset(charset))
        return declared;
    return isValidUtf8(bytes) ? platform::CodePageUtf8 : fallbackCodePage;
}

HtmlText ExtractHtmlText(const QByteArray& raw, int fallbackCodePage) {
    const QByteArray bytes = raw.left(MaxHtmlBytes);
    const int codePage = HtmlCodePage(bytes, fallbackCodePage);
    QString text;
    if (codePage == platform::CodePageUtf8)
        text = QString::fromUtf8(bytes.startsWith("\xEF\xBB\xBF") ? bytes.mid(3) : bytes);
    else if (codePage == CodePageUtf16Le || codePage == CodePageUtf16Be)
        text = decodeUtf16(bytes, codePage == CodePageUtf16Be);
    else
        text = platform::decodeCodePage(bytes, codePage);
    return ExtractHtmlText(text);
}

HtmlText ExtractHtmlText(const QString& html) {
    return HtmlScanner(html).run();
}

} // namespace marvek::search
