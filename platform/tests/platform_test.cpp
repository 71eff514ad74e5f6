#include "platform/Platform.h"
#include "platform/testing/TempMachine.h"

#include <QDir>
#include <QElapsedTimer>
#include <QTimer>
#include <gtest/gtest.h>

using namespace marvek::platform;
using marvek::testing::TempMachine;

namespace {

TEST(Clock, TestClockCountsWithoutWaiting) {
    TestClock clock;
    int ticks = 0;
    clock.onSleep = [&ticks] {
        ++ticks;
    };
    QElapsedTimer elapsed;
    elapsed.start();
    clock.sleepMs(1000);
    clock.sleepMs(2000);
    clock.sleepMs(-5);
    clock.processEvents();
    EXPECT_LT(elapsed.elapsed(), 500);
    EXPECT_EQ(clock.sleptMs(), 3000);
    EXPECT_EQ(clock.sleeps(), 3);
    EXPECT_EQ(clock.eventPumps(), 1);
    EXPECT_EQ(ticks, 3);
}

TEST(Clock, RealClockSleepsAndRunsPendingEvents) {
    RealClock clock;
    bool ran = false;
    QTimer::singleShot(0, [&ran] { ran = true; });
    QElapsedTimer elapsed;
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
    qputenv("MARVEK_UI_LOG", QFile::encodeName(machine.root() + "/ui.log"));
    const std::unique_ptr<Platform> platform = Platform::fromEnvironment();
    qunsetenv("MARVEK_UI_LOG");

    EXPECT_EQ(platform->machine().root(), machine.root());
    EXPECT_TRUE(QDir(machine.root() + "/drives/c").exists());
    EXPECT_NE(dynamic_cast<ScriptedUserInterface*>(&platform->ui()), nullptr);
    EXPECT_NE(dynamic_cast<RealClock*>(&platform->clock()), nullptr);
    EXPECT_EQ(&platform->processes(), &platform->processes());
    EXPECT_EQ(platform->ui().messageBox("x", mb::OKCancel, "t"), mb::IdOk);
}

} // namespace
