#pragma once

#include "browser_setup/app/PagosetContext.h"

namespace marvek::browser_setup {

// The installation pass: message table (loaded by the context), package choice, version gate,
// agreement, silent installation, the registry record of the browser folder and the version file.
// Shows frmContract modally (needs the QApplication); returns the process exit code.
int Main(PagosetContext& ctx);

// The start routine: the platform of the environment and the context of the running program.
int Main();

} // namespace marvek::browser_setup
