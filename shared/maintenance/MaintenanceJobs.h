#pragma once

#include "shared/Context.h"
#include "shared/database/ManualDatabase.h"

#include <QString>
#include <functional>

namespace marvek::shared {

// The job mode of the work window: CheckJobMode checks every installed manual, any other mode (the
// manager uses DeleteJobMode) deletes one.
inline constexpr int DeleteJobMode = 1;
inline constexpr int CheckJobMode = 2;

// The window's text for a job: M049 for the check, M048 for any other mode.
QString TransactionMessage(const SharedContext& ctx, int mode);

// True when the files of a listed manual are gone: a PDF manual (Pdf_flg "1") without its document,
// an HTML manual without its "contents" folder or its "index.html".
bool IsManualMissing(const SharedContext& ctx, const ManualRecord& manual);

// Walks every installed manual: one that is missing and already marked (Adjust_flg "1") loses its rows,
// one missing for the first time is marked; present manuals are not touched. Failures are not reported;
// the walk goes on with the next manual.
void RunCheckJob(const SharedContext& ctx, ManualDatabase& db);

// Removes the manual's folder with the clean-up batch (both parts quoted, RemoveManualFolder), then its
// rows. A refused folder (an unsafe path, or one that holds more than the manual) is not removed, with
// the refusal box, and the rows are deleted all the same. True when the rows were deleted.
bool RunDeleteJob(const SharedContext& ctx, ManualDatabase& db, const QString& pubNo, const QString& insPath);

// The work window's activation: pending events, the hourglass (setBusy(true)), one second, the job of
// the mode, one second, the normal pointer (setBusy(false)). The form only shows the text and closes.
void RunTransaction(const SharedContext& ctx, ManualDatabase& db, int mode, const QString& pubNo,
                    const QString& insPath, const std::function<void(bool busy)>& setBusy = {});

} // namespace marvek::shared
