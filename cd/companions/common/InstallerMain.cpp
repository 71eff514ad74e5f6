#include "cd/companions/common/InstallerMain.h"

#include "platform/MediaDrives.h"
#include "platform/Platform.h"
#include "shared/config/Language.h"
#include "shared/helpers/ShellHelpers.h"

#include <QCoreApplication>

namespace marvek::companions {

int RunInstaller(int argc, char** argv,
                 const std::function<int(shared::SharedContext& ctx, const QStringList& arguments)>& run) {
    QCoreApplication app(argc, argv);
    const std::unique_ptr<platform::Platform> os = platform::Platform::fromEnvironment();
    if (!os)
        return 1;
    // Each installer is "setup.exe" on the CD.
    shared::SharedContext ctx(*os, QStringLiteral("setup"));
    ctx.setProgramFolder(platform::programFolder(os->machine()));
    ctx.LanguageCode = shared::GetLanguageCode(ctx);
    ctx.UserName = shared::GetLoginUserName(ctx);
    return run(ctx, QCoreApplication::arguments().mid(1));
}

} // namespace marvek::companions
