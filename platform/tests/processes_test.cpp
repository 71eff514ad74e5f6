#include "TestSupport.h"
#include "platform/CommandLine.h"
#include "platform/Processes.h"

#include <QCoreApplication>
#include <QProcess>
#include <QProcessEnvironment>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

namespace {

TEST(SplitWindowsCommandLine, FollowsTheRulesOfCommandLineToArgvW) {
    const std::pair<const char*, QStringList> cases[] = {
        {"", {}},
        {"prog a\\\\\\b d\"e f\"g h", {"prog", "a\\\\\\b", "de fg", "h"}},
        // A quote pair inside a quoted part is a literal quote and ends the part.
        {"prog a\"b\"\" c d", {"prog", "ab\"", "c", "d"}},
        {"prog \"\"\"CallMe\"\"\" b", {"prog", "\"CallMe\"", "b"}},
        {"prog \t a \t\tb  ", {"prog", "a", "b"}},
        {"prog \"unterminated arg", {"prog", "unterminated arg"}},
        // The program name: no backslash processing; quoted up to the next quote, else up to a blank.
        {"C:\\a\\\"b c", {"C:\\a\\\"b", "c"}},
        {"\"C:\\Program Files\\x.exe\"arg", {"C:\\Program Files\\x.exe", "arg"}},
        {"\"C:\\Pro\\\" x", {"C:\\Pro\\", "x"}},
        {" leading", {"", "leading"}},
    };
    for (const auto& [commandLine, expected] : cases)
        EXPECT_EQ(splitWindowsCommandLine(QString::fromUtf8(commandLine)), expected) << commandLine;
}

// The arguments follow the program name as written. An unquoted program path with blanks ends where
// Windows found the program, so the callers' form "viewer path, a blank, page path" keeps a page path with
// blanks whole.
TEST(CommandLine, ArgumentsFollowTheProgramNameAsWritten) {
    TempMachine machine;
    ASSERT_TRUE(machine.writeFile("C:\\Program Files\\View\\Pagora.exe", "program"));
    const std::vector<std::pair<QString, QString>> cases = {
        {R"("C:\Program Files\Pagora.exe" C:\Manuals\Two  Blanks\index.html)",
         R"(C:\Manuals\Two  Blanks\index.html)"},
        {R"(Pagora.exe   C:\Manuals\"My Manual"\index.html;0;1 )",
         R"(C:\Manuals\"My Manual"\index.html;0;1 )"},
        {R"("C:\Pagora.exe"page.html)", "page.html"}, // the closing quote ends the name
        {R"("C:\unclosed quote.exe a b)", ""},
        {"", ""},
        {R"(C:\Program Files\View\Pagora.exe C:\Program Files\Manuals\index.html)",
         R"(C:\Program Files\Manuals\index.html)"},
        {R"(C:\Program Files\View\Pagora C:\a b.html)", R"(C:\a b.html)"}, // ".exe" added
        {R"(C:\Nowhere\Pagora.exe page.html)", "page.html"},               // no such file: the first blank
    };
    for (const auto& [line, arguments] : cases)
        EXPECT_EQ(commandLineArguments(line, machine.machine()), arguments) << line.toStdString();
    EXPECT_EQ(commandLineArguments(cases[0].first), cases[0].second); // without a machine to look in
}

TEST(CommandLine, FromAShellTheArgumentsAreJoinedAndHostPathsTurnBack) {
    TempMachine machine;
    const ScopedEnvironment none(CommandLineVariable, QByteArray());
    const QString program = machine.host("C:\\Program Files\\Pagora.exe");
    EXPECT_EQ(GetCommandLine({program, machine.host("C:\\Manuals\\a b") + "/index.html", "x;0;1"},
                             machine.machine()),
              R"("C:\Program Files\Pagora.exe" C:\Manuals\a b\index.html x;0;1)");

    const ScopedEnvironment handed(CommandLineVariable, "Pagora.exe  as  written");
    EXPECT_EQ(GetCommandLine({program, "as", "written"}, machine.machine()), "Pagora.exe  as  written");
}

// A test machine with program files written at Windows paths.
class ProcessesTest : public ::testing::Test {
protected:
    void writeProgram(const QString& windowsPath, const QByteArray& content, bool executable = true) {
        ASSERT_TRUE(writeHostFile(machine.host(windowsPath), content, executable));
    }
    std::unique_ptr<ChildProcess> start(const QString& commandLine) {
        return processes.start(commandLine, WindowMode::Hidden);
    }

    // Waits (for real, briefly) until a child has ended; its exit code, or STILL_ACTIVE on time-out.
    static quint32 waitForExit(ChildProcess& child) {
        const QDeadlineTimer deadline(10000);
        quint32 code = child.exitCode();
        for (; code == STILL_ACTIVE && !deadline.hasExpired(); code = child.exitCode())
            QThread::msleep(5);
        return code;
    }
    // Starts a program and waits for it; its exit code (0xFFFFFFFF when it did not start).
    quint32 run(const QString& commandLine) {
        const auto child = start(commandLine);
        return child ? waitForExit(*child) : 0xFFFFFFFFu;
    }

    TempMachine machine;
    Processes processes{machine.machine()};
};

TEST_F(ProcessesTest, ResolvesProgramPathsAsWindowsDoesAndMapsDrivePathArguments) {
    writeProgram("C:\\Program Files\\Tool\\run me.exe", argumentWriter());
    writeProgram("C:\\Tools\\Viewer", argumentWriter());
    const QString cd = machine.addDrive(u'D');
    const auto resolve = [this](const QString& line) {
        return processes.resolve(line).value_or(HostCommand{});
    };
    HostCommand command = resolve("C:\\Program Files\\Tool\\run me.exe arg \"two words\"");
    EXPECT_EQ(command.program, machine.host("C:\\Program Files\\Tool\\run me.exe"));
    EXPECT_EQ(command.arguments, QStringList({"arg", "two words"}));
    // ".exe" is tried for a name without extension, and a host program may have none.
    EXPECT_EQ(resolve("C:\\Program Files\\Tool\\run me /S").arguments, QStringList({"/S"}));
    command =
        resolve("C:\\Tools\\Viewer.exe \"D:\\Some Folder\\page.html\" D: d:\\x /VERYSILENT 1 http://host/a "
                "Q:\\missing");
    EXPECT_EQ(command.program, machine.host("C:\\Tools\\Viewer"));
    // Only drive paths are mapped; D: is reached through the drive's entry in the prefix.
    const QString d = machine.host("D:");
    ASSERT_EQ(QDir(d).canonicalPath(), QDir(cd).canonicalPath());
    EXPECT_EQ(command.arguments, QStringList({d + "/Some Folder/page.html", d, d + "/x", "/VERYSILENT", "1",
                                              "http://host/a", "Q:\\missing"}));
    // A quoted program is taken as it stands.
    for (const QString line :
         {"\"C:\\Program Files\\Tool\\run\" me.exe", "C:\\Program Files\\Tool\\nothing.exe", "   "})
        EXPECT_FALSE(processes.resolve(line).has_value()) << line.toStdString();

    // The shortest existing prefix wins.
    writeProgram("C:\\Program.exe", argumentWriter());
    command = resolve("C:\\Program Files\\Tool\\run me.exe arg");
    EXPECT_EQ(command.program, machine.host("C:\\Program.exe"));
    EXPECT_EQ(command.arguments, QStringList({"Files\\Tool\\run", "me.exe", "arg"}));
}

TEST_F(ProcessesTest, RunsProgramsAndBatchFilesWithHostArguments) {
    writeProgram("C:\\Program Files\\Tool\\run me.exe", argumentWriter());
    EXPECT_EQ(run("C:\\Program Files\\Tool\\run me.exe C:\\out.txt \"C:\\a b\" /VERYSILENT /SP-"), 0u);
    EXPECT_EQ(waitForFile(machine.host("C:\\out.txt")),
              (machine.host("C:\\a b") + "\n/VERYSILENT\n/SP-\n").toUtf8());

    // A batch file runs through the shell (it has neither "#!" nor execute permission).
    writeProgram("C:\\cd\\SysDir\\RmDir.bat", "rm -rf \"$1\"\n", false);
    ASSERT_TRUE(machine.writeFile("C:\\scratch dir\\sub\\file.txt", "x"));
    EXPECT_EQ(run("C:\\cd\\SysDir\\RmDir.bat \"C:\\scratch dir\""), 0u);
    EXPECT_FALSE(QFileInfo::exists(machine.host("C:\\scratch dir")));
}

TEST_F(ProcessesTest, ReportsExitCodesAndStillActiveWhileRunning) {
    // Files from a CD carry no execute permission: run them where the host can.
    writeProgram("C:\\t\\script.exe", "#!/bin/sh -e\nexit 4\n", false);
    writeProgram("C:\\t\\false.exe", readHostFile("/bin/false"), false);
    writeProgram("C:\\t\\windows.exe", "MZ\x90\0\3", false);
    writeProgram("C:\\t\\slow.exe", "#!/bin/sh\nsleep 0.2\nexit 0\n");

    auto script = processes.start("C:\\t\\script.exe", WindowMode::Normal);
    ASSERT_NE(script, nullptr);
    EXPECT_EQ(waitForExit(*script), 4u);
    EXPECT_EQ(script->exitCode(), 4u); // kept once collected
    EXPECT_EQ(run("C:\\t\\false.exe"), 1u);
    auto slow = start("C:\\t\\slow.exe");
    ASSERT_NE(slow, nullptr);
    EXPECT_EQ(slow->exitCode(), STILL_ACTIVE);
    EXPECT_EQ(waitForExit(*slow), 0u);

    EXPECT_EQ(start("C:\\t\\missing.exe"), nullptr);
    EXPECT_EQ(start("C:\\t\\windows.exe"), nullptr);
    EXPECT_FALSE(processes.startDetached("C:\\t\\windows.exe", WindowMode::Normal));
}

TEST_F(ProcessesTest, ListsTheExecutableNamesOfRunningProcesses) {
    // A script is listed by its own name, not its interpreter's.
    writeProgram("C:\\t\\Mandex Manager Stand-in", "#!/bin/sh\nwhile :; do sleep 0.05; done\n");
    // The same kind of program running on another machine (another root) is not on this one's list.
    writeProgram("C:\\t\\Other Machine Program", "#!/bin/sh\nwhile :; do sleep 0.05; done\n");
    QProcess other;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("MARVEK_ROOT"), machine.root() + QStringLiteral("-other"));
    other.setProcessEnvironment(environment);
    other.start(machine.host("C:\\t\\Other Machine Program"), {});
    ASSERT_TRUE(other.waitForStarted());
    QFile otherName(QStringLiteral("/proc/%1/comm").arg(other.processId()));
    const QDeadlineTimer started(10000); // until the shell runs the script
    while (!started.hasExpired() && otherName.open(QIODevice::ReadOnly) &&
           !otherName.readAll().startsWith("Other"))
        otherName.close();
    auto script = start("\"C:\\t\\Mandex Manager Stand-in\"");
    ASSERT_NE(script, nullptr);
    QStringList names;
    const QDeadlineTimer deadline(10000); // until the shell has replaced the spawned image
    while (!names.contains("Mandex Manager Stand-in") && !deadline.hasExpired())
        names = processes.runningExecutableNames();
    kill(static_cast<pid_t>(script->pid()), SIGKILL);
    EXPECT_EQ(waitForExit(*script), 128u + SIGKILL);

    other.kill();
    other.waitForFinished();
    EXPECT_TRUE(names.contains("Mandex Manager Stand-in"));
    EXPECT_FALSE(names.contains("Other Machine Program"));
    EXPECT_TRUE(names.contains(QFileInfo(QCoreApplication::applicationFilePath()).fileName()));
    EXPECT_FALSE(names.contains(QString()));
}

// A child started through the process starter, waited for or detached, reads its command line exactly as
// written, runs on the starter's machine whatever MARVEK_ROOT said, and inherits no stray descriptor; a
// detached one is not this process's child. A host program started directly does not inherit the command
// line handed to its parent.
TEST_F(ProcessesTest, ChildrenGetTheirCommandLineAndNoStrayDescriptors) {
    const QByteArray strayPath = QFile::encodeName(machine.host("C:\\stray"));
    const int stray = ::open(strayPath.constData(), O_WRONLY | O_CREAT, 0600); // deliberately inheritable
    ASSERT_GE(stray, 3);
    writeProgram("C:\\Tools\\show line.exe",
                 "#!/bin/sh\n{ printf '%s\\n' \"${" + QByteArray(CommandLineVariable) +
                     "-unset}\"; echo \"root $MARVEK_ROOT\"; echo \"ppid $PPID\"; ls /proc/$$/fd; } > "
                     "\"$OUT.tmp\" && mv \"$OUT.tmp\" \"$OUT\"\n");
    const ScopedEnvironment inherited(CommandLineVariable, "the parent's own line");
    const ScopedEnvironment otherMachine("MARVEK_ROOT", QFile::encodeName(machine.root() + "/another"));

    int n = 0;
    for (const QString line : {R"("C:\Tools\show line.exe" C:\Manuals\Two  Blanks\index.html)",
                               R"(C:\Tools\show line.exe C:\Manuals\"My Manual"\index.html;0;1)"}) {
        for (const bool detached : {false, true}) {
            SCOPED_TRACE(line.toStdString() + (detached ? " (detached)" : ""));
            const QString out = machine.root() + "/out" + QString::number(n++);
            const ScopedEnvironment output("OUT", QFile::encodeName(out));
            if (detached) {
                ASSERT_TRUE(processes.startDetached(line, WindowMode::Normal));
            } else {
                EXPECT_EQ(run(line), 0u);
            }
            const QList<QByteArray> seen = waitForFile(out).split('\n');
            ASSERT_GE(seen.size(), 4);
            EXPECT_EQ(seen[0], line.toUtf8());
            EXPECT_EQ(seen[1], "root " + QFile::encodeName(machine.root()));
            EXPECT_EQ(seen[2] == "ppid " + QByteArray::number(getpid()), !detached);
            EXPECT_FALSE(seen.contains(QByteArray::number(stray)));
        }
    }
    ::close(stray);
    const QString out = machine.root() + "/host";
    const ScopedEnvironment output("OUT", QFile::encodeName(out));
    ASSERT_TRUE(startDetachedHost(machine.host("C:\\Tools\\show line.exe"), {"a"}));
    EXPECT_TRUE(waitForFile(out).startsWith("unset\n"));
    EXPECT_TRUE(startDetachedHost("true", {})); // bare names are found on the path
    EXPECT_FALSE(startDetachedHost("marvek-no-such-program", {}));
}

} // namespace
