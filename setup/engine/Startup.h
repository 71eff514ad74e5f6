#pragma once

#include "setup/engine/SetupContext.h"
#include "shared/config/RegistryKeys.h"

#include <QString>

namespace marvek::setup {

// What the program does once the start routine has run. The routine never ends the process itself:
// the program acts on the outcome.
enum class StartOutcome {
    End,        // the program ends (EndSetup has run where the routine calls for it)
    ShowMenu,   // all checks passed: the main menu opens
    ShowResult, // a database check failed: the result screen shows ErrorLine1 / ErrorLine2
};

// The fixed texts of the start routine, used before the message catalogue can be read, under the
// program's title (StartupTitle, SetupContext.h).
inline constexpr auto NoParameterFile = "System Parameter File None";
inline constexpr auto NoSystemData = "No System Data";

// Registry keys and values the installer reads (HKEY_LOCAL_MACHINE).
using shared::ManualLinkKey;
using shared::ScanluxKey;
using shared::ViewerKey;
inline constexpr auto WindowsVersionKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";

// The start routine: configuration, paths, the manual-link and database checks. programFolder is the
// Windows path of the folder holding the running program (no trailing "\"); previousInstance tells
// whether another copy of the installer already runs.
StartOutcome StartSetup(SetupContext& ctx, const QString& programFolder, bool previousInstance);

// Releases the database and, unless skipCleanup, runs the clean-up batch on UnzipTempDir and waits for
// it. The caller then ends the program.
void EndSetup(SetupContext& ctx, bool skipCleanup);

// Opens the CD's start page (SourceRoot & "index.html") in the viewer, or in the system web browser
// when the viewer is not installed; nothing when the page is missing. With the latest-CD check (the
// start routine's use) the check runs first, and the result is false when the program must end at
// once (the not-latest question answered No, or "C:\man_info" could not be made).
bool OpenStartPage(SetupContext& ctx, bool withLatestCheck);

// True when no process named MCP_EXE_NAME runs (exact, case-sensitive comparison of the whole name).
// Without a process list the check passes only when the database's lock file does not exist.
bool IsManagerClosed(const SetupContext& ctx);

// True when ManualLinkDir is a folder holding DTX3_EXE_NAME.
bool IsManualLinkInstalled(const SetupContext& ctx);

// ProgramFolder with its last component removed three times ("D:" stays "D:"), then "\" appended.
QString SourceRootOf(const QString& programFolder);

// The drive part of a path as the file-system object gives it: "C:" for "C:\...", "\\server\share" for
// a network path, empty otherwise.
QString GetDriveName(const QString& path);

} // namespace marvek::setup
