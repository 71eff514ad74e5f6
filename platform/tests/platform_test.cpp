#include "TestSupport.h"
#include "platform/Platform.h"
#include "platform/testing/TempMachine.h"

#include <QElapsedTimer>
#include <QTimer>

using namespace marvek::platform;
using marvek::testing::TempMachine;

// The test clock is exercised by the tests of the waiting helpers that use it.
TEST(Clock, RealClockSleepsAndRunsPendingEvents) {
    QElapsedTimer elapsed;
    RealClock clock;
    bool ran = false;
    QTimer::singleShot(0, [&ran] { ran = true; });
    elapsed.start();
    clock.sleepMs(30);
    EXPECT_GE(elapsed.elapsed(), 30);
    EXPECT_FALSE(ran);
    clock.processEvents();
    EXPECT_TRUE(ran);
}

TEST(Platform, FromEnvironmentUsesThePrefixAndTheScriptedInterface) {
    TempMachine machine;
    QDir(machine.root() + "/drives").removeRecursively();
    const auto platform = [&machine] {
        const ScopedEnvironment log("MARVEK_UI_LOG", QFile::encodeName(machine.root() + "/ui.log"));
        return Platform::fromEnvironment();
    }();
    EXPECT_EQ(platform->machine().root(), machine.root());
    EXPECT_TRUE(QDir(machine.root() + "/drives/c").exists());
    EXPECT_NE(dynamic_cast<ScriptedUserInterface*>(&platform->ui()), nullptr);
    EXPECT_NE(dynamic_cast<RealClock*>(&platform->clock()), nullptr);
    EXPECT_EQ(platform->ui().messageBox("x", mb::OKCancel, "t"), mb::IdOk);
}
