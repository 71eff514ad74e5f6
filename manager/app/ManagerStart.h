#pragma once

#include "manager/app/ManagerContext.h"

#include <QString>

namespace marvek::manager {

// The manager's fixed texts, under its title (ManagerTitle, ManagerContext.h).
inline constexpr auto NoDatabase = "DTX-3 MDB None";
inline constexpr auto ListReadError = "MDB READ ERROR";

enum class ManagerStartOutcome {
    End,        // the program ends (EndManager has run)
    ShowWindow, // the database is open: the main window opens
};

// The start routine: configuration, the viewer and manual-link folders from the registry, the database.
// programFolder is the Windows path of the running program's folder (no trailing "\").
ManagerStartOutcome StartManager(ManagerContext& ctx, const QString& programFolder, bool previousInstance);

// The start routine without its box, for a program that starts before its window system: ShowWindow;
// End after EndManager; or End with the box that ends it still to show (refusal, under ManagerTitle),
// the caller then ending with EndManager.
struct ManagerStartCheck {
    ManagerStartOutcome outcome = ManagerStartOutcome::End;
    const char* refusal = nullptr;
};
ManagerStartCheck CheckManagerStart(ManagerContext& ctx, const QString& programFolder, bool previousInstance);
// CheckManagerStart up to its last step, for a caller that opens the database itself
// (OpenManagerDatabase): ShowWindow then means that the database is to be opened next, and a failed open
// ends the start with NoDatabase.
ManagerStartCheck CheckManagerStartBeforeDatabase(ManagerContext& ctx, const QString& programFolder,
                                                  bool previousInstance);
// The start routine's last step: opens the database of the context (ctx.DatabasePath).
bool OpenManagerDatabase(ManagerContext& ctx);
// The box of a refusal, then EndManager.
void EndManagerWithBox(ManagerContext& ctx, const char* refusal);

// Releases the database; the caller then ends the program.
void EndManager(ManagerContext& ctx);

} // namespace marvek::manager
