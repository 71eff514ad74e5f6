#pragma once

#include <QString>

namespace marvek::platform {

// The private-profile reader: the value of key in [section] of an INI file (host path), copied into a
// buffer of bufferSize characters, with the rules of GetPrivateProfileString:
// - a file starting with the UTF-16LE byte-order mark is read as UTF-16, one starting with the UTF-8 mark
//   as UTF-8, any other in the given ANSI code page;
// - lines end at LF or CR; a line whose first non-blank character is ";" is a comment; "[name]" opens a
//   section (blanks around the name dropped); "key = value" is an entry, blanks around both dropped; a
//   line without "=" outside a section header is ignored;
// - section and key names compare without regard to case; the first matching section and, inside it, the
//   first matching key win (a later duplicate section is not read);
// - a value in matching double or single quotes loses them; a value ends at its first NUL;
// - buffer is resized to bufferSize characters: the value, then NULs. The value is cut to bufferSize - 1
//   characters. Returns the number of characters copied (without the NUL);
// - a missing file, section or key copies defaultValue (without its trailing blanks).
int getPrivateProfileString(const QString& section, const QString& key, const QString& defaultValue,
                            QString& buffer, int bufferSize, const QString& hostFile, int codePage);

// An INI file read once, for several values: each as getPrivateProfileString gives it from the file as
// it was when read.
class PrivateProfileFile {
public:
    PrivateProfileFile(const QString& hostFile, int codePage);

    bool exists() const { return m_exists; }
    int getString(const QString& section, const QString& key, const QString& defaultValue, QString& buffer,
                  int bufferSize) const;

private:
    bool m_exists = false; // before m_text, which sets it
    QString m_text;
};

} // namespace marvek::platform
