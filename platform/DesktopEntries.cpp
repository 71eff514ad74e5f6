#include "platform/DesktopEntries.h"

#include "platform/DesktopEntryText.h"
#include "platform/Files.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace marvek::platform {

namespace {

constexpr auto EntryPrefix = "marvek-";
constexpr auto MenuName = "marvek-service-manuals";
constexpr auto Category = "X-Marvek-ServiceManuals";
constexpr auto LinkKey = "X-Marvek-Link=";

// The menu folder's files and the icon (a book with a wrench): the same files the runtime package
// installs for every user (packaging/desktop, built in as resources).
QByteArray desktopFile(const QString& suffix) {
    QFile file(QStringLiteral(":/marvek/desktop/") + QLatin1String(MenuName) + suffix);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString canonicalLinkPath(const QString& linkHostPath) {
    const QFileInfo link(linkHostPath);
    const QString folder = QFileInfo(link.absolutePath()).canonicalFilePath();
    return folder.isEmpty() ? QString() : folder + u'/' + link.fileName();
}

bool isUnder(const QString& path, const QString& folder, bool anyDepth) {
    if (folder.isEmpty() || !path.startsWith(folder + u'/'))
        return false;
    return anyDepth || !path.mid(folder.size() + 1).contains(u'/');
}

QString linkDisplayName(const QString& linkHostPath) {
    QString name = QFileInfo(linkHostPath).fileName();
    if (name.endsWith(QStringLiteral(".lnk"), Qt::CaseInsensitive))
        name.chop(4);
    return name;
}

bool writeText(const QString& path, const QByteArray& bytes, QFileDevice::Permissions permissions) {
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return false;
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() &&
           file.setPermissions(permissions) && file.commit();
}

bool writeIfMissing(const QString& path, const QByteArray& bytes) {
    if (QFileInfo::exists(path))
        return true;
    if (bytes.isEmpty())
        return false;
    return writeText(path, bytes,
                     QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup |
                         QFileDevice::ReadOther);
}

// The link an entry of the suite names (a desktop-entry value unescaped); empty when it names none.
QString linkOfEntry(const QString& entryFile) {
    QFile file(entryFile);
    if (file.size() > 65536 || !file.open(QIODevice::ReadOnly))
        return {};
    while (!file.atEnd()) {
        const QByteArray line = file.readLine(65536).trimmed();
        if (!line.startsWith(LinkKey))
            continue;
        const QString value = QString::fromUtf8(line.mid(qsizetype(qstrlen(LinkKey))));
        QString text;
        for (qsizetype i = 0; i < value.size(); ++i) {
            if (value[i] == u'\\' && i + 1 < value.size()) {
                const QChar next = value[++i];
                text.append(next == u's'   ? QChar(u' ')
                            : next == u'n' ? QChar(u'\n')
                            : next == u't' ? QChar(u'\t')
                            : next == u'r' ? QChar(u'\r')
                                           : next);
            } else {
                text.append(value[i]);
            }
        }
        return text;
    }
    return {};
}

QStringList suiteEntries(const QString& folder) {
    QStringList paths;
    const QStringList names =
        QDir(folder).entryList({QLatin1String(EntryPrefix) + QStringLiteral("*.desktop")}, QDir::Files);
    for (const QString& name : names)
        paths << folder + u'/' + name;
    return paths;
}

bool publishMenuFolder() {
    const bool icon = writeIfMissing(DesktopEntries::iconFile(), desktopFile(QStringLiteral(".svg")));
    return writeIfMissing(DesktopEntries::directoryFile(), desktopFile(QStringLiteral(".directory"))) &&
           writeIfMissing(DesktopEntries::menuFile(), desktopFile(QStringLiteral(".menu"))) && icon;
}

void withdrawMenuFolderWhenEmpty() {
    for (const QString& entry : suiteEntries(DesktopEntries::applicationsFolder())) {
        if (!linkOfEntry(entry).isEmpty())
            return;
    }
    QFile::remove(DesktopEntries::menuFile());
    QFile::remove(DesktopEntries::directoryFile());
}

} // namespace

DesktopEntries::DesktopEntries(const Machine& machine) : m_machine(machine) {
}

QString DesktopEntries::applicationsFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/applications");
}

QString DesktopEntries::desktopFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
}

QString DesktopEntries::menuFile() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/menus/applications-merged/") + QLatin1String(MenuName) + QStringLiteral(".menu");
}

QString DesktopEntries::directoryFile() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/desktop-directories/") + QLatin1String(MenuName) + QStringLiteral(".directory");
}

QString DesktopEntries::iconFile() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/icons/hicolor/scalable/apps/") + QLatin1String(MenuName) + QStringLiteral(".svg");
}

QString DesktopEntries::machineToolProgram() {
    const QString configured = qEnvironmentVariable("MARVEK_MACHINE_TOOL");
    if (!configured.isEmpty())
        return configured;
    const QString beside =
        QFileInfo(QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath()).absolutePath() +
        QStringLiteral("/marvek-machine");
    if (QFileInfo(beside).isExecutable())
        return beside;
    const QString onPath = QStandardPaths::findExecutable(QStringLiteral("marvek-machine"));
    return onPath.isEmpty() ? QStringLiteral("marvek-machine") : onPath;
}

QString DesktopEntries::windowsCommandLine(const ShortcutProperties& props) {
    QString line = u'"' + props.targetPath + u'"';
    if (!props.arguments.isEmpty())
        line += u' ' + props.arguments;
    return line;
}

DesktopEntries::Place DesktopEntries::placeOf(const QString& linkHostPath) const {
    const QString link = canonicalLinkPath(linkHostPath);
    if (link.isEmpty())
        return Place::None;
    const Files files(m_machine);
    const auto folder = [&](int csidl) {
        return QFileInfo(m_machine.toHost(files.specialFolder(csidl))).canonicalFilePath();
    };
    if (isUnder(link, folder(CSIDL_PROGRAMS), true) || isUnder(link, folder(CSIDL_COMMON_PROGRAMS), true))
        return Place::Menu;
    if (isUnder(link, folder(CSIDL_DESKTOPDIRECTORY), false) ||
        isUnder(link, folder(CSIDL_COMMON_DESKTOP), false))
        return Place::Desktop;
    return Place::None;
}

QString DesktopEntries::entryPath(const QString& linkHostPath) const {
    const Place place = placeOf(linkHostPath);
    if (place == Place::None)
        return {};
    const QString link = canonicalLinkPath(linkHostPath);
    // A readable part (ASCII letters and digits of the link's name) and the link path's hash.
    QString readable;
    for (const QChar c : linkDisplayName(link)) {
        if (readable.size() < 40 && c.unicode() < 0x80 && (c.isLetterOrNumber() || c == u'-' || c == u'_'))
            readable.append(c);
    }
    const QByteArray hash =
        QCryptographicHash::hash(link.toUtf8(), QCryptographicHash::Sha1).toHex().left(12);
    const QString name = QLatin1String(EntryPrefix) + (readable.isEmpty() ? QString() : readable + u'-') +
                         QString::fromLatin1(hash) + QStringLiteral(".desktop");
    return (place == Place::Menu ? applicationsFolder() : desktopFolder()) + u'/' + name;
}

bool DesktopEntries::publish(const QString& linkHostPath, const ShortcutProperties& props) const {
    const QString path = entryPath(linkHostPath);
    if (path.isEmpty())
        return true;
    if (props.targetPath.isEmpty())
        return withdraw(linkHostPath);
    const bool menu = placeOf(linkHostPath) == Place::Menu;

    QStringList exec{machineToolProgram(), QStringLiteral("--root"),
                     QFileInfo(m_machine.root()).absoluteFilePath(), QStringLiteral("run")};
    if (!props.workingDirectory.isEmpty())
        exec << QStringLiteral("--folder") << props.workingDirectory;
    exec << windowsCommandLine(props);

    QStringList lines{QStringLiteral("[Desktop Entry]"), QStringLiteral("Type=Application"),
                      QStringLiteral("Version=1.0"),
                      QStringLiteral("Name=") + desktopEntryValue(linkDisplayName(linkHostPath))};
    if (!props.description.isEmpty())
        lines << QStringLiteral("Comment=") + desktopEntryValue(props.description);
    lines << QStringLiteral("Exec=") + desktopEntryValue(desktopEntryExec(exec))
          << QStringLiteral("Icon=") + QLatin1String(MenuName) << QStringLiteral("Terminal=false");
    if (menu)
        lines << QStringLiteral("Categories=") + QLatin1String(Category) + u';';
    lines << QLatin1String(LinkKey) + desktopEntryValue(canonicalLinkPath(linkHostPath));
    const QByteArray bytes = (lines.join(u'\n') + u'\n').toUtf8();

    bool ok = menu ? publishMenuFolder() : writeIfMissing(iconFile(), desktopFile(QStringLiteral(".svg")));
    // A launcher on the desktop must be executable before a desktop runs it.
    const QFileDevice::Permissions permissions =
        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther |
        (menu ? QFileDevice::Permissions()
              : QFileDevice::ExeOwner | QFileDevice::ExeGroup | QFileDevice::ExeOther);
    return writeText(path, bytes, permissions) && ok;
}

bool DesktopEntries::withdraw(const QString& linkHostPath) const {
    const QString path = entryPath(linkHostPath);
    if (path.isEmpty() || !QFileInfo::exists(path))
        return true;
    const bool removed = QFile::remove(path);
    withdrawMenuFolderWhenEmpty();
    return removed;
}

void DesktopEntries::sweep() {
    bool menuChanged = false;
    for (const QString& folder : {applicationsFolder(), desktopFolder()}) {
        for (const QString& entry : suiteEntries(folder)) {
            const QString link = linkOfEntry(entry);
            if (!link.isEmpty() && !QFileInfo::exists(link) && QFile::remove(entry))
                menuChanged = menuChanged || folder == applicationsFolder();
        }
    }
    if (menuChanged)
        withdrawMenuFolderWhenEmpty();
}

} // namespace marvek::platform
