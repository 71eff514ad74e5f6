#include "TestSupport.h"
#include "platform/InstanceLock.h"

#include <QProcess>
#include <unistd.h>

namespace {

bool anotherProcessCanLock(const QString& path) {
    return QProcess::execute("flock", {"--nonblock", path, "true"}) == 0;
}

TEST(InstanceLock, IsHeldAgainstOtherInstancesUntilReleased) {
    TempMachine machine;
    const QString path = machine.root() + "/run/Pagora-" + QString::number(getuid()) + ".lock";
    {
        const InstanceLock lock(machine.machine(), "Pagora"); // creates run/ and the file
        ASSERT_FALSE(lock.previousInstance());
        EXPECT_FALSE(anotherProcessCanLock(path));
        // A second holder in the same process counts as a previous instance too.
        EXPECT_TRUE(InstanceLock(machine.machine(), "Pagora").previousInstance());
    }
    EXPECT_TRUE(anotherProcessCanLock(path));

    // Another process holds the lock (one process: the shell becomes the sleep that keeps the file open).
    QProcess holder;
    holder.start("/bin/sh", {"-c", "exec 9>\"$0\" && flock 9 && echo held && exec sleep 30", path});
    ASSERT_TRUE(holder.waitForReadyRead(10000));
    EXPECT_TRUE(InstanceLock(machine.machine(), "Pagora").previousInstance());
    EXPECT_FALSE(InstanceLock(machine.machine(), "Mandex").previousInstance());
    // The lock goes with the process.
    holder.kill();
    ASSERT_TRUE(holder.waitForFinished(10000));
    EXPECT_FALSE(InstanceLock(machine.machine(), "Pagora").previousInstance());

    // Without a lock file (a file where its folder belongs) there is no previous instance.
    ASSERT_TRUE(QDir(machine.root() + "/run").removeRecursively());
    ASSERT_TRUE(writeHostFile(machine.root() + "/run", ""));
    EXPECT_FALSE(InstanceLock(machine.machine(), "Pagora").previousInstance());
}

} // namespace
