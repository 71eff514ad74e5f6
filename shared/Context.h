#pragma once

#include "SystemParameters.h"
#include "platform/Platform.h"

#include <QString>

namespace marvek::shared {

// The process-wide state every program shares: its folders, the loaded parameters, the language
// and the caption boxes are titled with. Each program's own context owns one of these.
struct SharedContext {
    explicit SharedContext(platform::Platform& platform) : os(platform) {}

    // Sets ProgramFolder (Windows path, no trailing "\") and the SysDir paths derived from it.
    void setProgramFolder(const QString& folder)
    {
        ProgramFolder = folder;
        SysDirPath = folder + QStringLiteral("\\SysDir");
        SysParameterPath = folder + QStringLiteral("\\SysDir\\SysParameter.ini");
    }

    platform::Platform& os;

    QString ProgramFolder;
    QString SysDirPath;
    QString SysParameterPath;
    SystemParameters systemParameters;
    QString LanguageCode;
    QString AppTitle;
};

} // namespace marvek::shared
