#pragma once

#include <QString>
#include <QStringList>

namespace marvek::browser {

// Sets what Qt WebEngine needs on this host before the application object exists: no sandbox when
// running as root (Chromium refuses it), unless the variable is set already.
void prepareWebEngineEnvironment();

// The start routine of the engine (the front has found no instance to hand over to, or a stale one).
// arguments: the process's argv (argv[0] first), taken before QApplication removed the options it
// knows; the command line itself is the process's (GetCommandLine). Needs the QApplication; returns
// the process exit code.
int Main(const QStringList& arguments);

} // namespace marvek::browser
