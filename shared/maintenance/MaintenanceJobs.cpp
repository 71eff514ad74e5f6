#include "shared/maintenance/MaintenanceJobs.h"

#include "shared/config/Messages.h"
#include "shared/formdata/PdfPaths.h"
#include "shared/helpers/ProcessHelpers.h"
#include "shared/maintenance/ManualFolderRemoval.h"

namespace marvek::shared {

QString TransactionMessage(const SharedContext& ctx, int mode) {
    return GetMessage(ctx, QLatin1String(MessageSection), mode == CheckJobMode ? 49 : 48);
}

bool IsManualMissing(const SharedContext& ctx, const ManualRecord& manual) {
    if (manual.Pdf_flg == QLatin1String("1"))
        return !PdfExists(ctx, manual.InsPath, manual.Pub_No);
    const platform::Files& files = ctx.os.files();
    return !files.folderExists(manual.InsPath + QStringLiteral("\\contents")) ||
           !files.fileExists(manual.InsPath + QStringLiteral("\\index.html"));
}

void RunCheckJob(const SharedContext& ctx, ManualDatabase& db) {
    // The listing keeps all its rows in its slot, so rows can be changed while it is walked.
    for (qint16 row = db.OpenManualList(); row == 0; row = db.NextManualListRow()) {
        const ManualRecord& manual = db.CurrentManual;
        if (!IsManualMissing(ctx, manual))
            continue;
        if (manual.Adjust_flg == QLatin1String("1"))
            db.DeleteInstalledManual(manual.Pub_No);
        else
            db.MarkManualForAdjust(manual.Pub_No);
    }
}

bool RunDeleteJob(const SharedContext& ctx, ManualDatabase& db, const QString& pubNo,
                  const QString& insPath) {
    RemoveManualFolder(ctx, db, pubNo, insPath, BatchQuoting::BatchAndFolder);
    return db.DeleteInstalledManual(pubNo);
}

void RunTransaction(const SharedContext& ctx, ManualDatabase& db, int mode, const QString& pubNo,
                    const QString& insPath, const std::function<void(bool busy)>& setBusy) {
    ctx.os.clock().processEvents();
    if (setBusy)
        setBusy(true);
    WaitSeconds(ctx, 1);
    if (mode == CheckJobMode)
        RunCheckJob(ctx, db);
    else
        RunDeleteJob(ctx, db, pubNo, insPath);
    WaitSeconds(ctx, 1);
    if (setBusy)
        setBusy(false);
}

} // namespace marvek::shared
