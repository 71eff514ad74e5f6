#include "cd/companions/manual_link_setup/ManualLinkSetup.h"

#include "cd/companions/common/CompanionInstall.h"
#include "shared/database/DatabaseRecovery.h"
#include "shared/helpers/FileHelpers.h"

namespace marvek::companions {

namespace {

const QString ProgramName = QStringLiteral("ManualLink.exe");
const QString DatabaseName = QStringLiteral("ManualLink.mdb");
// Relative to the CD's "programs" folder, the parent of the installer's folder.
const QString TemplatePath = QStringLiteral("setup\\ManualLink_new.mdb");

InstallResult install(shared::SharedContext& ctx, InstallRun& run, const QString& folder) {
    const QString program = run.payloadPath(ProgramName);
    const QString database = folder + QLatin1Char('\\') + DatabaseName;
    const QString databaseTemplate =
        shared::ParentFolder(ctx.ProgramFolder) + QLatin1Char('\\') + TemplatePath;

    QStringList payload{program};
    // An upgrade's backup standing alone is the database: never bury it under an empty one.
    shared::RestoreDatabaseBackup(ctx, folder, DatabaseName);
    if (!ctx.os.files().exists(database))
        payload.append(databaseTemplate);
    InstallResult result = run.checkPayload(payload);
    if (result == InstallResult::Success)
        result = run.createFolder(folder);
    if (result == InstallResult::Success)
        result = run.installFile(program, folder + QLatin1Char('\\') + ProgramName);
    if (result == InstallResult::Success)
        result = run.installFileOnce(databaseTemplate, database, InstallResult::DatabaseNotCreated);
    if (result == InstallResult::Success)
        result = run.recordFolder(ManualLinkKey, folder);
    if (result == InstallResult::Success)
        result = run.grantUsersAccess(folder);
    return result;
}

} // namespace

int ManualLinkSetup(shared::SharedContext& ctx, const QStringList& arguments) {
    InstallRun run(ctx, QStringLiteral("Manual-link component setup"), arguments);
    QString folder = shared::StripTrailingSeparator(RecordedInstallDir(ctx, ManualLinkKey));
    if (folder.isEmpty())
        folder = DefaultManualLinkDir(ctx);
    run.note(QStringLiteral("Folder: ") + folder);
    return run.finish(install(ctx, run, folder), folder);
}

} // namespace marvek::companions
