#pragma once

#include <QString>
#include <QStringList>

namespace marvek::platform {
class Machine;
}

namespace marvek::browser {

class BrowserContext;
class MessageTable;

// The command-line arguments as the program received them: every argument after the program path,
// joined by one blank (the launcher's unquoted page path with blanks arrives in pieces). A process
// starter of this host hands drive paths over as host paths: those turn back into Windows path text.
QString commandArguments(const QStringList& arguments, const platform::Machine& machine);

// Sets what Qt WebEngine needs on this host before the application object exists: no sandbox when
// running as root (Chromium refuses it), unless the variable is set already.
void prepareWebEngineEnvironment();

// Tells a running instance that shows a window captioned " - " + "WC201" (a title-less document,
// such as a PDF) to quit. True when it did; it has given the hand-over name up by then.
bool GFncPdf_QuitStale(const MessageTable& messages, const QString& serverName);

// Hands this process's command line to the running instance (WM_COPYDATA); dropped silently when
// no instance answers.
void GSubIns_Forward(const BrowserContext& context, const QString& serverName, const QString& commandLine);

// The start routine. arguments: the process's argv (argv[0] first), taken before QApplication
// removed the options it knows. Needs the QApplication; returns the process exit code.
int Main(const QStringList& arguments);

} // namespace marvek::browser
