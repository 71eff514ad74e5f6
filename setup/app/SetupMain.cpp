#include "setup/app/SetupMain.h"

#include "platform/InstanceLock.h"
#include "platform/MediaDrives.h"
#include "platform/Platform.h"
#include "platform/ProgramMark.h"
#include "platform/ScreenScript.h"
#include "setup/app/SetupScreens.h"
#include "setup/engine/Startup.h"
#include "setup/window/frmResult.h"

#include <QApplication>

namespace marvek::setup {

int Main() {
    const std::unique_ptr<platform::Platform> os = platform::Platform::fromEnvironment();
    if (!os)
        return 1;
    const platform::InstanceLock instance(os->machine(), QStringLiteral("setup"));
    // One installer on the machine, whichever user started it: another user's running setup is a
    // previous instance too.
    const platform::ProgramMark installing(os->machine(), QStringLiteral("setup"),
                                           platform::ProgramMark::Kind::Exclusive);
    const QString programFolder = platform::programFolder(os->machine());
    const std::unique_ptr<platform::ScreenScript> script = platform::ScreenScript::fromEnvironment();

    SetupContext ctx(*os);
    SetupScreens screens(ctx, ShowResultForm, [] { QCoreApplication::exit(0); });
    switch (StartSetup(ctx, programFolder, instance.previousInstance() || installing.heldByAnother())) {
    case StartOutcome::End:
        return 0;
    case StartOutcome::ShowMenu:
        screens.showMenu();
        break;
    case StartOutcome::ShowResult:
        screens.showResult();
        break;
    }
    return screens.ended() ? 0 : QApplication::exec();
}

} // namespace marvek::setup
