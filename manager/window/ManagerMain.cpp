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

int Main(int argc, char** argv) {
    // The machine, the marks of the running program and the start routine come before the window
    // system, so that the list is read while the window system starts and the window builds its
    // controls; their boxes wait for it.
    QString refusal;
    const std::unique_ptr<platform::Platform> os = platform::Platform::enter(refusal);
    if (!os) {
        const QApplication app(argc, argv);
        platform::Platform::showRefusal(refusal);
        return 1;
    }
    const platform::InstanceLock instance(os->machine(), QStringLiteral("Mandex"));
    // Tells the installers of every user of the machine that the manager runs (IsManagerClosed).
    const platform::ProgramMark running(os->machine(), platform::ProgramMark::ofThisProgram(),
                                        platform::ProgramMark::Kind::Shared);
    ManagerContext ctx(*os);
    const ManagerStartCheck start =
        CheckManagerStart(ctx, platform::programFolder(os->machine()), instance.previousInstance());
    // The manuals are read on a thread of their own. The small tables are read here meanwhile: on a
    // machine whose other core sleeps, a new thread may wait milliseconds before it first runs. Without
    // a thread to spare the window reads the list itself.
    std::future<ManagerList> list;
    if (start.outcome == ManagerStartOutcome::ShowWindow) {
        auto load = std::make_shared<ManagerListLoad>(ctx);
        std::promise<void> smallTablesRead;
        try {
            list = std::async(std::launch::async, [load, read = smallTablesRead.get_future()] {
                read.wait();
                return load->readManuals();
            });
            load->readSmallTables();
            smallTablesRead.set_value();
        } catch (const std::system_error&) {
        }
    }

    QApplication app(argc, argv);
    if (start.refusal)
        EndManagerWithBox(ctx, start.refusal);
    if (start.outcome == ManagerStartOutcome::End)
        return 0;
    const std::unique_ptr<platform::ScreenScript> script = platform::ScreenScript::fromEnvironment();
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
