#pragma once

#include <QString>

namespace marvek::platform {

// The private-profile reader: the value of key in [section] of an INI file (host path), copied into a
// buffer of bufferSize characters. Section and key names compare without regard to case; the first
// matching section and key win. A file starting with the UTF-16LE byte-order mark is read as UTF-16,
// any other in the given ANSI code page. Blanks around names and values are dropped, and a value in
// matching double or single quotes loses them, as Windows does.
// buffer is resized to bufferSize characters: the value, then NULs. Returns the number of characters
// copied (without the NUL); the value is cut to bufferSize - 1 characters. Missing file, section or key
// copies defaultValue.
int getPrivateProfileString(const QString& section, const QString& key, const QString& defaultValue,
                            QString& buffer, int bufferSize, const QString& hostFile, int codePage);

} // namespace marvek::platform
