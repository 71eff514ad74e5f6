#include "browser_setup/app/PagosetMain.h"

#include "browser_setup/app/BrowserRecord.h"
#include "browser_setup/app/OsCheck.h"
#include "browser_setup/app/PackageRun.h"
#include "browser_setup/window/frmContract.h"
#include "platform/MediaDrives.h"
#include "shared/formdata/FormDataFiles.h"

#include <QCoreApplication>

namespace marvek::browser_setup {

int Main(PagosetContext& ctx) {
    const bool japanese = ctx.gstrLang() == u"11";
    const QString package = PackageName(ctx.gstrLang());

    if (GFncOS_Check(ctx) == 1) {
        frmContract contract(ctx);
        ctx.mbolAgree = contract.GFncCon_Show();
        if (!ctx.mbolAgree)
            return 0;
        GFncSetup_Run(ctx, ctx.ProgramFolder + QLatin1Char('\\') + QLatin1String(PackageFolder) +
                               QLatin1Char('\\') + package);
    }

    const platform::Files& files = ctx.os.files();
    const QString browserFolder = BrowserFolder(ctx, japanese);
    const QString program = QLatin1Char('\\') + QLatin1String(BrowserProgram);
    if (files.fileExists(browserFolder + program)) {
        GFncReg_Set(ctx, platform::HKEY_LOCAL_MACHINE, QLatin1String(ViewerKey),
                    QLatin1String(InstallDirValue), browserFolder);
    }

    ctx.gstrLinkDir = GFncReg_Get(ctx, platform::HKEY_LOCAL_MACHINE, QLatin1String(ManualLinkKey),
                                  QLatin1String(InstallDirValue));
    ctx.gstrViewDir = GFncReg_Get(ctx, platform::HKEY_LOCAL_MACHINE, QLatin1String(ViewerKey),
                                  QLatin1String(InstallDirValue));

    if (!ctx.gstrLinkDir.isEmpty() && files.folderExists(ctx.gstrLinkDir)) {
        const QString versionFile = ctx.gstrLinkDir + QLatin1Char('\\') + QLatin1String(BrowserVersionFile);
        if (files.fileExists(ctx.gstrViewDir + program))
            GFncFdf_Write(ctx, versionFile, GFncVer_Get(ctx, ctx.gstrViewDir + program));
        else
            GFncFdf_Write(ctx, versionFile, QLatin1String(shared::BrowserNotInstalled));
    }
    return 0;
}

int Main() {
    const std::unique_ptr<platform::Platform> os = platform::Platform::fromEnvironment();
    if (!os)
        return 1;
    PagosetContext ctx(*os, platform::programFolder(os->machine()));
    return Main(ctx);
}

} // namespace marvek::browser_setup
