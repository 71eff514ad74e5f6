#include "platform/Processes.h"
#include "platform/testing/TempMachine.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

// Readable failure messages for Qt texts.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}
inline void PrintTo(const QByteArray& bytes, std::ostream* out) {
    *out << '"' << bytes.toStdString() << '"';
}

using namespace marvek::platform;
using marvek::testing::TempMachine;

namespace {

struct SplitCase {
    const char* commandLine;
    QStringList expected;
};

TEST(SplitWindowsCommandLine, FollowsTheRulesOfCommandLineToArgvW) {
    const SplitCase cases[] = {
        {"", {}},
        {"prog", {"prog"}},
        {"\"abc\" d e", {"abc", "d", "e"}},
        {"prog a\\\\\\b d\"e f\"g h", {"prog", "a\\\\\\b", "de fg", "h"}},
        {"prog a\\\\\\\"b c d", {"prog", "a\\\"b", "c", "d"}},
        {"prog a\\\\\\\\\"b c\" d e", {"prog", "a\\\\b c", "d", "e"}},
        // A quote pair inside a quoted part is a literal quote and ends the part.
        {"prog a\"b\"\" c d", {"prog", "ab\"", "c", "d"}},
        {"prog \"a b c\"\"", {"prog", "a b c\""}},
        {"prog \"\"\"CallMe\"\"\" b", {"prog", "\"CallMe\"", "b"}},
        {"prog a\"\"b", {"prog", "ab"}},
        {"prog \"\"\"\"", {"prog", "\""}},
        {"prog \"\" \"\"", {"prog", "", ""}},
        {"prog \\\\\\\\\"", {"prog", "\\\\"}},
        {"prog \t a \t\tb  ", {"prog", "a", "b"}},
        {"prog \"unterminated arg", {"prog", "unterminated arg"}},
        // The program name: no backslash processing; quoted up to the next quote, else up to a blank.
        {"C:\\a\\\"b c", {"C:\\a\\\"b", "c"}},
        {"\"C:\\Program Files\\x.exe\"arg", {"C:\\Program Files\\x.exe", "arg"}},
        {"\"C:\\Pro\\\" x", {"C:\\Pro\\", "x"}},
        {"C:\\Program Files\\x.exe /VERYSILENT /SP-", {"C:\\Program", "Files\\x.exe", "/VERYSILENT", "/SP-"}},
        {" leading", {"", "leading"}},
    };
    for (const SplitCase& c : cases)
        EXPECT_EQ(splitWindowsCommandLine(QString::fromUtf8(c.commandLine)), c.expected) << c.commandLine;
}

// A test machine with program files written at Windows paths.
class ProcessesTest : public ::testing::Test {
protected:
    void writeProgram(const QString& windowsPath, const QByteArray& content, bool executable = true) {
        ASSERT_TRUE(machine.writeFile(windowsPath, content));
        QFile::Permissions permissions =
            QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther;
        if (executable)
            permissions |= QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther;
        ASSERT_TRUE(QFile::setPermissions(machine.host(windowsPath), permissions));
    }

    // Waits (for real, briefly) until a child has ended; its exit code, or STILL_ACTIVE on time-out.
    static quint32 waitForExit(ChildProcess& child) {
        const QDeadlineTimer deadline(10000);
        quint32 code = child.exitCode();
        while (code == STILL_ACTIVE && !deadline.hasExpired()) {
            QThread::msleep(5);
            code = child.exitCode();
        }
        return code;
    }

    static QByteArray waitForFile(const QString& hostPath) {
        const QDeadlineTimer deadline(10000);
        while (!deadline.hasExpired()) {
            QFile file(hostPath);
            if (file.open(QIODevice::ReadOnly)) {
                const QByteArray content = file.readAll();
                if (content.endsWith("END\n"))
                    return content;
            }
            QThread::msleep(5);
        }
        return {};
    }

    TempMachine machine;
    Processes processes{machine.machine()};
};

// Writes each argument on a line of its own into the file named by the first argument.
const QByteArray ArgumentWriter =
    "#!/bin/sh\nout=\"$1\"; shift\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"$out\"\n"
    "echo END >> \"$out\"\n";

TEST_F(ProcessesTest, ResolvesAnUnquotedProgramPathWithBlanksAsWindowsDoes) {
    writeProgram(QStringLiteral("C:\\Program Files\\Tool\\run me.exe"), ArgumentWriter);
    const auto command =
        processes.resolve(QStringLiteral("C:\\Program Files\\Tool\\run me.exe arg \"two words\""));
    ASSERT_TRUE(command.has_value());
    EXPECT_EQ(command->program, machine.host(QStringLiteral("C:\\Program Files\\Tool\\run me.exe")));
    EXPECT_EQ(command->arguments, QStringList({"arg", "two words"}));

    // ".exe" is tried for a name without extension, and the shortest existing prefix wins, as on Windows.
    const auto withoutExtension = processes.resolve(QStringLiteral("C:\\Program Files\\Tool\\run me /S"));
    ASSERT_TRUE(withoutExtension.has_value());
    EXPECT_EQ(withoutExtension->arguments, QStringList({"/S"}));
    // A quoted program is taken as it stands.
    EXPECT_FALSE(processes.resolve(QStringLiteral("\"C:\\Program Files\\Tool\\run\" me.exe")).has_value());
    EXPECT_FALSE(processes.resolve(QStringLiteral("\"C:\\Program Files\\Tool\\nothing.exe\" x")).has_value());
    EXPECT_FALSE(processes.resolve(QStringLiteral("C:\\Program Files\\Tool\\nothing.exe")).has_value());
    EXPECT_FALSE(processes.resolve(QStringLiteral("   ")).has_value());

    writeProgram(QStringLiteral("C:\\Program.exe"), ArgumentWriter);
    const auto shadowed = processes.resolve(QStringLiteral("C:\\Program Files\\Tool\\run me.exe arg"));
    ASSERT_TRUE(shadowed.has_value());
    EXPECT_EQ(shadowed->program, machine.host(QStringLiteral("C:\\Program.exe")));
    EXPECT_EQ(shadowed->arguments, QStringList({"Files\\Tool\\run", "me.exe", "arg"}));
}

TEST_F(ProcessesTest, MapsDrivePathArgumentsOnly) {
    writeProgram(QStringLiteral("C:\\Tools\\Viewer"), ArgumentWriter);
    const QString cd = machine.addDrive(u'D');
    const auto command =
        processes.resolve(QStringLiteral("C:\\Tools\\Viewer.exe \"D:\\Some Folder\\page.html\" D: d:\\x "
                                         "/VERYSILENT 1 http://host/a Q:\\missing"));
    ASSERT_TRUE(command.has_value());
    EXPECT_EQ(command->program, machine.host(QStringLiteral("C:\\Tools\\Viewer")));
    // D: is reached through the drive's entry in the prefix.
    const QString d = machine.host(QStringLiteral("D:"));
    ASSERT_EQ(QDir(d).canonicalPath(), QDir(cd).canonicalPath());
    EXPECT_EQ(command->arguments, QStringList({d + "/Some Folder/page.html", d, d + "/x", "/VERYSILENT", "1",
                                               "http://host/a", "Q:\\missing"}));
}

TEST_F(ProcessesTest, RunsTheProgramWithHostArguments) {
    writeProgram(QStringLiteral("C:\\Program Files\\Tool\\run me.exe"), ArgumentWriter);
    const QString out = machine.host(QStringLiteral("C:\\out.txt"));
    auto child = processes.start(
        QStringLiteral("C:\\Program Files\\Tool\\run me.exe C:\\out.txt \"C:\\a b\" /VERYSILENT /SP-"),
        WindowMode::Hidden);
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(waitForExit(*child), 0u);
    EXPECT_EQ(waitForFile(out),
              (machine.host(QStringLiteral("C:\\a b")) + "\n/VERYSILENT\n/SP-\nEND\n").toUtf8());
}

TEST_F(ProcessesTest, RunsABatchFileThroughTheShellWithAQuotedFolder) {
    writeProgram(QStringLiteral("C:\\cd\\SysDir\\RmDir.bat"), "rm -rf \"$1\"\n", false);
    ASSERT_TRUE(machine.writeFile(QStringLiteral("C:\\scratch dir\\sub\\file.txt"), "x"));
    const auto command = processes.resolve(QStringLiteral("C:\\cd\\SysDir\\RmDir.bat \"C:\\scratch dir\""));
    ASSERT_TRUE(command.has_value());
    EXPECT_EQ(command->program, QStringLiteral("/bin/sh"));
    auto child =
        processes.start(QStringLiteral("C:\\cd\\SysDir\\RmDir.bat \"C:\\scratch dir\""), WindowMode::Hidden);
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(waitForExit(*child), 0u);
    EXPECT_FALSE(QFileInfo::exists(machine.host(QStringLiteral("C:\\scratch dir"))));
    EXPECT_TRUE(QFileInfo::exists(machine.host(QStringLiteral("C:\\cd\\SysDir\\RmDir.bat"))));
}

TEST_F(ProcessesTest, ReportsExitCodesAndStillActiveWhileRunning) {
    writeProgram(QStringLiteral("C:\\t\\three.exe"), "#!/bin/sh\nexit 3\n");
    writeProgram(QStringLiteral("C:\\t\\slow.exe"), "#!/bin/sh\nsleep 0.2\nexit 0\n");
    writeProgram(QStringLiteral("C:\\t\\forever.exe"), "#!/bin/sh\nexec sleep 30\n");

    auto three = processes.start(QStringLiteral("C:\\t\\three.exe"), WindowMode::Normal);
    ASSERT_NE(three, nullptr);
    EXPECT_EQ(waitForExit(*three), 3u);
    EXPECT_EQ(three->exitCode(), 3u); // kept once collected

    auto slow = processes.start(QStringLiteral("C:\\t\\slow.exe"), WindowMode::Hidden);
    ASSERT_NE(slow, nullptr);
    EXPECT_EQ(slow->exitCode(), STILL_ACTIVE);
    EXPECT_EQ(waitForExit(*slow), 0u);

    auto forever = processes.start(QStringLiteral("C:\\t\\forever.exe"), WindowMode::Hidden);
    ASSERT_NE(forever, nullptr);
    ASSERT_EQ(kill(static_cast<pid_t>(forever->pid()), SIGKILL), 0);
    EXPECT_EQ(waitForExit(*forever), 128u + SIGKILL);

    EXPECT_EQ(processes.start(QStringLiteral("C:\\t\\missing.exe"), WindowMode::Hidden), nullptr);
}

TEST_F(ProcessesTest, RunsFilesWithoutExecutePermissionOnlyWhenTheHostCan) {
    writeProgram(QStringLiteral("C:\\t\\script.exe"), "#!/bin/sh -e\nexit 4\n", false);
    QFile elf(QStringLiteral("/bin/false"));
    ASSERT_TRUE(elf.open(QIODevice::ReadOnly));
    writeProgram(QStringLiteral("C:\\t\\false.exe"), elf.readAll(), false);
    writeProgram(QStringLiteral("C:\\t\\windows.exe"), "MZ\x90\0\3", false);

    auto script = processes.start(QStringLiteral("C:\\t\\script.exe"), WindowMode::Hidden);
    ASSERT_NE(script, nullptr);
    EXPECT_EQ(waitForExit(*script), 4u);
    auto program = processes.start(QStringLiteral("C:\\t\\false.exe"), WindowMode::Hidden);
    ASSERT_NE(program, nullptr);
    EXPECT_EQ(waitForExit(*program), 1u);
    EXPECT_EQ(processes.start(QStringLiteral("C:\\t\\windows.exe"), WindowMode::Hidden), nullptr);
    EXPECT_FALSE(processes.startDetached(QStringLiteral("C:\\t\\windows.exe"), WindowMode::Normal));
}

TEST_F(ProcessesTest, ChildrenInheritNoStrayDescriptors) {
    const QByteArray strayPath = QFile::encodeName(machine.host(QStringLiteral("C:\\stray")));
    const int stray = ::open(strayPath.constData(), O_WRONLY | O_CREAT, 0600); // deliberately inheritable
    ASSERT_GE(stray, 3);
    writeProgram(QStringLiteral("C:\\t\\fds.exe"),
                 "#!/bin/sh\nls /proc/$$/fd > \"$1\"; echo \"ppid $PPID\" >> \"$1\"; echo END >> \"$1\"\n");

    auto child = processes.start(QStringLiteral("C:\\t\\fds.exe C:\\kept.txt"), WindowMode::Hidden);
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(waitForExit(*child), 0u);
    ASSERT_TRUE(
        processes.startDetached(QStringLiteral("C:\\t\\fds.exe C:\\detached.txt"), WindowMode::Normal));
    const QByteArray kept = waitForFile(machine.host(QStringLiteral("C:\\kept.txt")));
    const QByteArray detached = waitForFile(machine.host(QStringLiteral("C:\\detached.txt")));
    ::close(stray);

    for (const QByteArray& listing : {kept, detached}) {
        ASSERT_FALSE(listing.isEmpty());
        const QList<QByteArray> lines = listing.split('\n');
        EXPECT_FALSE(lines.contains(QByteArray::number(stray))) << listing.constData();
    }
    EXPECT_TRUE(kept.contains("ppid " + QByteArray::number(getpid())));
    // The detached program is not this process's child.
    EXPECT_FALSE(detached.contains("ppid " + QByteArray::number(getpid())));
}

TEST_F(ProcessesTest, StartDetachedHostFindsBareNamesOnThePath) {
    EXPECT_TRUE(startDetachedHost(QStringLiteral("true"), {}));
    EXPECT_FALSE(startDetachedHost(QStringLiteral("marvek-no-such-program"), {}));
    EXPECT_FALSE(startDetachedHost(QStringLiteral("/nonexistent/program"), {}));
}

TEST_F(ProcessesTest, ListsTheExecutableNamesOfRunningProcesses) {
    // A script is listed by its own name, not its interpreter's.
    writeProgram(QStringLiteral("C:\\t\\Mandex Manager Stand-in"),
                 "#!/bin/sh\nwhile :; do sleep 0.05; done\n");
    auto script = processes.start(QStringLiteral("\"C:\\t\\Mandex Manager Stand-in\""), WindowMode::Hidden);
    ASSERT_NE(script, nullptr);
    QStringList names;
    const QDeadlineTimer deadline(10000); // until the shell has replaced the spawned image
    while (!names.contains(QStringLiteral("Mandex Manager Stand-in")) && !deadline.hasExpired())
        names = processes.runningExecutableNames();
    kill(static_cast<pid_t>(script->pid()), SIGKILL);
    EXPECT_EQ(waitForExit(*script), 128u + SIGKILL);

    EXPECT_TRUE(names.contains(QStringLiteral("Mandex Manager Stand-in")));
    EXPECT_TRUE(names.contains(QFileInfo(QCoreApplication::applicationFilePath()).fileName()));
    for (const QString& name : names)
        EXPECT_FALSE(name.isEmpty());
}

} // namespace
