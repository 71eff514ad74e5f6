#pragma once

#include "shared/Context.h"

#include <QString>
#include <QtGlobal>

namespace marvek::shared {

// Sleeps n seconds through the clock. n x 1000 must fit a 16-bit integer (n up to 32); a wait that
// does not fit, or is not positive, is skipped.
void WaitSeconds(const SharedContext& ctx, int seconds);

// Starts the command line hidden and waits for it without a time limit: every second (WaitSeconds(1))
// it reads the exit code and lets pending events run, until the code is no longer 259 (still active).
// False when the program cannot be started. exitCode (when given) receives the final exit code.
bool RunAndWait(const SharedContext& ctx, const QString& commandLine, quint32* exitCode = nullptr);

// True for a path the clean-up batch may remove: a full Windows path "X:\..." that names a folder below
// the drive root (after "." and ".." are resolved), with no character a Windows path cannot hold.
// False for an empty or relative path, a drive root ("C:", "C:\", "C:\.."), a network path.
bool IsRemovableFolderPath(const QString& path);

// Shows the refusal box (OK, exclamation, ctx.AppTitle) and returns true when IsRemovableFolderPath
// rejects the folder; false, with nothing shown, for a folder that may be removed.
bool RefuseUnsafeRemoval(const SharedContext& ctx, const QString& folder);

// How the clean-up command line is written: the installer leaves the batch path unquoted, the manager
// quotes it as well. The folder is always quoted.
enum class BatchQuoting { FolderOnly, BatchAndFolder };

// Runs CleanupBatchPath on a folder with RunAndWait, which removes the folder and everything in it.
// A path that IsRemovableFolderPath rejects is refused: a message box (OK, exclamation, ctx.AppTitle)
// says so, nothing runs, and the result is false. Also false when the batch cannot be started.
bool RunCleanupBatch(const SharedContext& ctx, const QString& folder,
                     BatchQuoting quoting = BatchQuoting::FolderOnly);

} // namespace marvek::shared
