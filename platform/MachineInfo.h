#pragma once

#include "Machine.h"

#include <QString>
#include <QtGlobal>
#include <memory>
#include <optional>

namespace marvek::platform {

class PrivateProfileFile;

// The account name of this process's user (getpwuid, asked once); empty when the account has none.
QString processAccountName();

struct OsVersion {
    quint32 major = 0;
    quint32 minor = 0;
    QString servicePack; // e.g. "Service Pack 2"
};

// What Windows would report about the machine and the user, from machine.ini of the prefix (UTF-8).
// A missing or unreadable entry falls back to the locale of the environment (LC_ALL, else LANG) for the
// languages, to the system language for the code page (932 for Japanese, else 1252), to Windows XP
// Service Pack 3 for the version, and to the process's user (getpwuid, else USER) for the logon name.
//   [Locale]  UserDefaultLangID=0411  SystemDefaultLangID=0411  ACP=932
//   [System]  MajorVersion=5  MinorVersion=1  CSDVersion=Service Pack 3  LogonName=tech
//   [Environment]  ProgramFiles=D:\Program Files
// The [Environment] section is the machine's Windows environment: the host's environment variables
// are no Windows variables and are never read for it.
class MachineInfo {
public:
    // Reads machine.ini at each question: a program keeps its machine while the file may change.
    explicit MachineInfo(const Machine& machine);
    // Reads machine.ini once, now, for every question asked of it: for the questions of one moment.
    static MachineInfo readOnce(const Machine& machine);

    quint16 userDefaultLangId() const;
    quint16 systemDefaultLangId() const;
    int ansiCodePage() const;
    // Empty when machine.ini says the call fails (OsVersionFails=1), for testing the callers' failure path.
    std::optional<OsVersion> osVersion() const;
    QString logonName() const;
    // The Windows environment variable name (without regard to case, as on Windows): its value in the
    // [Environment] section, else the Windows default of a few well-known variables (ProgramFiles
    // "C:\Program Files"), else empty, as for an unset variable.
    QString environmentVariable(const QString& name) const;

    // Regional formats of the user locale as QDateTime format strings: Japanese "yyyy/MM/dd" and
    // "H:mm:ss", English (and the rest) "M/d/yyyy" and "h:mm:ss AP".
    QString shortDateFormat() const;
    QString longTimeFormat() const;

    // Language identifier for a POSIX locale name such as "ja_JP.UTF-8" (0x0409 when unknown).
    static quint16 langIdFromPosixLocale(const QString& locale);
    // The same, empty for a locale the table does not know (C, POSIX, "xx_YY").
    static std::optional<quint16> knownLangIdOfLocale(const QString& locale);
    // A language identifier the table knows, given as four hexadecimal digits ("0411", "0x0411") or
    // as a locale name ("ja_JP", "de_CH.UTF-8"); empty for anything else.
    static std::optional<quint16> knownLangId(const QString& text);
    // The locale name of a language identifier of the table ("ja", "en_GB"); empty when unknown.
    static QString localeName(quint16 langId);
    // The ANSI code page Windows gives a system language: 932 for Japanese, else 1252.
    static int codePageOfLangId(quint16 langId);
    // The host's locale: LC_ALL, else LANG.
    static QString environmentLocale();

private:
    // The value in machine.ini (read now, or as file read it), or fallback when the key is missing.
    QString value(const QString& section, const QString& key, const QString& fallback = {}) const;
    static QString value(const PrivateProfileFile& file, const QString& section, const QString& key,
                         const QString& fallback = {});
    quint16 langId(const QString& key) const;
    // The file as read once, else read now.
    std::shared_ptr<const PrivateProfileFile> file() const;
    QString m_file;
    std::shared_ptr<const PrivateProfileFile> m_read; // readOnce's reading; null for the other
};

} // namespace marvek::platform
