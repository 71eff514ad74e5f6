#include "platform/Machine.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <dirent.h>
#include <sys/stat.h>
#include <tuple>
#include <unistd.h>
#include <utility>

namespace marvek::platform {

namespace {

bool isDriveLetter(QChar letter) {
    const char16_t c = letter.unicode();
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

QString absoluteClean(const QString& path) {
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

QString joinHost(const QString& folder, const QString& name) {
    return folder.endsWith(u'/') ? folder + name : folder + u'/' + name;
}

// True when the entry exists, also as a symlink that leads nowhere.
bool entryExists(const QString& path) {
    struct stat info {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0;
}

bool isAscii(const char* text) {
    for (; *text; ++text) {
        if (static_cast<unsigned char>(*text) >= 0x80)
            return false;
    }
    return true;
}

// The name of an entry of folder equal to name without regard to case, the first in name order when
// there are several; empty when there is none.
QString findWithoutCase(const QString& folder, const QString& name) {
    DIR* dir = ::opendir(QFile::encodeName(folder).constData());
    if (!dir)
        return {};
    // Two ASCII names compare by their bytes; only names with other characters are decoded (one of them
    // may fold to an ASCII letter, as the Kelvin sign does to "k").
    const QByteArray encoded = QFile::encodeName(name);
    const bool asciiName = isAscii(encoded.constData());
    QString found;
    while (const dirent* entry = ::readdir(dir)) {
        const char* entryName = entry->d_name;
        if (qstrcmp(entryName, ".") == 0 || qstrcmp(entryName, "..") == 0)
            continue;
        if (asciiName && isAscii(entryName) && qstricmp(entryName, encoded.constData()) != 0)
            continue;
        const QString candidate = QFile::decodeName(entryName);
        if (candidate.compare(name, Qt::CaseInsensitive) == 0 && (found.isEmpty() || candidate < found))
            found = candidate;
    }
    ::closedir(dir);
    return found;
}

} // namespace

Machine::Machine(QString rootFolder) : m_root(absoluteClean(rootFolder)) {
}

Machine::Choice Machine::defaultChoice(const QString& systemConfig) {
    return choose(qEnvironmentVariable("MARVEK_ROOT"), qEnvironmentVariable("XDG_DATA_HOME"),
                  QDir::homePath(), systemConfig);
}

Machine::Choice Machine::choose(const QString& marvekRoot, const QString& dataHome, const QString& home,
                                const QString& systemConfig) {
    return chooseWith(marvekRoot, dataHome, home,
                      marvekRoot.isEmpty() ? readMachineConfig(systemConfig) : QString());
}

Machine::Choice Machine::chooseWith(const QString& marvekRoot, const QString& dataHome, const QString& home,
                                    const QString& systemRoot) {
    if (!marvekRoot.isEmpty())
        return {marvekRoot, Source::Environment};
    if (!systemRoot.isEmpty())
        return {systemRoot, Source::SystemConfig};
    if (!dataHome.isEmpty() && QDir::isAbsolutePath(dataHome))
        return {dataHome + QStringLiteral("/marvek"), Source::UserDefault};
    return {home + QStringLiteral("/.local/share/marvek"), Source::UserDefault};
}

QString parseMachineConfig(const QByteArray& text) {
    QString root;
    for (const QByteArray& rawLine : text.split('\n')) {
        const QByteArray line = rawLine.trimmed();
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        const qsizetype equals = line.indexOf('=');
        if (equals <= 0)
            return {};
        if (line.left(equals).trimmed() == "root")
            root = QFile::decodeName(line.mid(equals + 1).trimmed());
    }
    if (root.contains(QChar(0)) || !root.startsWith(u'/'))
        return {};
    return QDir::cleanPath(root);
}

QString readMachineConfig(const QString& path) {
    constexpr qint64 MaxConfigSize = 64 * 1024;
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly) || file.size() > MaxConfigSize)
        return {};
    return parseMachineConfig(file.read(MaxConfigSize));
}

QString Machine::drivesFolder() const {
    return m_root + QStringLiteral("/drives");
}

QString Machine::registryFile() const {
    return m_root + QStringLiteral("/registry.ini");
}

QString Machine::machineIniFile() const {
    return m_root + QStringLiteral("/machine.ini");
}

bool Machine::ensureLayout() const {
    return QDir().mkpath(drivesFolder() + QStringLiteral("/c"));
}

bool Machine::mapDrive(QChar letter, const QString& hostFolder) const {
    if (!isDriveLetter(letter) || hostFolder.isEmpty() || !QDir().mkpath(drivesFolder()))
        return false;
    const QString entry = drivesFolder() + u'/' + letter.toLower();
    const QFileInfo old(entry);
    if (old.isSymLink()) {
        if (!QFile::remove(entry))
            return false;
    } else if (old.isDir()) {
        if (!QDir().rmdir(entry)) // refuses a drive folder that holds files
            return false;
    } else if (old.exists()) {
        return false;
    }
    const QByteArray target = QFile::encodeName(absoluteClean(hostFolder));
    return ::symlink(target.constData(), QFile::encodeName(entry).constData()) == 0;
}

bool Machine::driveExists(QChar letter) const {
    return !driveFolder(letter).isEmpty();
}

QString Machine::driveFolder(QChar letter) const {
    if (!isDriveLetter(letter))
        return {};
    const QString entry = drivesFolder() + u'/' + letter.toLower();
    struct stat info {};
    if (::stat(QFile::encodeName(entry).constData(), &info) == 0 && S_ISDIR(info.st_mode))
        return entry;
    if (letter.toLower() == u'z' && !entryExists(entry))
        return QStringLiteral("/");
    return {};
}

QString Machine::toHost(const QString& windowsPath) const {
    if (windowsPath.isEmpty() || windowsPath.contains(QChar(0)))
        return {};
    QString path = windowsPath;
    path.replace(u'/', u'\\');
    if (path.startsWith(QStringLiteral("\\\\")))
        return {}; // UNC and device paths have no place in the prefix

    QString base;
    if (path.size() >= 2 && path[1] == u':' && isDriveLetter(path[0])) {
        base = driveFolder(path[0]);
        path = path.mid(2); // "C:x" is taken from the drive root: there is no per-drive working folder
    } else {
        const QString workingFolder = toWindows(QDir::currentPath());
        if (workingFolder.isEmpty())
            return {};
        if (!path.startsWith(u'\\'))
            return toHost(workingFolder + u'\\' + path);
        base = driveFolder(workingFolder.at(0));
    }
    if (base.isEmpty())
        return {};

    QStringList components;
    for (const QString& component : path.split(u'\\', Qt::SkipEmptyParts)) {
        if (component == u".")
            continue;
        if (component == u"..") {
            if (!components.isEmpty())
                components.removeLast();
            continue;
        }
        // Windows drops the trailing blanks and dots of a name; a name of nothing else vanishes.
        QString name = component;
        while (!name.isEmpty() && (name.endsWith(u' ') || name.endsWith(u'.')))
            name.chop(1);
        if (!name.isEmpty())
            components.append(name);
    }

    QString host = base;
    // The walk below checks each component in turn. Two shortcuts give the same result with fewer calls:
    // a path that exists as written is returned as it is, and when its folder exists as written only the
    // last component is looked up.
    const QString written = components.isEmpty() ? base : joinHost(base, components.join(u'/'));
    if (entryExists(written))
        return written;
    if (components.size() > 1) {
        const QString folder = joinHost(base, components.sliced(0, components.size() - 1).join(u'/'));
        if (entryExists(folder)) {
            host = folder;
            components = components.sliced(components.size() - 1);
        }
    }
    bool existing = true;
    for (const QString& component : std::as_const(components)) {
        const QString exact = joinHost(host, component);
        if (existing && !entryExists(exact)) {
            const QString other = findWithoutCase(host, component);
            if (!other.isEmpty()) {
                host = joinHost(host, other);
                continue;
            }
            existing = false;
        }
        host = exact;
    }
    return host;
}

QString Machine::toWindows(const QString& hostPath) const {
    if (hostPath.isEmpty())
        return {};
    const QString path = absoluteClean(hostPath);

    // The most specific drive whose folder (as written, or where its symlink leads) holds the path.
    auto driveOf = [this](const QString& candidate) -> std::pair<QChar, qsizetype> {
        QChar best;
        qsizetype bestLength = -1;
        for (char16_t c = u'a'; c <= u'z'; ++c) {
            const QString entry = drivesFolder() + u'/' + QChar(c);
            const QFileInfo info(entry);
            if (!info.isDir())
                continue;
            for (const QString& folder : {entry, info.canonicalFilePath()}) {
                if (folder.isEmpty() || folder.size() <= bestLength)
                    continue;
                const bool inside = candidate == folder || folder == u"/" ||
                                    (candidate.startsWith(folder) && candidate.at(folder.size()) == u'/');
                if (inside) {
                    best = QChar(c);
                    bestLength = folder.size();
                }
            }
        }
        return {best, bestLength};
    };

    QString resolved = path;
    auto [letter, length] = driveOf(path);
    if (length < 0) {
        const QString canonical = QFileInfo(path).canonicalFilePath();
        if (!canonical.isEmpty() && canonical != path) {
            std::tie(letter, length) = driveOf(canonical);
            resolved = canonical;
        }
    }
    QString rest;
    if (length >= 0) {
        rest = length == 1 ? resolved : resolved.mid(length); // a drive mapped to "/" keeps the whole path
    } else {
        if (driveFolder(u'z') != u"/")
            return {}; // Z: is mapped elsewhere: the path has no Windows name
        letter = u'z';
        rest = resolved;
    }
    rest.replace(u'/', u'\\');
    if (!rest.startsWith(u'\\'))
        rest.prepend(u'\\');
    return letter.toUpper() + u':' + rest;
}

} // namespace marvek::platform
