#include "platform/Shortcut.h"

#include "platform/DesktopEntries.h"
#include "platform/DesktopEntryText.h"
#include "platform/Machine.h"
#include "platform/Processes.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStringList>

namespace marvek::platform {

namespace {

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
    return desktopEntryExec(command);
}

} // namespace

bool writeShortcut(const Machine& machine, const QString& linkHostPath, const ShortcutProperties& props) {
    QString name = QFileInfo(linkHostPath).fileName();
    if (name.endsWith(QStringLiteral(".lnk"), Qt::CaseInsensitive))
        name.chop(4);

    QStringList lines{QStringLiteral("[Desktop Entry]"), QStringLiteral("Type=Application"),
                      QStringLiteral("Name=") + desktopEntryValue(name)};
    if (!props.targetPath.isEmpty())
        lines << QStringLiteral("Exec=") + desktopEntryValue(execLine(machine, props));
    if (!props.workingDirectory.isEmpty())
        lines << QStringLiteral("Path=") + desktopEntryValue(hostOrAsGiven(machine, props.workingDirectory));
    if (!props.description.isEmpty())
        lines << QStringLiteral("Comment=") + desktopEntryValue(props.description);
    if (!props.iconLocation.isEmpty()) {
        QString icon = props.iconLocation;
        icon.remove(QRegularExpression(QStringLiteral(",\\s*-?\\d+\\s*$"))); // the icon index
        lines << QStringLiteral("Icon=") + desktopEntryValue(hostOrAsGiven(machine, icon));
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
            lines << QStringLiteral("X-Windows-%1=").arg(QLatin1String(key)) + desktopEntryValue(*value);
    }
    if (props.windowStyle != 0)
        lines << QStringLiteral("X-Windows-WindowStyle=%1").arg(props.windowStyle);

    QSaveFile file(linkHostPath);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const QByteArray bytes = (lines.join(u'\n') + u'\n').toUtf8();
    if (file.write(bytes) != bytes.size() || !file.commit())
        return false;
    DesktopEntries(machine).publish(linkHostPath, props);
    return true;
}

bool removeShortcut(const Machine& machine, const QString& linkHostPath) {
    const bool removed = !QFileInfo::exists(linkHostPath) || QFile::remove(linkHostPath);
    if (removed)
        DesktopEntries(machine).withdraw(linkHostPath);
    return removed;
}

} // namespace marvek::platform
