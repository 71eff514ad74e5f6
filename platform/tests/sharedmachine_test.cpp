#include "TestSupport.h"
#include "platform/Acl.h"
#include "platform/ProgramMark.h"
#include "platform/SharedMachine.h"

#include <QProcess>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The umask of this process, unchanged.
mode_t currentUmask() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

// Restores the process's umask when a test has changed it.
class UmaskGuard {
public:
    explicit UmaskGuard(mode_t mask) : m_old(::umask(mask)) {}
    ~UmaskGuard() { ::umask(m_old); }
    UmaskGuard(const UmaskGuard&) = delete;
    UmaskGuard& operator=(const UmaskGuard&) = delete;

private:
    mode_t m_old;
};

mode_t modeOf(const QString& path) {
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_mode & 07777 : 0;
}

bool setMode(const QString& path, mode_t mode) {
    return ::chmod(QFile::encodeName(path).constData(), mode) == 0;
}

QString groupName(gid_t gid) {
    const group* entry = ::getgrgid(gid);
    return entry ? QString::fromLocal8Bit(entry->gr_name) : QString::number(gid);
}

bool anotherProcessHolds(const QString& path) {
    return QProcess::execute("flock", {"--nonblock", "--exclusive", path, "true"}) != 0;
}

} // namespace

// A machine is shared when its root carries the set-group-ID bit; its group then stands for the users
// group, and a program working on it makes everything group-writable while the bits for others stay as
// the user chose them.
TEST(SharedMachine, TheSetGroupIdRootMakesTheMachineTheGroups) {
    TempMachine temp;
    const Machine& machine = temp.machine();
    const UmaskGuard mask(027);
    EXPECT_FALSE(sharedMachineGroup(machine));
    EXPECT_EQ(enterMachine(machine), "");
    EXPECT_EQ(currentUmask(), mode_t(027)) << "a machine of one user leaves the umask alone";
    EXPECT_FALSE(sharedMachineGroup(Machine(temp.root() + "/missing")));
    if (!usersGroupName(machine).isEmpty()) {
        EXPECT_EQ(usersGroupName(machine), "users");
    }

    ASSERT_TRUE(setMode(temp.root(), 02770));
    const std::optional<MachineGroup> group = sharedMachineGroup(machine);
    ASSERT_TRUE(group);
    EXPECT_EQ(group->id, ::getegid());
    EXPECT_EQ(group->name, groupName(::getegid()));
    EXPECT_EQ(usersGroupName(machine), group->name);

    EXPECT_EQ(enterMachine(machine), "");
    EXPECT_EQ(currentUmask(), mode_t(007));
    ASSERT_TRUE(QDir().mkpath(temp.root() + "/Made/Below"));
    QFile file(temp.root() + "/Made/Below/file.txt");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    EXPECT_EQ(modeOf(temp.root() + "/Made/Below") & 02070, mode_t(02070));
    EXPECT_EQ(modeOf(file.fileName()), mode_t(0660));
}

// A user who may not write to a shared machine is told which group to join before anything is written.
// (root may write anywhere: the refusal of a real user outside the group is tested with throw-away
// accounts in setup/tests/system_machine_test.cpp.)
TEST(SharedMachine, AUserWhoMayNotWriteIsToldTheGroupAndTheCommand) {
    if (::geteuid() == 0)
        GTEST_SKIP() << "root may write to any folder";
    TempMachine temp;
    const UmaskGuard mask(022);
    ASSERT_TRUE(setMode(temp.root(), 02555));
    const QString refusal = enterMachine(temp.machine());
    ASSERT_TRUE(setMode(temp.root(), 0755));
    EXPECT_TRUE(refusal.contains("\"" + groupName(::getegid()) + "\"")) << refusal.toStdString();
    EXPECT_TRUE(refusal.contains("sudo adduser ")) << refusal.toStdString();
    EXPECT_TRUE(refusal.contains(temp.root())) << refusal.toStdString();
}

// The program marks: shared ones are held by many at once and seen by the check; an exclusive one
// admits one holder; all of them go with their holder, and the check needs no write access.
TEST(ProgramMark, IsSeenByEveryUserOfTheMachineWhileItsProgramRuns) {
    TempMachine temp;
    const Machine& machine = temp.machine();
    const QString file = ProgramMark::file(machine, "Mandex.exe");
    EXPECT_EQ(file, temp.root() + "/run/Mandex.exe.lock");
    EXPECT_EQ(ProgramMark::file(machine, "a/b\\c"), temp.root() + "/run/a_b_c.lock");
    EXPECT_FALSE(ProgramMark::isRunning(machine, "Mandex.exe")) << "no file, no program";
    {
        const ProgramMark first(machine, "Mandex.exe", ProgramMark::Kind::Shared);
        const ProgramMark second(machine, "Mandex.exe", ProgramMark::Kind::Shared);
        EXPECT_FALSE(first.heldByAnother() || second.heldByAnother());
        EXPECT_TRUE(ProgramMark::isRunning(machine, "Mandex.exe"));
        EXPECT_TRUE(anotherProcessHolds(file));
        EXPECT_FALSE(ProgramMark::isRunning(machine, "mandex.exe")) << "names compare exactly";
        ASSERT_TRUE(setMode(file, 0444));
        EXPECT_TRUE(ProgramMark::isRunning(machine, "Mandex.exe")) << "the check only reads";
    }
    EXPECT_FALSE(ProgramMark::isRunning(machine, "Mandex.exe"));
    EXPECT_FALSE(anotherProcessHolds(file));
    {
        const ProgramMark installer(machine, "setup", ProgramMark::Kind::Exclusive);
        EXPECT_FALSE(installer.heldByAnother());
        EXPECT_TRUE(ProgramMark(machine, "setup", ProgramMark::Kind::Exclusive).heldByAnother());
        EXPECT_TRUE(ProgramMark::isRunning(machine, "setup"));
    }
    EXPECT_FALSE(ProgramMark(machine, "setup", ProgramMark::Kind::Exclusive).heldByAnother());

    // Another process holds the installer's mark; it goes with the process.
    QProcess holder;
    holder.start("/bin/sh", {"-c", "exec 9>>\"$0\" && flock 9 && echo held && exec sleep 30",
                             ProgramMark::file(machine, "setup")});
    ASSERT_TRUE(holder.waitForReadyRead(10000));
    EXPECT_TRUE(ProgramMark(machine, "setup", ProgramMark::Kind::Exclusive).heldByAnother());
    holder.kill();
    ASSERT_TRUE(holder.waitForFinished(10000));
    EXPECT_FALSE(ProgramMark(machine, "setup", ProgramMark::Kind::Exclusive).heldByAnother());
    EXPECT_EQ(ProgramMark::ofThisProgram(), "platform_tests");
}
