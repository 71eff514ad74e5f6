#include "TestSupport.h"
#include "platform/Platform.h"

#include <QElapsedTimer>
#include <memory>
#include <string>

// A fresh prefix gets its C: drive. (The interface the environment chooses is checked with the interfaces.)
TEST(Platform, FromEnvironmentUsesThePrefixAndMakesItsSystemDrive) {
    TempMachine machine;
    QDir(machine.root() + "/drives").removeRecursively();
    const auto platform = Platform::fromEnvironment();
    EXPECT_EQ(platform->machine().root(), machine.root());
    EXPECT_TRUE(QDir(machine.root() + "/drives/c").exists());
}

// The real clock sleeps as long as asked unless MARVEK_MAX_SLEEP_MS holds a whole number >= 0, which then
// caps every sleep (0: no sleep at all). Each row: the variable's value, the sleep asked, the least and the
// most milliseconds it may take.
TEST(Platform, RealClockSleepsAsAskedUnlessTheEnvironmentCapsIt) {
    struct Row {
        const char* cap;
        int asked;
        qint64 atLeast;
        qint64 below;
    };
    const Row rows[] = {
        {nullptr, 60, 60, 5000}, {"", 60, 60, 5000},   {"abc", 60, 60, 5000},  {"-5", 60, 60, 5000},
        {"20x", 60, 60, 5000},   {"0", 5000, 0, 1000}, {"15", 5000, 15, 1000}, {"15", 8, 8, 1000},
        {"15", 0, 0, 1000},      {"15", -3, 0, 1000},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.cap ? row.cap : "(unset)") + " / " + std::to_string(row.asked));
        const ScopedEnvironment cap("MARVEK_MAX_SLEEP_MS", row.cap);
        const std::unique_ptr<RealClock> clock = RealClock::fromEnvironment();
        QElapsedTimer timer;
        timer.start();
        clock->sleepMs(row.asked);
        const qint64 took = timer.elapsed();
        EXPECT_GE(took, row.atLeast);
        EXPECT_LT(took, row.below);
    }
}
