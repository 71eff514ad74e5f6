#include "TestSupport.h"
#include "platform/InstanceLock.h"
#include "platform/testing/TempMachine.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace marvek::platform;
using marvek::testing::TempMachine;

namespace {

// The children below use plain system calls only (they are forked from a threaded process).

bool anotherProcessCanLock(const QByteArray& path) {
    const pid_t pid = fork();
    if (pid == 0) {
        const int fd = open(path.constData(), O_RDWR | O_CLOEXEC);
        _exit(fd >= 0 && flock(fd, LOCK_EX | LOCK_NB) == 0 ? 0 : 1);
    }
    int status = 0;
    return pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// A process that takes the lock and keeps it until it is killed; its id once it holds the lock, else -1.
pid_t holdLockInChild(const QByteArray& path) {
    int ready[2];
    if (pipe(ready) != 0)
        return -1;
    const pid_t pid = fork();
    if (pid == 0) {
        const int fd = open(path.constData(), O_RDWR | O_CREAT, 0644);
        const char state = (fd >= 0 && flock(fd, LOCK_EX) == 0) ? '1' : '0';
        [[maybe_unused]] const ssize_t written = write(ready[1], &state, 1);
        while (true)
            pause();
    }
    close(ready[1]);
    char state = 0;
    const bool held = pid > 0 && read(ready[0], &state, 1) == 1 && state == '1';
    close(ready[0]);
    if (pid > 0 && !held) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
    return held ? pid : -1;
}

TEST(InstanceLock, IsHeldAgainstOtherInstancesUntilReleased) {
    TempMachine machine;
    const QByteArray path =
        QFile::encodeName(machine.root() + "/run/Pagora-" + QString::number(getuid()) + ".lock");
    {
        const InstanceLock lock(machine.machine(), "Pagora"); // creates run/ and the file
        ASSERT_FALSE(lock.previousInstance());
        EXPECT_FALSE(anotherProcessCanLock(path));
        // A second holder in the same process counts as a previous instance too.
        EXPECT_TRUE(InstanceLock(machine.machine(), "Pagora").previousInstance());
    }
    EXPECT_TRUE(anotherProcessCanLock(path));

    const pid_t child = holdLockInChild(path);
    ASSERT_GT(child, 0);
    EXPECT_TRUE(InstanceLock(machine.machine(), "Pagora").previousInstance());
    EXPECT_FALSE(InstanceLock(machine.machine(), "Mandex").previousInstance());
    // The lock goes with the process.
    ASSERT_EQ(kill(child, SIGKILL), 0);
    ASSERT_EQ(waitpid(child, nullptr, 0), child);
    EXPECT_FALSE(InstanceLock(machine.machine(), "Pagora").previousInstance());
}

TEST(InstanceLock, WithoutALockFileThereIsNoPreviousInstance) {
    TempMachine machine;
    ASSERT_TRUE(writeHostFile(machine.root() + "/run", "")); // a file where the folder belongs
    EXPECT_FALSE(InstanceLock(machine.machine(), "Pagora").previousInstance());
}

} // namespace
