#pragma once

#include "shared/Context.h"

#include <QStringList>
#include <functional>

namespace marvek::companions {

// The start of every companion installer: the machine of MARVEK_ROOT, a shared context whose program
// folder is the installer's folder (as a Windows path), and the run. Returns the run's exit code.
int RunInstaller(int argc, char** argv,
                 const std::function<int(shared::SharedContext& ctx, const QStringList& arguments)>& run);

} // namespace marvek::companions
