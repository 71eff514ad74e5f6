#pragma once

#include "shared/Context.h"
#include "shared/database/ManualDatabase.h"
#include "shared/helpers/ProcessHelpers.h"

#include <QString>

namespace marvek::shared {

// Whether the folder registered for a manual may go with the manual.
enum class ManualFolderCheck {
    Removable,
    UnsafePath, // IsRemovableFolderPath rejects it (empty, relative, network path, drive root)
    Protected,  // it holds more than the manual, or a link takes it elsewhere
};

// The check every removal of a manual's folder passes (an update, a revision replacement, the manager's
// delete). Besides the path rules of IsRemovableFolderPath, a folder is Protected when
// - a link on its way takes it elsewhere (its final path is not its full path), or it leads off the drives;
// - it is, or lies above, the folder of another row of the database (another Pub_No than pubNo), the
//   manuals' parent folder (ProgramPath & "\Link\Manual"), the diagnostic software's folder (ProgramPath),
//   the manual-link folder or the program's own folder, each compared by its final path;
// - the database cannot be read.
ManualFolderCheck CheckManualFolder(const SharedContext& ctx, ManualDatabase& db, const QString& pubNo,
                                    const QString& folder);

// Removes a manual's folder with the clean-up batch when CheckManualFolder allows it. A refused folder
// is not touched, a box (OK, exclamation, ctx.AppTitle) says so, and the result is false; the caller
// goes on as it does after any refused clean-up. Also false when the batch cannot be started.
bool RemoveManualFolder(const SharedContext& ctx, ManualDatabase& db, const QString& pubNo,
                        const QString& folder, BatchQuoting quoting = BatchQuoting::FolderOnly);

} // namespace marvek::shared
