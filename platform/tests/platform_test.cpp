#include "TestSupport.h"
#include "platform/Platform.h"

#include <QElapsedTimer>
#include <QTimer>

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
    // The log makes the interface a scripted one: the box takes its default without waiting for a user.
    EXPECT_EQ(platform->ui().messageBox("x", mb::OKCancel, "t"), mb::IdOk);
    EXPECT_EQ(readHostFile(machine.root() + "/ui.log"), "t\t1\tx\t1\tdefault\n");
}
