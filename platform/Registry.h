#pragma once

#include "Machine.h"

#include <QString>
#include <QtGlobal>
#include <vector>

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
struct RegistryValue {
    QString key; // as the file spells it
    QString name;
    QString value;
};

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
    // writeString when the key has no such value yet; an existing value, even an empty one, is kept.
    // The test and the write happen under the writers' lock, so two programs never both add.
    bool addString(quint32 hive, const QString& subKey, const QString& valueName, const QString& value) const;
    // Every value of the key and of the keys below it, in file order (the first section of a key
    // counts as the reader's; later sections of the same name are listed too).
    std::vector<RegistryValue> values(quint32 hive, const QString& keyPrefix) const;

private:
    bool write(quint32 hive, const QString& subKey, const QString& valueName, const QString& value,
               bool replace) const;
    QString m_file;
};

} // namespace marvek::platform
