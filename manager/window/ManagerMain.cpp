#include "manager/window/ManagerMain.h"

#include "manager/app/ManagerListThread.h"
#include "manager/app/ManagerStart.h"
#include "manager/window/frmMmpMain.h"
#include "platform/InstanceLock.h"
#include "platform/MediaDrives.h"
#include "platform/Platform.h"
#include "platform/ProgramMark.h"
#include "platform/ScreenScript.h"

#include <QApplication>
#include <QThread>
#include <optional>

namespace marvek::manager {

namespace {

// What the start routine leaves for the window: the machine, the marks of the running program and the
// routine's check. None of it needs the window system, so it comes first; the boxes it calls for wait
// for the window system.
struct ManagerStarted {
    QString refusal; // why the machine could not be entered (no machine then)
    std::unique_ptr<platform::Platform> os;
    std::optional<platform::InstanceLock> instance;
    // Tells the installers of every user of the machine that the manager runs (IsManagerClosed).
    std::optional<platform::ProgramMark> running;
    std::optional<ManagerContext> ctx;
    ManagerStartCheck start;

    bool showsWindow() const { return start.outcome == ManagerStartOutcome::ShowWindow; }
};

std::unique_ptr<ManagerStarted> StartUp() {
    auto started = std::make_unique<ManagerStarted>();
    started->os = platform::Platform::enter(started->refusal);
    if (!started->os)
        return started;
    const platform::Machine& machine = started->os->machine();
    started->instance.emplace(machine, QStringLiteral("Mandex"));
    started->running.emplace(machine, platform::ProgramMark::ofThisProgram(),
                             platform::ProgramMark::Kind::Shared);
    ManagerContext& ctx = started->ctx.emplace(*started->os);
    // The database is opened by the list thread.
    started->start = CheckManagerStartBeforeDatabase(ctx, platform::programFolder(machine),
                                                     started->instance->previousInstance());
    return started;
}

} // namespace

int Main(int argc, char** argv) {
    // Qt takes the first thread that makes a Qt object for the program's main thread: this one, before
    // the list thread makes any.
    QThread::currentThread();
    // Declared before the list thread, so that the thread is waited for before the context it reads goes.
    std::unique_ptr<ManagerStarted> started;
    ManagerListThread listThread;
    started = StartUp();
    if (started->showsWindow())
        listThread.read(*started->ctx);

    QApplication app(argc, argv);
    if (!started->os) {
        platform::Platform::showRefusal(started->refusal);
        return 1;
    }
    ManagerContext& ctx = *started->ctx;
    if (started->start.refusal)
        EndManagerWithBox(ctx, started->start.refusal);
    if (!started->showsWindow())
        return 0;
    if (!listThread.opened()) {
        EndManagerWithBox(ctx, NoDatabase);
        return 0;
    }
    const std::unique_ptr<platform::ScreenScript> script = platform::ScreenScript::fromEnvironment();
    bool ended = false;
    frmMmpMain window(
        ctx,
        [&ended] {
            ended = true;
            QCoreApplication::exit(0);
        },
        listThread.take());
    if (ended || !window.loaded())
        return 0;
    started->os->ui().setOwner(&window);
    window.show();
    return QApplication::exec();
}

} // namespace marvek::manager
