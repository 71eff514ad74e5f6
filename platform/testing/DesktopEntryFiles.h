#pragma once

// Reading desktop entries the way a desktop does, for the tests of the entries the suite publishes.

#include <QFile>
#include <QMap>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QStringList>
#include <optional>

namespace marvek::testing {

// The keys of a desktop entry, with the string escapes undone.
inline QMap<QString, QString> readDesktopEntryKeys(const QString& path) {
    QFile file(path);
    const QStringList lines = file.open(QIODevice::ReadOnly)
                                  ? QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts)
                                  : QStringList();
    QMap<QString, QString> result;
    for (const QString& line : lines) {
        const qsizetype equals = line.indexOf(u'=');
        QString value;
        for (qsizetype i = equals + 1; equals > 0 && i < line.size(); ++i) {
            const QChar c = line[i] == u'\\' && i + 1 < line.size() ? line[++i] : QChar();
            value += c.isNull() ? line[i] : c == u's' ? QChar(u' ') : c == u'n' ? QChar(u'\n') : c;
        }
        if (equals > 0)
            result.insert(line.left(equals), value);
    }
    return result;
}

// Exec's arguments by the desktop-entry rules: blanks separate, double quotes group, inside them a
// backslash takes the next character literally; "%%" is "%".
inline QStringList desktopEntryExecArguments(const QString& exec) {
    QStringList arguments;
    QString current;
    bool inQuotes = false;
    bool any = false;
    for (qsizetype i = 0; i < exec.size(); ++i) {
        const QChar c = exec[i];
        if (c == u'%' && i + 1 < exec.size() && exec[i + 1] == u'%')
            ++i;
        if (inQuotes) {
            if (c == u'\\' && i + 1 < exec.size())
                current += exec[++i];
            else if (c == u'"')
                inQuotes = false;
            else
                current += c;
        } else if (c == u' ') {
            if (any)
                arguments << current;
            current.clear();
            any = false;
        } else if (c == u'"') {
            inQuotes = any = true;
        } else {
            current += c;
            any = true;
        }
    }
    if (any)
        arguments << current;
    return arguments;
}

// desktop-file-validate's complaint about a file: empty when it passes, nothing when the validator is not
// installed.
inline std::optional<QString> desktopFileValidation(const QString& path) {
    const QString validator = QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate"));
    if (validator.isEmpty())
        return std::nullopt;
    QProcess process;
    process.start(validator, {path});
    process.waitForFinished(30000);
    if (process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0)
        return QString();
    return QString::fromUtf8(process.readAllStandardOutput() + process.readAllStandardError());
}

} // namespace marvek::testing
