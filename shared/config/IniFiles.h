#pragma once

#include "platform/PrivateProfile.h"
#include "shared/Context.h"

#include <QString>
#include <optional>

namespace marvek::shared {

// Size of the buffer every INI value is read into: a value keeps at most 255 characters.
inline constexpr int IniValueBufferSize = 256;

// The text without its leading and trailing blanks, as the programs trim: blanks only, not tabs.
QString TrimBlanks(const QString& text);

// One value of an INI file (Windows path) through the private-profile reader, in the machine's ANSI
// code page: the buffer up to its first NUL, untrimmed. Empty when the file or the key is absent.
QString ReadIniText(const SharedContext& ctx, const QString& file, const QString& section,
                    const QString& key);

// An INI file (Windows path) read once, for several values: each as ReadIniText and ReadIniValue give it
// from the file as it was when read.
class IniFile {
public:
    IniFile(const SharedContext& ctx, const QString& file);

    QString text(const QString& section, const QString& key) const;
    QString value(const QString& section, const QString& key) const;

private:
    std::optional<platform::PrivateProfileFile> m_file; // none when the file is absent
};

// One value of any INI file with leading and trailing blanks removed; empty when the file or key is absent.
QString ReadIniValue(const SharedContext& ctx, const QString& file, const QString& section,
                     const QString& key);

// One raw value of SysParameter.ini (SysParameterPath).
QString ReadSysParameter(const SharedContext& ctx, const QString& section, const QString& key);

} // namespace marvek::shared
