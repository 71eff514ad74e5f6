#pragma once

#include "shared/Context.h"
#include "shared/database/ManualDatabase.h"

#include <QString>

namespace marvek::manager {

// The manager's own title: its fixed boxes and the boxes of the program's default title.
inline constexpr auto ManagerTitle = "Manual Management Program";

// The manager's process-wide state: its settings, the open database and the manual the user selected.
// The start routine fills it; the window and the actions work on it.
struct ManagerContext {
    explicit ManagerContext(platform::Platform& os) : shared(os, QLatin1String(ManagerTitle)), db(shared) {}
    ManagerContext(const ManagerContext&) = delete;
    ManagerContext& operator=(const ManagerContext&) = delete;

    platform::Platform& os() const { return shared.os; }

    // ProgramFolder, SysDirPath, SysParameterPath, CleanupBatchPath, ManualLinkDir, the parameters,
    // LanguageCode and AppTitle (the window's caption).
    shared::SharedContext shared;
    QString ViewerExePath;
    QString DatabasePath;
    shared::ManualDatabase db;

    // The manual of the grid's selected row.
    QString SelectedPubNo;
    QString SelectedInsPath;
};

} // namespace marvek::manager
