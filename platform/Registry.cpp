#include "platform/Registry.h"

#include "platform/FileLock.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringList>
#include <QStringView>
#include <optional>

namespace marvek::platform {

namespace {

bool isBlank(QChar c) {
    return c == u' ' || c == u'\t' || c == u'\r';
}

QStringView trimBlanks(QStringView text) {
    while (!text.isEmpty() && isBlank(text.front()))
        text = text.mid(1);
    while (!text.isEmpty() && isBlank(text.back()))
        text.chop(1);
    return text;
}

bool hasControlCharacter(QStringView text) {
    for (const QChar c : text) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            return true;
    }
    return false;
}

QString normalizeKeyPath(const QString& path) {
    return path.split(u'\\', Qt::SkipEmptyParts).join(u'\\');
}

// A double-quoted field starting at text[0]; the text and the position after the closing quote.
std::optional<std::pair<QString, qsizetype>> parseQuoted(QStringView text) {
    QString result;
    for (qsizetype i = 1; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'"')
            return std::make_pair(result, i + 1);
        if (c == u'\\' && i + 1 < text.size()) {
            const QChar next = text[i + 1];
            if (next == u'\\' || next == u'"') {
                result.append(next);
                ++i;
                continue;
            }
            bool ok = false;
            const int code = next == u'x' && i + 3 < text.size() ? text.mid(i + 2, 2).toInt(&ok, 16) : 0;
            if (ok) {
                result.append(QChar(code));
                i += 3;
                continue;
            }
        }
        result.append(c);
    }
    return std::nullopt;
}

QString quoteIfNeeded(const QString& text, bool isName) {
    const bool needsQuotes =
        text.startsWith(u'"') || hasControlCharacter(text) ||
        (!text.isEmpty() && (isBlank(text.front()) || isBlank(text.back()))) ||
        (isName && (text.contains(u'=') || text.startsWith(u'[') || text.startsWith(u';')));
    if (!needsQuotes)
        return text;
    QString quoted = QStringLiteral("\"");
    for (const QChar c : text) {
        if (c == u'\\' || c == u'"') {
            quoted.append(u'\\');
            quoted.append(c);
        } else if (c.unicode() < 0x20 || c.unicode() == 0x7F) {
            quoted.append(QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QChar(u'0')));
        } else {
            quoted.append(c);
        }
    }
    quoted.append(u'"');
    return quoted;
}

struct RegistryLine {
    enum class Kind { Other, Key, Value };
    Kind kind = Kind::Other;
    QString name; // key path or value name
    QString value;
};

RegistryLine parseLine(QStringView raw) {
    const QStringView line = trimBlanks(raw);
    if (line.isEmpty() || line.front() == u';')
        return {};
    if (line.front() == u'[') {
        const qsizetype close = line.lastIndexOf(u']');
        if (close < 0)
            return {};
        return {RegistryLine::Kind::Key, normalizeKeyPath(line.mid(1, close - 1).toString()), {}};
    }
    QString name;
    QStringView rest;
    if (line.front() == u'"') {
        const auto quoted = parseQuoted(line);
        if (!quoted)
            return {};
        name = quoted->first;
        rest = trimBlanks(line.mid(quoted->second));
        if (rest.isEmpty() || rest.front() != u'=')
            return {};
        rest = rest.mid(1);
    } else {
        const qsizetype equals = line.indexOf(u'=');
        if (equals < 0)
            return {};
        name = trimBlanks(line.left(equals)).toString();
        rest = line.mid(equals + 1);
    }
    QStringView value = trimBlanks(rest);
    if (!value.isEmpty() && value.front() == u'"') {
        const auto quoted = parseQuoted(value);
        if (quoted && quoted->second == value.size())
            return {RegistryLine::Kind::Value, name, quoted->first};
    }
    return {RegistryLine::Kind::Value, name, value.toString()};
}

bool sameName(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

QStringList readLines(const QString& file) {
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(in.readAll()).split(u'\n');
}

} // namespace

Registry::Registry(const Machine& machine) : m_file(machine.registryFile()) {
}

QString Registry::readString(quint32 hive, const QString& subKey, const QString& valueName) const {
    if (hive != HKEY_LOCAL_MACHINE)
        return {};
    const QString key = normalizeKeyPath(subKey);
    bool inKey = false;
    for (const QString& raw : readLines(m_file)) {
        const RegistryLine line = parseLine(raw);
        if (line.kind == RegistryLine::Kind::Key)
            inKey = sameName(line.name, key);
        else if (inKey && line.kind == RegistryLine::Kind::Value && sameName(line.name, valueName)) {
            // The stored text and its terminating NUL must fit the buffer.
            if (line.value.size() + 1 > RegistryValueBufferSize)
                return {};
            const qsizetype nul = line.value.indexOf(QChar(0));
            return nul < 0 ? line.value : line.value.left(nul);
        }
    }
    return {};
}

bool Registry::writeString(quint32 hive, const QString& subKey, const QString& valueName,
                           const QString& value) const {
    return write(hive, subKey, valueName, value, true);
}

bool Registry::addString(quint32 hive, const QString& subKey, const QString& valueName,
                         const QString& value) const {
    return write(hive, subKey, valueName, value, false);
}

std::vector<RegistryValue> Registry::values(quint32 hive, const QString& keyPrefix) const {
    std::vector<RegistryValue> found;
    if (hive != HKEY_LOCAL_MACHINE)
        return found;
    const QString prefix = normalizeKeyPath(keyPrefix);
    const auto under = [&prefix](const QString& key) {
        return prefix.isEmpty() || sameName(key, prefix) ||
               key.startsWith(prefix + u'\\', Qt::CaseInsensitive);
    };
    QString key;
    for (const QString& raw : readLines(m_file)) {
        const RegistryLine line = parseLine(raw);
        if (line.kind == RegistryLine::Kind::Key)
            key = line.name;
        else if (line.kind == RegistryLine::Kind::Value && !key.isEmpty() && under(key))
            found.push_back({key, line.name, line.value});
    }
    return found;
}

bool Registry::write(quint32 hive, const QString& subKey, const QString& valueName, const QString& value,
                     bool replace) const {
    const QString key = normalizeKeyPath(subKey);
    if (hive != HKEY_LOCAL_MACHINE || key.isEmpty() || hasControlCharacter(key))
        return false;
    const QString folder = QFileInfo(m_file).absolutePath();
    if (!QDir().mkpath(folder))
        return false;
    const FileLock lock(m_file + QStringLiteral(".lock"));
    if (!lock.isLocked())
        return false;

    QFile current(m_file);
    if (current.exists() && !current.open(QIODevice::ReadOnly))
        return false; // never replace a file that could not be read
    current.close();
    QStringList lines = readLines(m_file);
    if (lines.size() == 1 && lines.front().isEmpty())
        lines.clear();
    if (!replace) {
        // Any section of the key counts, as for the reader.
        bool inKey = false;
        for (const QString& raw : std::as_const(lines)) {
            const RegistryLine line = parseLine(raw);
            if (line.kind == RegistryLine::Kind::Key)
                inKey = sameName(line.name, key);
            else if (inKey && line.kind == RegistryLine::Kind::Value && sameName(line.name, valueName))
                return true;
        }
    }

    // Find the first section of the key and, in it, the value.
    qsizetype keyLine = -1;
    qsizetype insertAt = -1;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const RegistryLine line = parseLine(lines[i]);
        if (line.kind == RegistryLine::Kind::Key) {
            if (keyLine >= 0)
                break;
            if (sameName(line.name, key)) {
                keyLine = i;
                insertAt = i + 1;
            }
        } else if (keyLine >= 0 && line.kind == RegistryLine::Kind::Value) {
            if (sameName(line.name, valueName)) {
                lines[i] = quoteIfNeeded(line.name, true) + u'=' + quoteIfNeeded(value, false);
                insertAt = -1;
                break;
            }
            insertAt = i + 1;
        }
    }
    const QString entry = quoteIfNeeded(valueName, true) + u'=' + quoteIfNeeded(value, false);
    if (keyLine < 0) {
        if (!lines.isEmpty() && lines.back().isEmpty())
            lines.removeLast();
        if (!lines.isEmpty())
            lines.append(QString());
        lines.append(u'[' + key + u']');
        lines.append(entry);
        lines.append(QString());
    } else if (insertAt >= 0) {
        lines.insert(insertAt, entry);
    }

    QSaveFile out(m_file);
    if (!out.open(QIODevice::WriteOnly))
        return false;
    const QByteArray bytes = lines.join(u'\n').toUtf8();
    if (out.write(bytes) != bytes.size())
        return false;
    return out.commit();
}

} // namespace marvek::platform
