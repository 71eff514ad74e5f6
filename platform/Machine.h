#pragma once

#include <QString>

namespace marvek::platform {

// The machine prefix: the folder that stands for a Windows PC on this host.
//   drives/<letter>   one folder (or symlink) per drive letter; no entry = no such drive
//   registry.ini      HKEY_LOCAL_MACHINE string values
//   machine.ini       locale, code page, OS version and logon name
// Windows path text is turned into a host path here and nowhere else.
class Machine {
public:
    explicit Machine(QString rootFolder);

    // The file of the PC that names the machine every user shares.
    static constexpr const char* SystemConfigFile = "/etc/marvek/machine.conf";

    // Which machine a program works in, and why: MARVEK_ROOT, else the machine the system's
    // configuration file names, else $XDG_DATA_HOME/marvek, else ~/.local/share/marvek.
    enum class Source { Environment, SystemConfig, UserDefault };
    struct Choice {
        QString root;
        Source source = Source::UserDefault;
    };
    // The rule over a process's variables (an empty text stands for an unset one) and a configuration
    // file (tests give their own).
    static Choice choose(const QString& marvekRoot, const QString& dataHome, const QString& home,
                         const QString& systemConfig = QLatin1String(SystemConfigFile));
    // The same with the configuration file read already (readMachineConfig), for many processes at once.
    static Choice chooseWith(const QString& marvekRoot, const QString& dataHome, const QString& home,
                             const QString& systemRoot);
    // The choice of this process's environment.
    static Choice defaultChoice(const QString& systemConfig = QLatin1String(SystemConfigFile));
    static QString defaultRoot() { return defaultChoice().root; }
    static Machine fromEnvironment() { return Machine(defaultRoot()); }

    const QString& root() const { return m_root; }
    QString drivesFolder() const;
    QString registryFile() const;
    QString machineIniFile() const;

    // Creates the root, drives/ and drives/c when missing.
    bool ensureLayout() const;
    // Points a drive letter at a host folder (a symlink under drives/); replaces an older mapping that is a
    // symlink or an empty folder, and refuses to replace a drive folder that holds files.
    bool mapDrive(QChar letter, const QString& hostFolder) const;
    // True when the drive's entry leads to a folder (a symlink to a missing medium is no drive).
    bool driveExists(QChar letter) const;
    // Host folder of a drive letter, empty when the drive does not exist. Z: is "/" unless mapped.
    QString driveFolder(QChar letter) const;

    // "C:\a\b" -> <root>/drives/c/a/b; "/" is accepted as a separator too. Components that do not exist
    // with the exact case are looked up without regard to case, as Windows would; "." and ".." are
    // resolved in the text (never above the drive root); as on Windows, every other component loses its
    // trailing blanks and dots ("RM010EN " is RM010EN) and one made of them only vanishes. "\a" is on
    // the drive of the working folder.
    // A relative path is resolved against the working folder (the result is absolute). A path on a
    // missing drive, a UNC path or a path containing NUL gives an empty text.
    QString toHost(const QString& windowsPath) const;
    // The reverse: a host path under a drive folder (or the folder a drive's symlink leads to) gets that
    // letter, the most specific drive first; any other absolute path Z:. A relative path is taken from the
    // working folder. A drive root comes back as "C:\".
    QString toWindows(const QString& hostPath) const;

private:
    QString m_root;
};

// The machine a system configuration text names: the absolute folder of its "root=" line ("#" lines
// and blank lines are comments, blanks around names and values are dropped, other names are ignored).
// Empty when the text names none, names a relative folder, or holds a line that is neither a comment
// nor "name=value" (a garbled file names no machine).
QString parseMachineConfig(const QByteArray& text);
// The same for a file: empty when it is missing, unreadable or larger than a configuration file is.
QString readMachineConfig(const QString& path);

} // namespace marvek::platform
