#pragma once

#include "setup/engine/SetupContext.h"
#include "shared/access/AccessControl.h"

namespace marvek::testing {

// The installer settings of the upgrade tests: the CD's template beside the program in
// C:\CD\programs\setup, the installed database C:\Link\DTX3.mdb. Shared by the tests and the driver
// program they kill.
inline void SetUpgradeSettings(setup::SetupContext& ctx) {
    shared::SharedContext& s = ctx.shared;
    s.setProgramFolder(QStringLiteral("C:\\CD\\programs\\setup"));
    s.ManualLinkDir = QStringLiteral("C:\\Link");
    s.systemParameters.DTX3_MDB_NAME = QStringLiteral("DTX3.mdb");
    s.systemParameters.DTX3_NEW_MDB_NAME = QStringLiteral("DTX3_NEW.mdb");
    s.UserName = QStringLiteral("tech");
    s.UsersGroupName = shared::GetUsersGroupName(s);
    s.LanguageCode = QStringLiteral("09");
    ctx.DatabasePath = s.ManualLinkDir + QStringLiteral("\\DTX3.mdb");
}

} // namespace marvek::testing
