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

// HKEY_LOCAL_MACHINE string values kept in registry.ini of the machine prefix.
// Key paths and value names compare without regard to case. Other hives hold nothing.
class Registry {
public:
    explicit Registry(const Machine& machine);

    // The value read into a 256-character buffer: text up to its first NUL; empty when the key or value
    // is missing, or when the value with its terminating NUL does not fit the buffer.
    QString readString(quint32 hive, const QString& subKey, const QString& valueName) const;
    // Creates the key when missing and stores the string. False when the file cannot be written.
    bool writeString(quint32 hive, const QString& subKey, const QString& valueName, const QString& value) const;

private:
    QString m_file;
};

} // namespace marvek::platform
