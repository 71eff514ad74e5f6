#include "TestSupport.h"
#include "platform/Shell.h"

namespace {

class ShellTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(writeHostFile(recorder, argumentWriter(output), true));
        ASSERT_TRUE(machine.writeFile("C:\\Manuals\\M 1\\index.html", "<html></html>"));
    }
    // The arguments the stand-in opener received, one per line (empty when it did not run in time); the
    // record is removed for the next call.
    QByteArray opened() const {
        const QByteArray arguments = waitForFile(output);
        QFile::remove(output);
        return arguments;
    }
    QByteArray host(const QString& windowsPath) const { return QFile::encodeName(machine.host(windowsPath)); }

    TempMachine machine;
    const QString recorder = machine.root() + "/opener.sh";
    const QString output = machine.root() + "/opened.txt";
};

TEST_F(ShellTest, OpenRunsTheOpenerOnHostPathsAndUrls) {
    {
        const ScopedEnvironment opener("MARVEK_OPEN_COMMAND", QFile::encodeName(recorder) + " --open");
        EXPECT_EQ(shellOpen(machine.machine(), "C:\\Manuals\\M 1\\index.html"), ShellExecuteOk);
        EXPECT_EQ(opened(), "--open\n" + host("C:\\Manuals\\M 1\\index.html") + "\n");
        EXPECT_EQ(shellOpen(machine.machine(), "https://example.com/a?b=c"), ShellExecuteOk);
        EXPECT_EQ(opened(), "--open\nhttps://example.com/a?b=c\n");
        // A file URL of a drive path is opened as that path.
        EXPECT_EQ(shellOpen(machine.machine(), "file:///C:/Manuals/M%201"), ShellExecuteOk);
        EXPECT_EQ(opened(), "--open\n" + host("C:\\Manuals\\M 1") + "\n");

        // Failures are values below 32.
        EXPECT_EQ(shellOpen(machine.machine(), "C:\\Manuals\\missing.pdf"), SE_ERR_FNF);
        EXPECT_EQ(shellOpen(machine.machine(), "Q:\\no drive.pdf"), SE_ERR_FNF);
        EXPECT_EQ(shellOpen(machine.machine(), QString()), SE_ERR_FNF);
    }
    const ScopedEnvironment opener("MARVEK_OPEN_COMMAND", "/nonexistent/opener");
    EXPECT_EQ(shellOpen(machine.machine(), "C:\\Manuals\\M 1\\index.html"), SE_ERR_NOASSOC);
}

TEST_F(ShellTest, WebBrowserTriesTheBrowserListAndPlacesThePage) {
    const ScopedEnvironment browser("BROWSER", "/nonexistent/browser:" + QFile::encodeName(recorder) +
                                                   " --new-window %s --x");
    EXPECT_EQ(openInWebBrowser(machine.machine(), "C:\\Manuals\\M 1\\index.html"), ShellExecuteOk);
    EXPECT_EQ(opened(), "--new-window\n" + host("C:\\Manuals\\M 1\\index.html") + "\n--x\n");
    EXPECT_EQ(openInWebBrowser(machine.machine(), "C:\\Manuals\\none.html"), SE_ERR_FNF);
}

} // namespace
