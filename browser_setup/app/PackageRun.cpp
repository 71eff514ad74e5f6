#include "browser_setup/app/PackageRun.h"

namespace marvek::browser_setup {

namespace {

// A turn of the wait sleeps this long after running the pending events, so that the wait does not
// keep a processor busy while the package installs.
constexpr int WaitTurnMs = 10;

} // namespace

QString PackageName(const QString& languageCode) {
    return QLatin1String(languageCode == u"11" ? PackageJapanese : PackageOther);
}

bool GFncSetup_Run(const PagosetContext& ctx, const QString& packagePath) {
    if (!ctx.os.files().fileExists(packagePath))
        return false;
    // The host starts a program file with its own path in front of the arguments, so the package gets
    // exactly the switches as its arguments.
    const QString commandLine =
        QLatin1Char('"') + packagePath + QStringLiteral("\" ") + QLatin1String(InstallerSwitches);
    const std::unique_ptr<platform::ChildProcess> child =
        ctx.os.processes().start(commandLine, platform::WindowMode::Normal);
    if (!child)
        return false;
    platform::Clock& clock = ctx.os.clock();
    quint32 code = platform::STILL_ACTIVE;
    do {
        code = child->exitCode();
        clock.processEvents();
        if (code == platform::STILL_ACTIVE)
            clock.sleepMs(WaitTurnMs);
    } while (code == platform::STILL_ACTIVE);
    return true;
}

} // namespace marvek::browser_setup
