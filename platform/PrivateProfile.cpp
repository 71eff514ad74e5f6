#include "platform/PrivateProfile.h"

#include "platform/TextCodec.h"

#include <QFile>
#include <QStringView>
#include <optional>

namespace marvek::platform {

namespace {

bool isBlank(QChar c) {
    return c == u' ' || c == u'\t';
}

QStringView trimBlanks(QStringView text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlank(text[begin]))
        ++begin;
    while (end > begin && isBlank(text[end - 1]))
        --end;
    return text.mid(begin, end - begin);
}

QString readProfileText(const QString& hostFile, int codePage, bool& exists) {
    QFile file(hostFile);
    exists = file.open(QIODevice::ReadOnly);
    if (!exists)
        return {};
    const QByteArray bytes = file.readAll();
    if (hasUtf16LeBom(bytes))
        return decodeUtf16Le(bytes);
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return decodeCodePage(bytes.mid(3), CodePageUtf8);
    return decodeCodePage(bytes, codePage);
}

// The value of key in the first [section] of the text, or nothing.
std::optional<QString> findValue(QStringView text, QStringView section, QStringView key) {
    bool inSection = false;
    bool sectionSeen = false;
    qsizetype pos = 0;
    while (pos < text.size()) {
        qsizetype end = pos;
        while (end < text.size() && text[end] != u'\n' && text[end] != u'\r')
            ++end;
        const QStringView line = trimBlanks(text.mid(pos, end - pos));
        pos = end + 1;

        if (line.isEmpty() || line.front() == u';')
            continue;
        if (line.front() == u'[') {
            const qsizetype close = line.lastIndexOf(u']');
            if (close < 0)
                continue;
            if (inSection)
                return std::nullopt; // the first matching section ends here
            const QStringView name = trimBlanks(line.mid(1, close - 1));
            inSection = !sectionSeen && name.compare(section, Qt::CaseInsensitive) == 0;
            sectionSeen = sectionSeen || inSection;
            continue;
        }
        if (!inSection)
            continue;
        const qsizetype equals = line.indexOf(u'=');
        if (equals < 0)
            continue;
        if (trimBlanks(line.left(equals)).compare(key, Qt::CaseInsensitive) != 0)
            continue;
        QStringView value = trimBlanks(line.mid(equals + 1));
        if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') &&
            value.back() == value.front())
            value = value.mid(1, value.size() - 2);
        const qsizetype nul = value.indexOf(QChar(0));
        return (nul < 0 ? value : value.left(nul)).toString();
    }
    return std::nullopt;
}

} // namespace

int getPrivateProfileString(const QString& section, const QString& key, const QString& defaultValue,
                            QString& buffer, int bufferSize, const QString& hostFile, int codePage) {
    if (bufferSize <= 0) {
        buffer.clear();
        return 0;
    }
    return PrivateProfileFile(hostFile, codePage).getString(section, key, defaultValue, buffer, bufferSize);
}

PrivateProfileFile::PrivateProfileFile(const QString& hostFile, int codePage)
    : m_text(readProfileText(hostFile, codePage, m_exists)) {
}

int PrivateProfileFile::getString(const QString& section, const QString& key, const QString& defaultValue,
                                  QString& buffer, int bufferSize) const {
    if (bufferSize <= 0) {
        buffer.clear();
        return 0;
    }
    std::optional<QString> value;
    if (m_exists)
        value = findValue(m_text, section, key);
    if (!value) {
        QStringView fallback(defaultValue);
        while (!fallback.isEmpty() && isBlank(fallback.back()))
            fallback.chop(1);
        value = fallback.toString();
    }

    const qsizetype copied = qMin<qsizetype>(value->size(), bufferSize - 1);
    buffer = value->left(copied);
    buffer.resize(bufferSize, QChar(0));
    return int(copied);
}

} // namespace marvek::platform
