#include "launcher/AutRunMain.h"
#include "platform/InstanceLock.h"
#include "platform/MediaDrives.h"

#include <QApplication>
#include <exception>

// The launcher's entry point. It takes no arguments, has no window of its own and ends after one pass;
// every run-time failure ends it without a message.
int main(int argc, char** argv) {
    QApplication app(argc, argv);
    try {
        using namespace marvek;
        const std::unique_ptr<platform::Platform> os = platform::Platform::fromEnvironment();
        if (!os)
            return 1;
        const platform::InstanceLock instance(os->machine(), QLatin1String(launcher::ProgramName));
        launcher::LauncherContext context(*os, platform::programFolder(os->machine()));
        launcher::RunStartSequence(context, instance.previousInstance());
    } catch (...) {
    }
    return 0;
}
