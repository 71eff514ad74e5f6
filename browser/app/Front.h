#pragma once

#include <QString>
#include <QStringList>

namespace marvek::browser {

class MessageTable;

// The side of a Pagora start that needs no page engine: find a running instance and hand the
// command line over to it. The program callers start ("Pagora.exe") is only this; it brings the page
// engine up (the engine program beside it) when it is to become the instance.

// Tells a running instance that shows a window captioned " - " + "WC201" (a title-less document,
// such as a PDF) to quit. True when it did; it has given the hand-over name up by then.
bool GFncPdf_QuitStale(const MessageTable& messages, const QString& serverName);

// Hands this process's command line to the running instance (WM_COPYDATA, text in the code page);
// dropped silently when no instance answers.
void GSubIns_Forward(const QString& serverName, const QString& commandLine, int codePage);

// The engine program beside the front: the front's file name with "Engine" before its extension
// ("Pagora.exe" -> "PagoraEngine.exe", "Pagora" -> "PagoraEngine").
QString enginePath(const QString& frontPath);

// The front's start (main's argc and argv; no application object exists yet): when an instance
// runs and shows no stale window, hands the command line over and returns 0; else replaces this
// process by the engine (execv: same process, same arguments and environment). Returns only when the
// engine cannot be run (1).
int runFront(int argc, char** argv);

} // namespace marvek::browser
