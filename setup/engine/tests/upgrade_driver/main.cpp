// A test fixture: the installer's database upgrade as a process of its own, on the machine of
// MARVEK_ROOT with the settings of the upgrade tests. It kills itself (SIGKILL, as a power cut or
// kill -9 would end it) at the step MARVEK_KILL_AT_STEP names: the steps are counted before every
// operation that changes a file and before every wait. Exit code 0 when the upgrade succeeded, 1 when
// it answered False, 2 when the database did not open.
#include "../UpgradeSettings.h"
#include "platform/Platform.h"
#include "platform/testing/FileFaults.h"
#include "setup/engine/DatabaseUpgrade.h"

#include <QCoreApplication>
#include <csignal>
#include <memory>
#include <unistd.h>

using namespace marvek;

int main(int argc, char** argv) {
    const QCoreApplication app(argc, argv);
    const int killAt = qEnvironmentVariableIntValue("MARVEK_KILL_AT_STEP");
    int steps = 0;
    const auto step = [&steps, killAt] {
        if (++steps == killAt)
            ::kill(::getpid(), SIGKILL);
    };

    auto clock = std::make_unique<platform::TestClock>();
    clock->onSleep = step;
    platform::Platform os(platform::Machine::fromEnvironment(),
                          std::make_unique<platform::ScriptedUserInterface>(), std::move(clock));
    os.setFileFaultPolicy(
        std::make_unique<testing::FileFaultFunction>([&step](platform::FileOperation, const QString&) {
            step();
            return false;
        }));
    setup::SetupContext ctx(os);
    testing::SetUpgradeSettings(ctx);
    if (!ctx.db.Database.Pcls_MdbOpen(ctx.DatabasePath))
        return 2;
    const bool upgraded = setup::DatabaseUpgrade(ctx);
    ctx.db.Database.Release();
    return upgraded ? 0 : 1;
}
