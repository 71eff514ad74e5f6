#pragma once

#include "Machine.h"

#include <QString>
#include <QtGlobal>

namespace marvek::platform {

inline constexpr quint32 HKEY_LOCAL_MACHINE = 0x80000002u;
inline constexpr quint32 KEY_READ = 0x20019u;
inline constexpr quint32 KEY_QUERY_VALUE = 0x0001u;
inline constexpr quint32 KEY_SET_VALUE = 0x0002u;
inline constexpr int RegistryValueBufferSize = 256;

// HKEY_LOCAL_MACHINE string values kept in registry.ini of the machine prefix (UTF-8):
//   [SOFTWARE\MARVEK\Scanlux]
//   ProgramPath=C:\Program Files\Marvek
// Key paths and value names compare without regard to case; empty components of a key path ("\" at
// either end, "\\") are ignored. Blanks around names and values are dropped; a name or value that needs
// them, or holds control characters, "=" (names) or a leading double quote, is written in double quotes
// with \\, \" and \xHH escapes. Lines starting with ";" are comments. Other hives hold nothing.
class Registry {
public:
    explicit Registry(const Machine& machine);

    // The value read into a 256-character buffer: text up to its first NUL; empty when the key or value
    // is missing, or when the value with its terminating NUL does not fit the buffer.
    QString readString(quint32 hive, const QString& subKey, const QString& valueName) const;
    // Creates the key when missing and stores the string, keeping the rest of the file as it was.
    // Writers are serialised with a lock file and replace registry.ini atomically. False when the file
    // cannot be written, for another hive, and for an empty key path or one with control characters.
    bool writeString(quint32 hive, const QString& subKey, const QString& valueName,
                     const QString& value) const;

private:
    QString m_file;
};

} // namespace marvek::platform
