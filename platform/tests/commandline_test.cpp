#include "TestSupport.h"
#include "platform/CommandLine.h"
#include "platform/Processes.h"
#include "platform/testing/TempMachine.h"

using namespace marvek::platform;
using marvek::testing::TempMachine;

namespace {

TEST(CommandLine, ArgumentsFollowTheProgramNameAsWritten) {
    const std::vector<std::pair<QString, QString>> cases = {
        {R"("C:\Program Files\Pagora.exe" C:\Manuals\Two  Blanks\index.html)",
         R"(C:\Manuals\Two  Blanks\index.html)"},
        {R"(Pagora.exe   C:\Manuals\"My Manual"\index.html;0;1 )",
         R"(C:\Manuals\"My Manual"\index.html;0;1 )"},
        {"Pagora.exe\t\ta\tb", "a\tb"},
        {R"("C:\Pagora.exe"page.html)", "page.html"}, // the closing quote ends the name
        {R"("C:\unclosed quote.exe a b)", ""},
        {"Pagora.exe", ""},
        {"", ""},
    };
    for (const auto& [line, arguments] : cases)
        EXPECT_EQ(commandLineArguments(line), arguments) << line.toStdString();
}

// An unquoted program path with blanks ends where Windows found the program, so the callers' form
// "viewer path, a blank, page path" keeps a page path with blanks whole.
TEST(CommandLine, UnquotedProgramPathEndsAtTheProgramFile) {
    TempMachine machine;
    ASSERT_TRUE(machine.writeFile("C:\\Program Files\\View\\Pagora.exe", "program"));
    const std::vector<std::pair<QString, QString>> cases = {
        {R"(C:\Program Files\View\Pagora.exe C:\Program Files\Manuals\index.html)",
         R"(C:\Program Files\Manuals\index.html)"},
        {R"(C:\Program Files\View\Pagora C:\a b.html)", R"(C:\a b.html)"}, // ".exe" added
        {R"("C:\Program Files\View\Pagora.exe" x y)", "x y"},
        {R"(C:\Nowhere\Pagora.exe page.html)", "page.html"}, // no such file: the first blank
    };
    for (const auto& [line, arguments] : cases)
        EXPECT_EQ(commandLineArguments(line, machine.machine()), arguments) << line.toStdString();
}

TEST(CommandLine, FromAShellTheArgumentsAreJoinedAndHostPathsTurnBack) {
    TempMachine machine;
    const ScopedEnvironment none(CommandLineVariable, QByteArray());
    const QString program = machine.host("C:\\Program Files\\Pagora.exe");
    EXPECT_EQ(GetCommandLine({program, machine.host("C:\\Manuals\\a b") + "/index.html", "x;0;1"},
                             machine.machine()),
              R"("C:\Program Files\Pagora.exe" C:\Manuals\a b\index.html x;0;1)");
    EXPECT_EQ(GetCommandLine({"Pagora"}, machine.machine()), "Pagora");

    const ScopedEnvironment handed(CommandLineVariable, "Pagora.exe  as  written");
    EXPECT_EQ(GetCommandLine({program, "as", "written"}, machine.machine()), "Pagora.exe  as  written");
}

// A child started through the process starter reads its command line exactly as written; one started
// as a host program does not inherit the text handed to its parent.
TEST(CommandLine, TheProcessStarterHandsTheChildItsCommandLine) {
    TempMachine machine;
    Processes processes(machine.machine());
    const QByteArray writer = "#!/bin/sh\nprintf '%s' \"${" + QByteArray(CommandLineVariable) +
                              "-unset}\" > \"$OUT.tmp\" && mv \"$OUT.tmp\" \"$OUT\"\n";
    ASSERT_TRUE(writeHostFile(machine.host("C:\\Tools\\show line.exe"), writer, true));
    const ScopedEnvironment inherited(CommandLineVariable, "the parent's own line");

    const std::vector<std::pair<QString, QByteArray>> cases = {
        {R"("C:\Tools\show line.exe" C:\Manuals\Two  Blanks\index.html)",
         R"("C:\Tools\show line.exe" C:\Manuals\Two  Blanks\index.html)"},
        {R"(C:\Tools\show line.exe C:\Manuals\"My Manual"\index.html;0;1)",
         R"(C:\Tools\show line.exe C:\Manuals\"My Manual"\index.html;0;1)"},
    };
    int n = 0;
    for (const auto& [line, expected] : cases) {
        for (const bool detached : {false, true}) {
            const QString out = machine.root() + "/out" + QString::number(n++);
            const ScopedEnvironment output("OUT", QFile::encodeName(out));
            if (detached) {
                ASSERT_TRUE(processes.startDetached(line, WindowMode::Normal));
            } else {
                ASSERT_NE(processes.start(line, WindowMode::Normal), nullptr);
            }
            EXPECT_EQ(waitForFile(out), expected) << line.toStdString();
        }
    }
    const QString out = machine.root() + "/host";
    const ScopedEnvironment output("OUT", QFile::encodeName(out));
    ASSERT_TRUE(startDetachedHost(machine.host("C:\\Tools\\show line.exe"), {"a"}));
    EXPECT_EQ(waitForFile(out), "unset");
}

} // namespace
