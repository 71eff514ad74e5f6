#include "platform/MediaDrives.h"

#include "platform/FileLock.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QSaveFile>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace marvek::platform {

namespace {

// mountinfo is a few kilobytes and media.ini a few lines; what lies past these sizes is not read.
constexpr qint64 MaxMountInfoBytes = 4 * 1024 * 1024;
constexpr qint64 MaxRecordBytes = 64 * 1024;

// The letters a medium may get: C: is the system drive, Z: the name of every other host path.
constexpr char16_t FirstMediumLetter = u'd';
constexpr char16_t LastMediumLetter = u'y';

// The mount point field decoded: the kernel writes a blank, tab, line feed and backslash as "\ooo".
QString decodeMountField(QByteArrayView field) {
    const auto isOctal = [&](qsizetype at) {
        return field[at] >= '0' && field[at] <= '7';
    };
    QByteArray decoded;
    decoded.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() && isOctal(i + 1) && isOctal(i + 2) && isOctal(i + 3)) {
            decoded.append(static_cast<char>(((field[i + 1] - '0') << 6) | ((field[i + 2] - '0') << 3) |
                                             (field[i + 3] - '0')));
            i += 3;
        } else {
            decoded.append(field[i]);
        }
    }
    return QFile::decodeName(decoded);
}

bool holds(const QString& folder, const QString& path) {
    return path == folder || folder == u"/" || (path.startsWith(folder) && path.at(folder.size()) == u'/');
}

QString parentOf(const QString& folder) {
    const qsizetype slash = folder.lastIndexOf(u'/');
    return slash <= 0 ? QStringLiteral("/") : folder.left(slash);
}

// The files by which a folder is known as a medium's root: the Windows autostart file and the names
// the freedesktop autostart rules look for after a mount.
bool holdsAutostartFile(const QString& folder) {
    static const QStringList names = {QStringLiteral("autorun.inf"), QStringLiteral(".autorun"),
                                      QStringLiteral("autorun"), QStringLiteral("autorun.sh")};
    // Name filters compare without regard to case: a CD without long names shows "AUTORUN.INF".
    return !QDir(folder).entryList(names, QDir::Files | QDir::Hidden | QDir::System).isEmpty();
}

bool isRemovableMediumMount(const MountEntry& mount) {
    static const QStringList mediumTypes = {QStringLiteral("iso9660"), QStringLiteral("udf"),
                                            QStringLiteral("fuse.fuseiso"), QStringLiteral("fuseiso")};
    return mediumTypes.contains(mount.type) || mount.mountPoint.startsWith(QStringLiteral("/media/")) ||
           mount.mountPoint.startsWith(QStringLiteral("/run/media/"));
}

// A Windows name that only the Z: fallback gives (or none, when Z: is mapped elsewhere).
bool isFallbackName(const Machine& machine, const QString& name) {
    return name.isEmpty() || (name.startsWith(u'Z') && machine.driveFolder(u'z') == u"/");
}

bool entryExists(const QString& path) {
    struct stat info {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0;
}

// The folder a drive entry's symlink names, as written; empty for anything else.
QString linkTarget(const QString& entry) {
    const QFileInfo info(entry);
    return info.isSymLink() ? QDir::cleanPath(info.symLinkTarget()) : QString();
}

// media.ini: "[Media]", then one line "<letter>=<medium root>" per letter given to a medium.
using Records = QMap<QChar, QString>;

Records readRecords(const QString& file) {
    Records records;
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly))
        return records;
    for (const QByteArray& line : in.read(MaxRecordBytes).split('\n')) {
        const QString text = QString::fromUtf8(line).trimmed();
        if (text.size() < 3 || text.at(1) != u'=')
            continue;
        const QChar letter = text.at(0).toLower();
        if (letter.unicode() >= FirstMediumLetter && letter.unicode() <= LastMediumLetter)
            records.insert(letter, text.mid(2));
    }
    return records;
}

bool writeRecords(const QString& file, const Records& records) {
    QByteArray text = "[Media]\n";
    for (auto it = records.cbegin(); it != records.cend(); ++it)
        text += QString(it.key().toUpper() + u'=' + it.value()).toUtf8() + '\n';
    QSaveFile out(file);
    return out.open(QIODevice::WriteOnly) && out.write(text) == text.size() && out.commit();
}

} // namespace

QList<MountEntry> parseMountInfo(QByteArrayView text) {
    QList<MountEntry> mounts;
    qsizetype start = 0;
    while (start < text.size()) {
        qsizetype end = text.indexOf('\n', start);
        if (end < 0)
            end = text.size();
        // id parent major:minor root mount-point options [optional fields...] - type source options
        QList<QByteArray> fields = text.sliced(start, end - start).toByteArray().split(' ');
        fields.removeAll(QByteArray());
        start = end + 1;
        qsizetype separator = 6;
        while (separator < fields.size() && fields[separator] != "-")
            ++separator;
        if (separator + 1 >= fields.size())
            continue;
        MountEntry mount{decodeMountField(fields[4]), decodeMountField(fields[separator + 1])};
        if (mount.mountPoint.startsWith(u'/'))
            mounts.append(std::move(mount));
    }
    return mounts;
}

MediaDrives::MediaDrives(const Machine& machine, QList<MountEntry> mounts, QString homeFolder)
    : m_machine(machine), m_mounts(std::move(mounts)), m_home(std::move(homeFolder)) {
}

MediaDrives MediaDrives::forThisProcess(const Machine& machine) {
    QFile mountInfo(QStringLiteral("/proc/self/mountinfo"));
    QByteArray text;
    if (mountInfo.open(QIODevice::ReadOnly))
        text = mountInfo.read(MaxMountInfoBytes);
    const QString home = QFileInfo(QDir::homePath()).canonicalFilePath();
    return MediaDrives(machine, parseMountInfo(text), home.isEmpty() ? QDir::homePath() : home);
}

QString MediaDrives::recordFile() const {
    return m_machine.root() + QStringLiteral("/media.ini");
}

QString MediaDrives::mediumRoot(const QString& hostFolder) const {
    const QString folder = QFileInfo(hostFolder).canonicalFilePath();
    if (folder.isEmpty())
        return {};
    // The file system holding the folder: the most specific mount point, the later of equal ones (a
    // mount over another hides it).
    const MountEntry* mount = nullptr;
    for (const MountEntry& candidate : m_mounts) {
        if (holds(candidate.mountPoint, folder) &&
            (!mount || candidate.mountPoint.size() >= mount->mountPoint.size()))
            mount = &candidate;
    }
    const QString top = mount ? mount->mountPoint : QStringLiteral("/");
    const auto mayBeMedium = [this](const QString& root) {
        return root != u"/" && root != m_home;
    };
    for (QString at = folder;; at = parentOf(at)) {
        if (mayBeMedium(at) && holdsAutostartFile(at))
            return at;
        if (at == top || at == u"/")
            break;
    }
    if (mount && mayBeMedium(top) && isRemovableMediumMount(*mount))
        return top;
    return {};
}

QChar MediaDrives::assignLetter(const QString& root) const {
    if (root.isEmpty() || root.contains(u'\n') || root.contains(u'\r') ||
        !QDir().mkpath(m_machine.drivesFolder()))
        return {};
    const FileLock lock(recordFile() + QStringLiteral(".lock"));
    if (!lock.isLocked())
        return {};
    // Another program started from the medium may have given it a letter meanwhile.
    if (const QString name = m_machine.toWindows(root); !isFallbackName(m_machine, name))
        return name.at(0);

    const auto entry = [this](QChar letter) {
        return m_machine.drivesFolder() + u'/' + letter;
    };
    Records records = readRecords(recordFile());
    // A record whose drive entry no longer leads to its medium (removed, or mapped elsewhere since) is
    // gone: the entry is what holds a letter.
    records.removeIf([&](const auto& record) { return linkTarget(entry(record.key())) != record.value(); });

    // A recorded drive that still leads to this root was found above, by its name.
    QChar letter;
    for (char16_t c = FirstMediumLetter; letter.isNull() && c <= LastMediumLetter; ++c) {
        if (!entryExists(entry(QChar(c))))
            letter = QChar(c);
    }
    // Every letter taken: the first one of a medium that is not there now.
    for (const auto& [recorded, recordedRoot] : records.asKeyValueRange()) {
        if (letter.isNull() && !QFileInfo(recordedRoot).isDir())
            letter = recorded;
    }
    if (letter.isNull() || !m_machine.mapDrive(letter, root))
        return {};
    records.insert(letter, root);
    writeRecords(recordFile(), records); // the drive entry alone already gives the letter
    return letter.toUpper();
}

QString MediaDrives::windowsName(const QString& hostFolder) const {
    const QString name = m_machine.toWindows(hostFolder);
    if (!isFallbackName(m_machine, name))
        return name;
    const QString root = mediumRoot(hostFolder);
    if (root.isEmpty() || assignLetter(root).isNull())
        return name;
    return m_machine.toWindows(hostFolder);
}

QString programFolder(const Machine& machine) {
    const QFileInfo program(QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath());
    return MediaDrives::forThisProcess(machine).windowsName(program.absolutePath());
}

} // namespace marvek::platform
