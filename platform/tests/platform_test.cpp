#include "TestSupport.h"
#include "platform/Platform.h"

// A fresh prefix gets its C: drive. (The interface the environment chooses is checked with the interfaces.)
TEST(Platform, FromEnvironmentUsesThePrefixAndMakesItsSystemDrive) {
    TempMachine machine;
    QDir(machine.root() + "/drives").removeRecursively();
    const auto platform = Platform::fromEnvironment();
    EXPECT_EQ(platform->machine().root(), machine.root());
    EXPECT_TRUE(QDir(machine.root() + "/drives/c").exists());
}
