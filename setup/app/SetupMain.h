#pragma once

namespace marvek::setup {

// The start routine of the program: the platform of the environment, the previous-instance lock, the
// installer's context and screens, StartSetup and what its outcome asks for. Needs the QApplication;
// returns the process exit code.
int Main();

} // namespace marvek::setup
