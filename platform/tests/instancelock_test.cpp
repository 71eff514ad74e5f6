#include "platform/InstanceLock.h"
#include "platform/testing/TempMachine.h"

#include <QFile>
#include <QFileInfo>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace marvek::platform;
using marvek::testing::TempMachine;

namespace {

QByteArray lockPath(const TempMachine& machine, const QString& program) {
    return QFile::encodeName(machine.root() + "/run/" + program + "-" + QString::number(getuid()) + ".lock");
}

// The child side of the tests uses plain system calls only (it is forked from a threaded process).
pid_t holdLockInChild(const QByteArray& path, int readyPipe[2], int releasePipe[2]) {
    const pid_t pid = fork();
    if (pid == 0) {
        close(releasePipe[1]);
        close(readyPipe[0]);
        const int fd = open(path.constData(), O_RDWR | O_CREAT, 0644);
        const char ready = (fd >= 0 && flock(fd, LOCK_EX) == 0) ? '1' : '0';
        [[maybe_unused]] ssize_t n = write(readyPipe[1], &ready, 1);
        char release = 0;
        n = read(releasePipe[0], &release, 1);
        _exit(0);
    }
    return pid;
}

TEST(InstanceLock, IsHeldAgainstAnotherProcessUntilItEnds) {
    TempMachine machine;
    {
        const InstanceLock probe(machine.machine(), QStringLiteral("Pagora")); // creates run/ and the file
        EXPECT_FALSE(probe.previousInstance());
    }
    const QByteArray path = lockPath(machine, QStringLiteral("Pagora"));
    ASSERT_TRUE(QFileInfo::exists(QFile::decodeName(path)));

    int ready[2];
    int release[2];
    ASSERT_EQ(pipe(ready), 0);
    ASSERT_EQ(pipe(release), 0);
    const pid_t child = holdLockInChild(path, ready, release);
    ASSERT_GT(child, 0);
    char state = 0;
    ASSERT_EQ(read(ready[0], &state, 1), 1);
    ASSERT_EQ(state, '1');

    EXPECT_TRUE(InstanceLock(machine.machine(), QStringLiteral("Pagora")).previousInstance());
    EXPECT_FALSE(InstanceLock(machine.machine(), QStringLiteral("Mandex")).previousInstance());

    // The lock goes with the process.
    close(release[1]);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    close(release[0]);
    close(ready[0]);
    close(ready[1]);
    EXPECT_FALSE(InstanceLock(machine.machine(), QStringLiteral("Pagora")).previousInstance());
}

TEST(InstanceLock, BlocksAnotherProcessWhileHeldAndIsReleasedOnDestruction) {
    TempMachine machine;
    const QByteArray path = lockPath(machine, QStringLiteral("setup"));
    const auto childCanLock = [&path] {
        const pid_t pid = fork();
        if (pid == 0) {
            const int fd = open(path.constData(), O_RDWR | O_CLOEXEC);
            _exit(fd >= 0 && flock(fd, LOCK_EX | LOCK_NB) == 0 ? 0 : 1);
        }
        int status = 0;
        waitpid(pid, &status, 0);
        return WIFEXITED(status) && WEXITSTATUS(status) == 0;
    };
    {
        const InstanceLock lock(machine.machine(), QStringLiteral("setup"));
        ASSERT_FALSE(lock.previousInstance());
        EXPECT_FALSE(childCanLock());
        // A second holder in the same process counts as a previous instance too.
        EXPECT_TRUE(InstanceLock(machine.machine(), QStringLiteral("setup")).previousInstance());
    }
    EXPECT_TRUE(childCanLock());
}

TEST(InstanceLock, WithoutALockFileThereIsNoPreviousInstance) {
    TempMachine machine;
    ASSERT_TRUE(QFile(machine.root() + "/run").open(QIODevice::WriteOnly)); // a file where the folder belongs
    EXPECT_FALSE(InstanceLock(machine.machine(), QStringLiteral("Pagora")).previousInstance());
}

} // namespace
