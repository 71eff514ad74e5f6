#include "platform/Shortcut.h"

#include "platform/Machine.h"
#include "platform/Processes.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStringList>

namespace marvek::platform {

namespace {

// A desktop-entry string value: backslash and control characters escaped, a leading blank kept.
QString escapeValue(const QString& text) {
    QString result;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'\\')
            result.append(QStringLiteral("\\\\"));
        else if (c == u'\n')
            result.append(QStringLiteral("\\n"));
        else if (c == u'\r')
            result.append(QStringLiteral("\\r"));
        else if (c == u'\t')
            result.append(QStringLiteral("\\t"));
        else if (c == u' ' && i == 0)
            result.append(QStringLiteral("\\s"));
        else if (c.unicode() >= 0x20)
            result.append(c);
    }
    return result;
}

// One argument of Exec: quoted when it holds a reserved character, "%" doubled.
QString execArgument(const QString& argument) {
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    bool needsQuotes = argument.isEmpty();
    for (const QChar c : argument)
        needsQuotes = needsQuotes || reserved.contains(c);
    QString result;
    if (needsQuotes) {
        result.append(u'"');
        for (const QChar c : argument) {
            if (c == u'"' || c == u'`' || c == u'$' || c == u'\\')
                result.append(u'\\');
            result.append(c);
        }
        result.append(u'"');
    } else {
        result = argument;
    }
    return result.replace(u'%', QStringLiteral("%%"));
}

bool isDrivePath(const QString& text) {
    return text.size() >= 3 && text[0].isLetter() && text[0].unicode() < 0x80 && text[1] == u':' &&
           (text[2] == u'\\' || text[2] == u'/');
}

QString hostOrAsGiven(const Machine& machine, const QString& path) {
    const QString host = isDrivePath(path) ? machine.toHost(path) : QString();
    return host.isEmpty() ? path : host;
}

QString execLine(const Machine& machine, const ShortcutProperties& props) {
    const QString target = hostOrAsGiven(machine, props.targetPath);
    const QString suffix = QFileInfo(props.targetPath).suffix().toLower();
    QStringList command;
    if (suffix == u"exe" || suffix == u"com")
        command << target;
    else if (suffix == u"bat" || suffix == u"cmd")
        command << QStringLiteral("/bin/sh") << target;
    else
        command << QStringLiteral("xdg-open") << target;
    if (!props.arguments.isEmpty()) {
        for (const QString& argument : splitWindowsCommandLine(props.arguments))
            command << hostOrAsGiven(machine, argument);
    }
    QStringList quoted;
    for (const QString& part : std::as_const(command))
        quoted << execArgument(part);
    return quoted.join(u' ');
}

} // namespace

bool writeShortcut(const Machine& machine, const QString& linkHostPath, const ShortcutProperties& props) {
    QString name = QFileInfo(linkHostPath).fileName();
    if (name.endsWith(QStringLiteral(".lnk"), Qt::CaseInsensitive))
        name.chop(4);

    QStringList lines{QStringLiteral("[Desktop Entry]"), QStringLiteral("Type=Application"),
                      QStringLiteral("Name=") + escapeValue(name)};
    if (!props.targetPath.isEmpty())
        lines << QStringLiteral("Exec=") + escapeValue(execLine(machine, props));
    if (!props.workingDirectory.isEmpty())
        lines << QStringLiteral("Path=") + escapeValue(hostOrAsGiven(machine, props.workingDirectory));
    if (!props.description.isEmpty())
        lines << QStringLiteral("Comment=") + escapeValue(props.description);
    if (!props.iconLocation.isEmpty()) {
        QString icon = props.iconLocation;
        icon.remove(QRegularExpression(QStringLiteral(",\\s*-?\\d+\\s*$"))); // the icon index
        lines << QStringLiteral("Icon=") + escapeValue(hostOrAsGiven(machine, icon));
    }
    lines << QStringLiteral("Terminal=false");

    const std::pair<const char*, const QString*> windowsProperties[] = {
        {"TargetPath", &props.targetPath},
        {"Arguments", &props.arguments},
        {"WorkingDirectory", &props.workingDirectory},
        {"Description", &props.description},
        {"IconLocation", &props.iconLocation},
        {"Hotkey", &props.hotkey},
    };
    for (const auto& [key, value] : windowsProperties) {
        if (!value->isEmpty())
            lines << QStringLiteral("X-Windows-%1=").arg(QLatin1String(key)) + escapeValue(*value);
    }
    if (props.windowStyle != 0)
        lines << QStringLiteral("X-Windows-WindowStyle=%1").arg(props.windowStyle);

    QSaveFile file(linkHostPath);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const QByteArray bytes = (lines.join(u'\n') + u'\n').toUtf8();
    return file.write(bytes) == bytes.size() && file.commit();
}

} // namespace marvek::platform
