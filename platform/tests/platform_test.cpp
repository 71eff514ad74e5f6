#include "TestSupport.h"
#include "platform/Platform.h"

// A fresh prefix gets its C: drive, and a dialog log makes the interface a scripted one.
TEST(Platform, FromEnvironmentUsesThePrefixAndTheScriptedInterface) {
    TempMachine machine;
    QDir(machine.root() + "/drives").removeRecursively();
    const ScopedEnvironment log("MARVEK_UI_LOG", QFile::encodeName(machine.root() + "/ui.log"));
    const auto platform = Platform::fromEnvironment();
    EXPECT_EQ(platform->machine().root(), machine.root());
    EXPECT_TRUE(QDir(machine.root() + "/drives/c").exists());
    EXPECT_EQ(platform->ui().messageBox("x", mb::OKCancel, "t"), mb::IdOk); // no user to wait for
}
