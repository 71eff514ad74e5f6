#pragma once

#include "shared/Context.h"

#include <QStringList>

namespace marvek::companions {

// The manual manager's installer (programs\man_manager\<language>\setup.exe on the CD, command line
// " /VERYSILENT /SP-"): installs Mandex.exe from beside the installer into the recorded manual-link
// folder. It leaves no result log: `setup` judges it by the installed program, and a log here would be
// taken for the manual-link component's, which lies in the same folder. Without a recorded manual-link
// folder it installs nothing (NotRegistered).
int ManagerSetup(shared::SharedContext& ctx, const QStringList& arguments);

} // namespace marvek::companions
