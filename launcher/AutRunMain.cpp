#include "launcher/AutRunMain.h"

#include "launcher/LauncherLocalRead.h"
#include "shared/config/Language.h"
#include "shared/helpers/ShellHelpers.h"

namespace marvek::launcher {

QString GetDriveName(const QString& path) {
    if (path.size() >= 2 && path.at(1) == QLatin1Char(':') && path.at(0).isLetter() &&
        path.at(0).unicode() < 128)
        return path.left(2);
    return {};
}

QString BrowserCommandLine(const QString& browserPath, const QString& pagePath) {
    return browserPath + QLatin1Char(' ') + pagePath;
}

LauncherContext::LauncherContext(platform::Platform& platform, const QString& programFolder)
    : shared(platform, QLatin1String(ProgramName)) {
    shared.setProgramFolder(programFolder);
    shared.AppTitle = QLatin1String(ProgramName);
    startProgram = [&processes = platform.processes()](const QString& commandLine) {
        return processes.startDetached(commandLine, platform::WindowMode::Normal);
    };
}

namespace {

bool openStartPage(const LauncherContext& ctx) {
    if (ctx.BrowserPath.isEmpty())
        return shared::FindOrOpenBrowserWindow(ctx.shared, ctx.StartPage) != shared::BrowserWindowFailed;
    return ctx.startProgram(BrowserCommandLine(ctx.BrowserPath, ctx.StartPage));
}

} // namespace

LaunchOutcome RunStartSequence(LauncherContext& ctx, bool previousInstance) {
    if (previousInstance)
        return LaunchOutcome::PreviousInstance;

    const platform::Files& files = ctx.shared.os.files();
    ctx.BrowserPath = files.fileExists(QLatin1String(PagoraPath)) ? QLatin1String(PagoraPath) : QString();

    const QString drive = GetDriveName(ctx.shared.ProgramFolder);
    if (drive.isEmpty())
        return LaunchOutcome::NoStartPage;
    ctx.StartPage = drive + QLatin1Char('\\') + QLatin1String(StartPageName);
    if (!files.fileExists(ctx.StartPage))
        return LaunchOutcome::NoStartPage;

    ctx.CdRoot = drive + QLatin1Char('\\');
    ctx.shared.SourceRoot = ctx.CdRoot;
    ctx.LanguageId = shared::GetLanguageId(ctx.shared);

    LauncherLocalRead check(ctx.shared, ctx.CdRoot, ctx.LanguageId);
    switch (check.ManInfo_CheckLatest()) {
    case shared::CheckLatestResult::EndProgram:
        return LaunchOutcome::EndedByCheck;
    case shared::CheckLatestResult::NotLatest:
        if (check.ManInfo_ShowNotLatest() == platform::mb::IdNo)
            return LaunchOutcome::Declined;
        break;
    case shared::CheckLatestResult::Latest:
        break;
    }
    return openStartPage(ctx) ? LaunchOutcome::Opened : LaunchOutcome::OpenFailed;
}

} // namespace marvek::launcher
