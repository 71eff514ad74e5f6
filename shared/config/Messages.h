#pragma once

#include "shared/Context.h"

#include <QString>

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

} // namespace marvek::shared
