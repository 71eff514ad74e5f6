#include "TestSupport.h"
#include "platform/Platform.h"
#include "platform/testing/TempMachine.h"

#include <QElapsedTimer>
#include <QTimer>

using namespace marvek::platform;
using marvek::testing::TempMachine;

TEST(Clock, TestClockCountsAndRealClockSleepsAndRunsPendingEvents) {
    TestClock test;
    int ticks = 0;
    test.onSleep = [&ticks] {
        ++ticks;
    };
    QElapsedTimer elapsed;
    elapsed.start();
    test.sleepMs(1000);
    test.sleepMs(2000);
    test.sleepMs(-5);
    test.processEvents();
    EXPECT_LT(elapsed.elapsed(), 500); // without waiting
    EXPECT_EQ(test.sleptMs(), 3000);
    EXPECT_EQ(test.sleeps(), 3);
    EXPECT_EQ(test.eventPumps(), 1);
    EXPECT_EQ(ticks, 3);

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
