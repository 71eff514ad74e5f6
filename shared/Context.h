#pragma once

#include "SystemParameters.h"
#include "platform/Platform.h"

#include <QString>
#include <utility>

namespace marvek::shared {

// The process-wide state every program shares: its folders, the loaded parameters, the language
// and the titles boxes take. Each program's own context owns one of these.
struct SharedContext {
    SharedContext(platform::Platform& platform, QString programTitle)
        : os(platform), ProgramTitle(std::move(programTitle)) {}

    // Sets ProgramFolder (Windows path, no trailing "\") and the SysDir paths derived from it.
    void setProgramFolder(const QString& folder) {
        ProgramFolder = folder;
        SysDirPath = folder + QStringLiteral("\\SysDir");
        SysParameterPath = folder + QStringLiteral("\\SysDir\\SysParameter.ini");
        CleanupBatchPath = folder + QStringLiteral("\\SysDir\\RmDir.bat");
    }

    platform::Platform& os;
    // The program's own title, which Windows gives a box shown without a title of its own ("Set Access
    // Error = ", the access-control failures, "Marvec Service System Error"); never a screen's caption.
    const QString ProgramTitle;

    QString ProgramFolder;
    QString SysDirPath;
    QString SysParameterPath;
    // The clean-up batch that removes a folder tree (RmDir.bat in SysDir); see RunCleanupBatch.
    QString CleanupBatchPath;
    // The CD root, ending in "\" (installer only).
    QString SourceRoot;
    // Folder of the manual-link component: the database, the manager and the form-data files.
    QString ManualLinkDir;
    // Logon name of the current user.
    QString UserName;
    // Local name of the built-in users group, the trustee of every access grant.
    QString UsersGroupName;
    SystemParameters systemParameters;
    QString LanguageCode;
    // Title of the program's other message boxes: the caption of the most recently loaded screen.
    QString AppTitle;
};

} // namespace marvek::shared
