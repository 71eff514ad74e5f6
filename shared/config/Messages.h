#pragma once

#include "shared/Context.h"
#include "shared/config/IniFiles.h"

#include <QString>
#include <optional>

namespace marvek::shared {

inline constexpr auto MessageSection = "MESSAGE";
// The section of the suite's own texts, beside the numbered messages, keyed by name.
inline constexpr auto SuiteTextSection = "SUITE";

// SysDirPath + "\M" + LanguageCode + ".ini", the message file of the display language.
QString MessageFilePath(const SharedContext& ctx);
// The English message file, the fallback when the language file is absent.
QString EnglishMessageFilePath(const SharedContext& ctx);

// The message with key "M" + the number in three digits ("M007"); empty when not found.
QString GetMessage(const SharedContext& ctx, const QString& section, int number);
// Message number of the catalogue's section "MESSAGE" (written M084 and so on).
QString CatalogueMessage(const SharedContext& ctx, int number);
// One value of the language's message file, or of M09.ini when the language file is absent. Only one
// file is read: a key missing in an existing language file gives the empty text.
QString ReadMessage(const SharedContext& ctx, const QString& section, const QString& key);
// The manager's caption with key LanguageCode + "_" + two digits, else the key "09_" + two digits.
QString GetCaption(const SharedContext& ctx, const QString& section, int number);

// The message file of the language, or M09.ini when it is absent, read once for several texts: each as
// ReadMessage, GetMessage and GetCaption give it from the file as it was when read.
class MessageFile {
public:
    explicit MessageFile(const SharedContext& ctx);

    QString read(const QString& section, const QString& key) const;
    QString message(const QString& section, int number) const;
    QString caption(const QString& section, int number) const;

private:
    QString m_languageCode;
    std::optional<IniFile> m_file; // none when neither file is there
};

} // namespace marvek::shared
