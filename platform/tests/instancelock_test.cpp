#include "TestSupport.h"
#include "platform/InstanceLock.h"

#include <QProcess>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool anotherProcessCanLock(const QString& path) {
    return QProcess::execute("flock", {"--nonblock", path, "true"}) == 0;
}

TEST(InstanceLock, IsHeldAgainstOtherInstancesUntilReleased) {
    TempMachine machine;
    QString path;
    {
        const InstanceLock lock(machine.machine(), "Pagora"); // creates the file
        path = lock.file();
        EXPECT_EQ(QFileInfo(path).absolutePath(), RuntimeFolder::ofUser().path());
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
}

// Without a safe runtime folder there is no lock file and no previous instance; a link put where the
// lock file belongs is not followed (nothing is made or locked where it leads).
TEST(InstanceLock, NeedsAPrivateFolderAndFollowsNoLink) {
    TempMachine machine;
    QTemporaryDir places;
    const QString temp = places.path() + "/tmp";
    ASSERT_TRUE(QDir().mkpath(temp));
    ASSERT_EQ(::chmod(QFile::encodeName(temp).constData(), 0777), 0); // shared, not sticky
    const RuntimeFolder refused = RuntimeFolder::open(QString(), temp, ::geteuid());
    ASSERT_FALSE(refused.isValid());
    const InstanceLock none(refused, machine.machine(), "Pagora");
    EXPECT_TRUE(none.file().isEmpty());
    EXPECT_FALSE(none.previousInstance());
    EXPECT_FALSE(InstanceLock(refused, machine.machine(), "Pagora").previousInstance());

    ASSERT_EQ(::chmod(QFile::encodeName(temp).constData(), 01777), 0);
    const RuntimeFolder folder = RuntimeFolder::open(QString(), temp, ::geteuid());
    ASSERT_TRUE(folder.isValid());
    const QString target = places.path() + "/elsewhere.lock";
    ASSERT_TRUE(QFile::link(target, folder.entry("Pagora", machine.machine()) + ".lock"));
    const InstanceLock linked(folder, machine.machine(), "Pagora");
    EXPECT_FALSE(linked.previousInstance());
    EXPECT_FALSE(QFileInfo::exists(target));
}

} // namespace
