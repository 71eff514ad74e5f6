#pragma once

#include "browser/messages/MessageTable.h"
#include "platform/Platform.h"

#include <QString>

namespace marvek::browser_setup {

// The browser installer's title for boxes without one of their own (the failed version query).
inline constexpr auto ProgramTitle = "Pagoset";

// The process-wide state of Pagoset, created by the start routine and alive until the program ends.
// The file-system object of old has no counterpart: file tests go through the platform.
class PagosetContext {
public:
    // programFolder: Windows path of the folder of the program (no trailing "\"); PG_INST_MSG.TXT and
    // the "Param" folder lie there. Loads the message table.
    PagosetContext(platform::Platform& platform, QString programFolder);
    PagosetContext(const PagosetContext&) = delete;
    PagosetContext& operator=(const PagosetContext&) = delete;

    platform::Platform& os;
    const QString ProgramFolder;

    const browser::MessageTable messages;
    // "11" for Japanese, else the language's code (see browser::languageCodeFromLangId).
    const QString& gstrLang() const { return messages.gstrLang(); }
    QString GFncMsg_Get(const QString& code) const { return messages.GFncMsg_Get(code); }

    QString gstrLinkDir; // "InstallDir" of the manual-link key
    QString gstrViewDir; // "InstallDir" of the viewer key
    bool mbolAgree = false;
};

} // namespace marvek::browser_setup
