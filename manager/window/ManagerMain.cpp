#include "manager/window/ManagerMain.h"

#include "manager/app/ManagerStart.h"
#include "manager/window/frmMmpMain.h"
#include "platform/InstanceLock.h"
#include "platform/MediaDrives.h"
#include "platform/Platform.h"
#include "platform/ProgramMark.h"
#include "platform/ScreenScript.h"

#include <QApplication>
#include <future>
#include <system_error>

namespace marvek::manager {

int Main() {
    const std::unique_ptr<platform::Platform> os = platform::Platform::fromEnvironment();
    if (!os)
        return 1;
    const platform::InstanceLock instance(os->machine(), QStringLiteral("Mandex"));
    // Tells the installers of every user of the machine that the manager runs (IsManagerClosed).
    const platform::ProgramMark running(os->machine(), platform::ProgramMark::ofThisProgram(),
                                        platform::ProgramMark::Kind::Shared);
    const QString programFolder = platform::programFolder(os->machine());
    const std::unique_ptr<platform::ScreenScript> script = platform::ScreenScript::fromEnvironment();

    ManagerContext ctx(*os);
    if (StartManager(ctx, programFolder, instance.previousInstance()) == ManagerStartOutcome::End)
        return 0;
    // The list is read while the window builds its controls and loads its fonts; without a thread to
    // spare the window reads it itself.
    std::future<ManagerList> list;
    try {
        list = std::async(std::launch::async, [&ctx] { return LoadManagerList(ctx); });
    } catch (const std::system_error&) {
    }
    bool ended = false;
    frmMmpMain window(
        ctx,
        [&ended] {
            ended = true;
            QCoreApplication::exit(0);
        },
        std::move(list));
    if (ended || !window.loaded())
        return 0;
    os->ui().setOwner(&window);
    window.show();
    return QApplication::exec();
}

} // namespace marvek::manager
