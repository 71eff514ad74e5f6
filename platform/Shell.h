#pragma once

#include "Machine.h"

#include <QString>

namespace marvek::platform {

// ShellExecute's result convention: a value below 32 is a failure.
inline constexpr int SE_ERR_FNF = 2;
inline constexpr int SE_ERR_NOASSOC = 31;
inline constexpr int ShellExecuteOk = 42;

// The "Open" verb on a file, folder or URL (Windows path or URL text): runs $MARVEK_OPEN_COMMAND or
// xdg-open on the host path without waiting. Returns ShellExecuteOk, SE_ERR_FNF for a missing file, or
// SE_ERR_NOASSOC when no opener could be started.
int shellOpen(const Machine& machine, const QString& target);
// The system web browser on a page (Windows path or URL): $BROWSER, else xdg-open. Same result sense.
int openInWebBrowser(const Machine& machine, const QString& target);

} // namespace marvek::platform
