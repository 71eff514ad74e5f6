// marvek-machine: its commands on a temporary prefix, its refusals (which change nothing), and the program
// itself as real processes: eight at once on a new prefix, and a program run by its Windows command line.
#include "machine_tool/app/MachineCommand.h"
#include "machine_tool/app/MachineTool.h"
#include "platform/MachineSetup.h"
#include "platform/Registry.h"
#include "platform/testing/BuildPath.h"
#include "platform/testing/ScopedEnvironment.h"
#include "platform/testing/TempMachine.h"
#include "shared/testing/SchemaDatabase.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <gtest/gtest.h>
#include <memory>
#include <sys/stat.h>
#include <vector>

using marvek::testing::BuildPath;

using namespace marvek;
using namespace marvek::machine_tool;
using marvek::testing::ScopedEnvironment;
using marvek::testing::TempMachine;

// Readable failure messages for Qt texts.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace {

struct ToolResult {
    int status = -1;
    QString out;
    QString err;
};

ToolResult runTool(const QStringList& arguments) {
    ToolResult result;
    QTextStream out(&result.out);
    QTextStream err(&result.err);
    result.status = machineToolMain(arguments, out, err);
    out.flush();
    err.flush();
    return result;
}

// Every file, folder and link under a folder with its content or target: what "changes nothing" compares.
QStringList snapshot(const QString& root) {
    QStringList entries;
    QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo info(it.next());
        QString line = info.filePath().mid(root.size());
        if (info.isSymLink())
            line += " -> " + info.symLinkTarget();
        else if (info.isFile()) {
            QFile file(info.filePath());
            if (file.open(QIODevice::ReadOnly))
                line += " = " + QString::fromUtf8(file.readAll());
        }
        entries << line;
    }
    entries.sort();
    return entries;
}

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class MachineToolTest : public ::testing::Test {
protected:
    void SetUp() override {
        root = temp.root() + "/pc";
        ASSERT_EQ(runTool({"--root", root, "create"}).status, ExitOk);
        media = temp.root() + "/media/tech/SMCD";
        ASSERT_TRUE(QDir().mkpath(media));
    }
    ToolResult tool(QStringList arguments) const { return runTool(QStringList{"--root", root} + arguments); }

    TempMachine temp;
    QString root;
    QString media;
};

} // namespace

// Each refusal names the problem on stderr with its exit status, and the prefix stays exactly as it was.
TEST_F(MachineToolTest, BadInputGetsAClearErrorAndChangesNothing) {
    ASSERT_EQ(tool({"map", "e:", media}).status, ExitOk);
    const QString missing = temp.root() + "/media/none";
    struct Case {
        QStringList arguments;
        int status;
        QString error;
    };
    const std::vector<Case> cases = {
        {{}, ExitUsage, "no command given"},
        {{"frobnicate"}, ExitUsage, "unknown command 'frobnicate'"},
        {{"--verbose", "show"}, ExitUsage, "unknown option '--verbose'"},
        {{"map", "1:", media}, ExitUsage, "unknown drive letter '1:'"},
        {{"map", "dd:", media}, ExitUsage, "unknown drive letter 'dd:'"},
        {{"map", "c:", media}, ExitUsage, "C: is the system drive"},
        {{"map", "d:"}, ExitUsage, "map takes 2 argument(s), 1 given"},
        {{"map", "d:", missing}, ExitFailed, "folder does not exist: " + missing},
        {{"unmap", "q:"}, ExitFailed, "Q: is not mapped"},
        {{"unmap", "C:"}, ExitUsage, "C: is the system drive"},
        {{"locale", "xx_YY"}, ExitUsage, "unknown locale 'xx_YY'"},
        {{"locale", "0999"}, ExitUsage, "unknown locale '0999'"},
        {{"locale", "C"}, ExitUsage, "unknown locale 'C'"},
        {{"register-diagnostic", missing}, ExitFailed, "folder does not exist"},
        {{"register-diagnostic", "C:\\Nowhere"}, ExitFailed, "folder does not exist: C:\\Nowhere"},
        {{"register-diagnostic", "Q:\\Scanlux"}, ExitFailed, "folder does not exist: Q:\\Scanlux"},
        {{"run", "C:\\x.exe", "/s"}, ExitUsage, "run takes the Windows command line as one argument"},
        {{"run", "--folder", "C:\\Nowhere", "C:\\x.exe"}, ExitFailed, "working folder does not exist"},
        {{"run", "C:\\Program Files\\missing.exe"},
         ExitFailed,
         "cannot start C:\\Program Files\\missing.exe"},
    };
    const QStringList before = snapshot(root);
    for (const Case& c : cases) {
        const ToolResult result = tool(c.arguments);
        const QString name = c.arguments.join(' ');
        EXPECT_EQ(result.status, c.status) << name.toStdString();
        EXPECT_TRUE(result.err.startsWith("marvek-machine: ") && result.err.contains(c.error))
            << name.toStdString() << ": " << result.err.toStdString();
        EXPECT_EQ(result.out, "") << name.toStdString();
        EXPECT_EQ(snapshot(root), before) << name.toStdString();
    }
    // No prefix: refused, and none is made.
    const ToolResult none = runTool({"--root", temp.root() + "/nothing", "map", "d:", media});
    EXPECT_EQ(none.status, ExitFailed);
    EXPECT_TRUE(none.err.contains("there is no machine at")) << none.err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(temp.root() + "/nothing"));
}

// create on a hand-made prefix adds the rest; map, unmap, locale and register-diagnostic change what show
// then tells, with the installed manuals read from the manual-link database.
TEST_F(MachineToolTest, CommandsAndWhatShowTells) {
    const platform::Machine machine(root);
    const platform::Registry registry(machine);
    EXPECT_TRUE(platform::MachineSetup(machine).isComplete());

    EXPECT_EQ(tool({"map", "D", media}).out, "D: " + media + "\n");
    EXPECT_EQ(QFileInfo(machine.toHost("D:\\")).canonicalFilePath(), media);
    EXPECT_EQ(tool({"locale", "ja_JP.UTF-8"}).out, "Locale: 0411 (ja), code page 932\n");
    EXPECT_TRUE(readAll(machine.machineIniFile())
                    .contains("UserDefaultLangID=0411\nSystemDefaultLangID=0411\nACP=932\n"));

    // The diagnostic software's folder, given as a host folder or a Windows path of the machine.
    const QString scanlux = machine.toHost("C:\\Program Files\\Marvek\\Scanlux");
    ASSERT_TRUE(QDir().mkpath(scanlux));
    EXPECT_EQ(tool({"register-diagnostic", scanlux + "/"}).status, ExitOk);
    EXPECT_EQ(registry.readString(platform::HKEY_LOCAL_MACHINE, "SOFTWARE\\MARVEK\\Scanlux", "ProgramPath"),
              "C:\\Program Files\\Marvek\\Scanlux");
    EXPECT_EQ(tool({"register-diagnostic", "d:\\"}).out, "SOFTWARE\\MARVEK\\Scanlux: ProgramPath=d:\\\n");

    registry.writeString(platform::HKEY_LOCAL_MACHINE, "SOFTWARE\\Marvek\\Scanlux\\ManualLink", "InstallDir",
                         "C:\\Link");
    const ToolResult noDatabase = tool({"show"});
    EXPECT_TRUE(noDatabase.out.contains("Installed manuals: no manual database\n"))
        << noDatabase.out.toStdString();
    const QString database = machine.toHost("C:\\Link") + "/ManualLink.mdb";
    ASSERT_TRUE(QDir().mkpath(machine.toHost("C:\\Link")));
    {
        // MakeSchemaDatabase works on a TempMachine's drive C:; make it there and move it over.
        ASSERT_TRUE(marvek::testing::MakeSchemaDatabase(
            temp, "C:\\made.mdb",
            "INSERT INTO M_manage (Pub_No, Model_desc, Version, InsPath) VALUES "
            "('RM011EN', 'Aurea', '1', 'C:\\Manuals\\RM011EN'), ('EWD00EN', 'Aurea', '0', "
            "'C:\\Manuals\\AureaEWD');"));
        ASSERT_TRUE(QFile::rename(temp.host("C:\\made.mdb"), database));
    }

    ASSERT_EQ(tool({"unmap", "d:"}).out, "D: unmapped\n");
    const ToolResult shown = tool({"show"});
    EXPECT_EQ(shown.status, ExitOk);
    EXPECT_EQ(shown.out, "Machine: " + root +
                             "\n"
                             "  given with --root\n"
                             "Locale: user 0411 (ja), system 0411 (ja), code page 932\n"
                             "Drives:\n"
                             "  C: " +
                             root +
                             "/drives/c\n"
                             "Registry (SOFTWARE\\MARVEK):\n"
                             "  SOFTWARE\\MARVEK\\Scanlux: ProgramPath=d:\\\n"
                             "  SOFTWARE\\Marvek\\Scanlux\\ManualLink: InstallDir=C:\\Link\n"
                             "Installed manuals (C:\\Link\\ManualLink.mdb): 2\n"
                             "  EWD00EN  Aurea  0  C:\\Manuals\\AureaEWD\n"
                             "  RM011EN  Aurea  1  C:\\Manuals\\RM011EN\n");
    EXPECT_TRUE(tool({"--help"}).out.contains("Usage: marvek-machine"));
}

// show says which machine it is and why: --root, MARVEK_ROOT, the PC's configuration file or the user's
// own; a shared machine names its group. The other commands work in the same machine.
TEST(MachineToolChoice, ShowTellsWhichMachineAndWhy) {
    struct KeptUmask { // a shared machine clears the group bits of the process's umask
        mode_t mask = ::umask(022);
        ~KeptUmask() { ::umask(mask); }
    } keptUmask;
    TempMachine temp;
    const QString config = temp.root() + "/machine.conf";
    const QString system = temp.root() + "/system";
    ASSERT_TRUE(QDir().mkpath(system));
    auto show = [&](const QStringList& arguments) {
        ToolResult result;
        QTextStream out(&result.out);
        QTextStream err(&result.err);
        result.status = runMachineCommand(*parseMachineCommand(arguments).command, out, err, config);
        out.flush();
        err.flush();
        return result.out.section(u'\n', 0, 2);
    };
    const QString user = temp.dataHome() + "/marvek";
    ASSERT_TRUE(QDir().mkpath(user));
    EXPECT_TRUE(
        show({"--root", system, "show"}).startsWith("Machine: " + system + "\n  given with --root\n"));
    EXPECT_TRUE(show({"show"}).startsWith("Machine: " + temp.root() + "\n  named by MARVEK_ROOT\n"));
    {
        const ScopedEnvironment unset("MARVEK_ROOT", QByteArray());
        EXPECT_TRUE(show({"show"}).startsWith("Machine: " + user +
                                              "\n  this user's own (MARVEK_ROOT is not set and " + config +
                                              " names no machine)\n"));
        QFile file(config);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("# the PC's machine\nroot=" + QFile::encodeName(system) + "\n");
        file.close();
        ASSERT_EQ(::chmod(QFile::encodeName(system).constData(), 02775), 0);
        const QString shown = show({"show"});
        EXPECT_TRUE(shown.startsWith("Machine: " + system + "\n  named by " + config +
                                     " (MARVEK_ROOT is not set)\n"
                                     "  shared by the technicians of the group "))
            << shown.toStdString();
        // create makes the named machine, not the user's.
        ToolResult created;
        QTextStream out(&created.out);
        QTextStream err(&created.err);
        EXPECT_EQ(runMachineCommand(*parseMachineCommand({"create"}).command, out, err, config), ExitOk);
        EXPECT_TRUE(QFileInfo(system + "/registry.ini").isFile());
    }
}

// Eight programs starting at once on a new prefix, some setting the locale or the diagnostic software's
// folder while the others set it up: one registry.ini and one machine.ini, each value once, nothing lost.
TEST(MachineToolProcesses, EightAtOnceOnANewPrefix) {
    TempMachine temp;
    const QString scanlux = temp.root() + "/scanlux";
    ASSERT_TRUE(QDir().mkpath(scanlux));
    for (int round = 0; round < 4; ++round) {
        const QString root = temp.root() + "/new" + QString::number(round);
        ASSERT_TRUE(QDir().mkpath(root)); // made by hand, empty
        std::vector<std::unique_ptr<QProcess>> processes;
        for (int i = 0; i < 8; ++i) {
            const QStringList command = i == 3  ? QStringList{"register-diagnostic", scanlux}
                                        : i % 2 ? QStringList{"locale", "ja_JP"}
                                                : QStringList{"create"};
            processes.push_back(std::make_unique<QProcess>());
            processes.back()->start(BuildPath("MARVEK_MACHINE_TOOL_PROGRAM"),
                                    QStringList{"--root", root} + command);
        }
        for (const auto& process : processes) {
            ASSERT_TRUE(process->waitForFinished(60000));
            EXPECT_EQ(process->exitCode(), 0) << process->readAllStandardError().toStdString();
        }
        const QByteArray registry = readAll(root + "/registry.ini");
        for (const char* line :
             {"[SOFTWARE\\Microsoft\\Windows\\CurrentVersion]\n", "ProgramFilesDir=C:\\Program Files\n",
              "CommonFilesDir=C:\\Program Files\\Common Files\n", "[SOFTWARE\\MARVEK\\Scanlux]\n",
              "ProgramPath=Z:"})
            EXPECT_EQ(registry.count(line), 1) << line << " in " << registry.toStdString();
        EXPECT_EQ(registry.count('='), 3) << registry.toStdString();
        const QByteArray ini = readAll(root + "/machine.ini");
        for (const char* line : {"[Locale]\n", "UserDefaultLangID=0411\n", "SystemDefaultLangID=0411\n",
                                 "ACP=932\n", "[Environment]\n", "ProgramFiles=C:\\Program Files\n"})
            EXPECT_EQ(ini.count(line), 1) << line << " in " << ini.toStdString();
        EXPECT_EQ(ini.count('='), 4) << ini.toStdString();
    }
}

// run starts a program by its Windows command line in the Windows working folder given, on the machine
// named by --root (whatever MARVEK_ROOT says), and ends with its exit code; --no-wait ends with 0 once it
// runs.
TEST(MachineToolProcesses, RunKeepsTheCommandLineWorkingFolderAndMachine) {
    TempMachine temp;
    const QString record = temp.root() + "/record.txt";
    ASSERT_TRUE(temp.writeFile(
        "C:\\Program Files\\Tool Box\\report.bat",
        "printf '%s|%s|%s|%s\\n' \"$(pwd)\" \"$1\" \"$MARVEK_COMMAND_LINE\" \"$MARVEK_ROOT\" >> \"$RECORD\"\n"
        "exit 7\n"));
    ASSERT_TRUE(QDir().mkpath(temp.host("C:\\Work Folder")));
    const ScopedEnvironment recordFile("RECORD", record);
    const ScopedEnvironment otherMachine("MARVEK_ROOT", temp.root() + "/another-machine");
    const QString commandLine = "\"C:\\Program Files\\Tool Box\\report.bat\" C:\\Work";
    QProcess process;
    process.start(BuildPath("MARVEK_MACHINE_TOOL_PROGRAM"),
                  {"--root", temp.root(), "run", "--folder", "C:\\Work Folder", commandLine});
    ASSERT_TRUE(process.waitForFinished(60000));
    EXPECT_EQ(process.exitCode(), 7) << process.readAllStandardError().toStdString();
    EXPECT_EQ(readAll(record), (temp.host("C:\\Work Folder") + "|" + temp.root() + "/drives/c/Work|" +
                                commandLine + "|" + temp.root() + "\n")
                                   .toUtf8());

    process.start(BuildPath("MARVEK_MACHINE_TOOL_PROGRAM"),
                  {"--root", temp.root(), "run", "--no-wait", commandLine});
    ASSERT_TRUE(process.waitForFinished(60000));
    EXPECT_EQ(process.exitCode(), 0);
}
