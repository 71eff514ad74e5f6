#include "manager/app/ManagerStart.h"

#include "platform/Registry.h"
#include "shared/config/Language.h"
#include "shared/config/RegistryKeys.h"
#include "shared/config/SysParameters.h"
#include "shared/database/DatabaseRecovery.h"
#include "shared/helpers/ShellHelpers.h"

namespace marvek::manager {

namespace {

ManagerStartCheck refuse(const char* text) {
    return {ManagerStartOutcome::End, text};
}

QString readHklm(const ManagerContext& ctx, const char* key) {
    return shared::RegReadString(ctx.shared, platform::HKEY_LOCAL_MACHINE, QLatin1String(key),
                                 QLatin1String(shared::InstallDirValue));
}

} // namespace

ManagerStartOutcome StartManager(ManagerContext& ctx, const QString& programFolder, bool previousInstance) {
    const ManagerStartCheck check = CheckManagerStart(ctx, programFolder, previousInstance);
    if (check.refusal)
        EndManagerWithBox(ctx, check.refusal);
    return check.outcome;
}

ManagerStartCheck CheckManagerStart(ManagerContext& ctx, const QString& programFolder,
                                    bool previousInstance) {
    const ManagerStartCheck check = CheckManagerStartBeforeDatabase(ctx, programFolder, previousInstance);
    if (check.outcome == ManagerStartOutcome::ShowWindow && !OpenManagerDatabase(ctx))
        return refuse(NoDatabase);
    return check;
}

ManagerStartCheck CheckManagerStartBeforeDatabase(ManagerContext& ctx, const QString& programFolder,
                                                  bool previousInstance) {
    if (previousInstance) {
        EndManager(ctx);
        return {};
    }
    ctx.shared.setProgramFolder(programFolder);
    if (!ctx.os().files().fileExists(ctx.shared.SysParameterPath))
        return refuse("System Parameter File None");
    if (!shared::LoadSysParameters(ctx.shared))
        return refuse("No System Data");
    ctx.shared.LanguageCode = shared::GetLanguageCode(ctx.shared);
    ctx.ViewerExePath = readHklm(ctx, shared::ViewerKey) + QStringLiteral("\\Pagora.exe");
    ctx.shared.ManualLinkDir = readHklm(ctx, shared::ManualLinkKey);
    ctx.DatabasePath =
        ctx.shared.ManualLinkDir + QLatin1Char('\\') + ctx.shared.systemParameters.DTX3_MDB_NAME;
    shared::RestoreDatabaseBackup(ctx.shared, ctx.shared.ManualLinkDir,
                                  ctx.shared.systemParameters.DTX3_MDB_NAME);
    return {ManagerStartOutcome::ShowWindow, nullptr};
}

bool OpenManagerDatabase(ManagerContext& ctx) {
    return ctx.db.Database.Pcls_MdbOpen(ctx.DatabasePath);
}

void EndManagerWithBox(ManagerContext& ctx, const char* refusal) {
    ctx.os().ui().messageBox(QLatin1String(refusal), platform::mb::Exclamation, QLatin1String(ManagerTitle));
    EndManager(ctx);
}

void EndManager(ManagerContext& ctx) {
    ctx.db.Database.Release();
}

} // namespace marvek::manager
