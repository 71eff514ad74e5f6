// ManualLink.exe, the manual-link component's program: opens an installed manual by its publication number.
#include "cd/companions/manual_link/ManualLink.h"
#include "platform/MediaDrives.h"
#include "platform/Platform.h"
#include "shared/config/Language.h"
#include "shared/helpers/ShellHelpers.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const std::unique_ptr<marvek::platform::Platform> os = marvek::platform::Platform::fromEnvironment();
    if (!os)
        return 1;
    marvek::shared::SharedContext ctx(*os, QStringLiteral("ManualLink"));
    ctx.setProgramFolder(marvek::platform::programFolder(os->machine()));
    ctx.LanguageCode = marvek::shared::GetLanguageCode(ctx);
    ctx.UserName = marvek::shared::GetLoginUserName(ctx);
    ctx.AppTitle = QStringLiteral("ManualLink");
    const QString commandLine = QCoreApplication::arguments().mid(1).join(QLatin1Char(' '));
    return static_cast<int>(marvek::companions::OpenInstalledManual(ctx, commandLine));
}
