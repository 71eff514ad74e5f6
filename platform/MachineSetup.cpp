#include "platform/MachineSetup.h"

#include "platform/FileLock.h"
#include "platform/Files.h"
#include "platform/MachineInfo.h"
#include "platform/PrivateProfile.h"
#include "platform/Registry.h"
#include "platform/TextCodec.h"

#include <QByteArrayList>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <algorithm>

namespace marvek::platform {

namespace {

constexpr auto WindowsCurrentVersionKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
constexpr auto ProgramFilesFolder = "C:\\Program Files";
constexpr auto CommonFilesFolder = "C:\\Program Files\\Common Files";

// The folders of the registry values: they must exist wherever the values point.
constexpr const char* FolderValues[] = {"ProgramFilesDir", "CommonFilesDir"};
constexpr int SpecialFolders[] = {CSIDL_PROGRAMS, CSIDL_DESKTOPDIRECTORY, CSIDL_COMMON_PROGRAMS,
                                  CSIDL_COMMON_DESKTOP};

QByteArray trimmedLine(const QByteArray& line) {
    return line.trimmed();
}

bool sameName(const QByteArray& a, const QString& b) {
    return QString::fromUtf8(a).compare(b, Qt::CaseInsensitive) == 0;
}

// The section name of a "[name]" line, else a null array.
QByteArray sectionName(const QByteArray& line) {
    const QByteArray text = trimmedLine(line);
    if (!text.startsWith('['))
        return {};
    const qsizetype close = text.indexOf(']');
    return close < 0 ? text.mid(1).trimmed() : text.mid(1, close - 1).trimmed();
}

// The key of a "key=value" line (not a comment), else a null array.
QByteArray keyName(const QByteArray& line) {
    const QByteArray text = trimmedLine(line);
    if (text.isEmpty() || text.startsWith(';') || text.startsWith('['))
        return {};
    const qsizetype equals = text.indexOf('=');
    return equals < 0 ? QByteArray() : text.left(equals).trimmed();
}

QString hexLangId(quint16 id) {
    return QStringLiteral("%1").arg(id, 4, 16, QLatin1Char('0')).toUpper();
}

} // namespace

bool writeIniValues(const QString& file, const std::vector<IniValue>& values, bool replace) {
    if (!QDir().mkpath(QFileInfo(file).absolutePath()))
        return false;
    const FileLock lock(file + QStringLiteral(".lock"));
    if (!lock.isLocked())
        return false;
    QByteArray content;
    {
        QFile in(file);
        if (in.exists()) {
            if (!in.open(QIODevice::ReadOnly))
                return false;
            content = in.readAll();
        }
    }
    const QByteArray lineEnd = content.contains("\r\n") ? QByteArray("\r\n") : QByteArray("\n");
    QByteArrayList lines = content.split('\n');
    if (!lines.isEmpty() && lines.back().isEmpty())
        lines.removeLast(); // the text after the last line end
    for (QByteArray& line : lines) {
        if (line.endsWith('\r'))
            line.chop(1);
    }

    bool changed = false;
    for (const IniValue& entry : values) {
        const QByteArray newLine = entry.key.toUtf8() + '=' + entry.value.toUtf8();
        qsizetype sectionLine = -1;
        qsizetype lastLine = -1; // the section's last non-blank line
        qsizetype keyLine = -1;
        for (qsizetype i = 0; i < lines.size(); ++i) {
            const QByteArray section = sectionName(lines[i]);
            if (!section.isNull()) {
                if (sectionLine >= 0)
                    break; // only the first section of the name is read
                if (sameName(section, entry.section))
                    sectionLine = lastLine = i;
                continue;
            }
            if (sectionLine < 0)
                continue;
            if (!trimmedLine(lines[i]).isEmpty())
                lastLine = i;
            const QByteArray key = keyName(lines[i]);
            if (!key.isNull() && keyLine < 0 && sameName(key, entry.key))
                keyLine = i;
        }
        if (keyLine >= 0) {
            if (replace && lines[keyLine] != newLine) {
                lines[keyLine] = newLine;
                changed = true;
            }
            continue;
        }
        if (sectionLine >= 0) {
            lines.insert(lastLine + 1, newLine);
        } else {
            if (!lines.isEmpty() && !trimmedLine(lines.back()).isEmpty())
                lines.append(QByteArray());
            lines.append('[' + entry.section.toUtf8() + ']');
            lines.append(newLine);
        }
        changed = true;
    }
    if (!changed)
        return true;

    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly))
        return false;
    const QByteArray bytes = lines.join(lineEnd) + lineEnd;
    return out.write(bytes) == bytes.size() && out.commit();
}

MachineSetup::MachineSetup(const Machine& machine) : m_machine(machine) {
}

std::vector<IniValue> MachineSetup::registryDefaults() {
    const QString key = QLatin1String(WindowsCurrentVersionKey);
    return {
        {key, QStringLiteral("ProgramFilesDir"), QLatin1String(ProgramFilesFolder)},
        {key, QStringLiteral("CommonFilesDir"), QLatin1String(CommonFilesFolder)},
    };
}

std::vector<IniValue> MachineSetup::machineIniDefaults() const {
    // MachineInfo reads what machine.ini has and takes the rest from the host's locale: exactly the
    // values to keep, so that the machine no longer changes with the locale of whoever starts a program.
    const MachineInfo info = MachineInfo::readOnce(m_machine);
    const QString locale = QStringLiteral("Locale");
    return {
        {locale, QStringLiteral("UserDefaultLangID"), hexLangId(info.userDefaultLangId())},
        {locale, QStringLiteral("SystemDefaultLangID"), hexLangId(info.systemDefaultLangId())},
        {locale, QStringLiteral("ACP"), QString::number(info.ansiCodePage())},
        {QStringLiteral("Environment"), QStringLiteral("ProgramFiles"), QLatin1String(ProgramFilesFolder)},
    };
}

bool MachineSetup::isComplete() const {
    if (!QFileInfo(m_machine.drivesFolder() + QStringLiteral("/c")).isDir())
        return false;
    // The registry file read once for every default.
    const std::vector<RegistryValue> values = Registry(m_machine).values(HKEY_LOCAL_MACHINE, QString());
    for (const IniValue& entry : registryDefaults()) {
        const bool found = std::any_of(values.begin(), values.end(), [&entry](const RegistryValue& value) {
            return value.key.compare(entry.section, Qt::CaseInsensitive) == 0 &&
                   value.name.compare(entry.key, Qt::CaseInsensitive) == 0;
        });
        if (!found)
            return false;
    }
    // A key that is there, even empty, counts: the reader's default stands out by a marker.
    const QString marker = QStringLiteral("\x01missing");
    const PrivateProfileFile machineIni(m_machine.machineIniFile(), CodePageUtf8);
    for (const IniValue& entry : machineIniDefaults()) {
        QString buffer;
        const int length = machineIni.getString(entry.section, entry.key, marker, buffer, 256);
        if (buffer.left(length) == marker)
            return false;
    }
    return true;
}

bool MachineSetup::ensureFolders() const {
    bool ok = QDir().mkpath(m_machine.drivesFolder() + QStringLiteral("/c"));
    const Registry registry(m_machine);
    const Files files(m_machine);
    for (const char* name : FolderValues) {
        const QString folder = registry.readString(
            HKEY_LOCAL_MACHINE, QLatin1String(WindowsCurrentVersionKey), QLatin1String(name));
        // A value naming a missing drive (or no drive path at all) is the machine's own business.
        const QString host = folder.size() >= 2 && folder[1] == u':' && m_machine.driveExists(folder[0])
                                 ? m_machine.toHost(folder)
                                 : QString();
        if (!host.isEmpty())
            ok = QDir().mkpath(host) && ok;
    }
    for (const int csidl : SpecialFolders)
        ok = !files.specialFolder(csidl).isEmpty() && ok;
    return ok;
}

bool MachineSetup::ensure() const {
    if (isComplete())
        return ensureFolders();
    if (!QDir().mkpath(m_machine.root()))
        return false;
    const FileLock lock(m_machine.root() + QStringLiteral("/setup.lock"));
    if (!lock.isLocked())
        return false;
    bool ok = QDir().mkpath(m_machine.drivesFolder() + QStringLiteral("/c"));
    const Registry registry(m_machine);
    for (const IniValue& entry : registryDefaults())
        ok = registry.addString(HKEY_LOCAL_MACHINE, entry.section, entry.key, entry.value) && ok;
    ok = writeIniValues(m_machine.machineIniFile(), machineIniDefaults(), false) && ok;
    return ensureFolders() && ok;
}

} // namespace marvek::platform
