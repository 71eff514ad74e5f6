#pragma once

#include "Machine.h"

#include <QString>

namespace marvek::platform {

// ShellExecute's result convention: a value below 32 is a failure.
inline constexpr int SE_ERR_FNF = 2;
inline constexpr int SE_ERR_NOASSOC = 31;
inline constexpr int ShellExecuteOk = 42;

// The "Open" verb on a file, folder or URL (Windows path or URL text): runs $MARVEK_OPEN_COMMAND (a
// command, split as a shell would) or xdg-open on the host path without waiting. Returns ShellExecuteOk,
// SE_ERR_FNF for a missing file, or SE_ERR_NOASSOC when no opener could be started. A URL (a scheme of
// two or more letters) passes unchanged; a "file:" URL naming a drive path is mapped like a path.
// What the opener does afterwards is not waited for, so its own failures are not seen.
int shellOpen(const Machine& machine, const QString& target);
// The system web browser on a page (Windows path or URL): $BROWSER (commands separated by ":", tried
// in order; "%s" in a command stands for the page), else xdg-open. Same result sense.
int openInWebBrowser(const Machine& machine, const QString& target);

} // namespace marvek::platform
