#pragma once

#include "shared/Context.h"

#include <QStringList>

namespace marvek::companions {

// The manual-link component's installer (programs\manual_link\setup.exe on the CD, command line " 1"):
// installs ManualLink.exe from beside the installer into the manual-link folder (the recorded one, else
// DefaultManualLinkDir), creates the manual database ManualLink.mdb there from the CD's template
// (programs\setup\ManualLink_new.mdb) unless a database exists, gives the users group access to the
// folder, records the folder and leaves setup.log there. Returns the exit code (InstallResult).
int ManualLinkSetup(shared::SharedContext& ctx, const QStringList& arguments);

} // namespace marvek::companions
