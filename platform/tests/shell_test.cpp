#include "platform/Shell.h"
#include "platform/testing/TempMachine.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QThread>
#include <gtest/gtest.h>

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

// Sets an environment variable for the life of the object and restores the old state afterwards.
class ScopedEnvironment {
public:
    ScopedEnvironment(const char* name, const QByteArray& value)
        : m_name(name), m_old(qgetenv(name)), m_had(qEnvironmentVariableIsSet(name)) {
        qputenv(name, value);
    }
    ~ScopedEnvironment() {
        if (m_had)
            qputenv(m_name, m_old);
        else
            qunsetenv(m_name);
    }

private:
    const char* m_name;
    QByteArray m_old;
    bool m_had;
};

class ShellTest : public ::testing::Test {
protected:
    void SetUp() override {
        recorder = machine.root() + "/opener.sh";
        output = machine.root() + "/opened.txt";
        QFile script(recorder);
        ASSERT_TRUE(script.open(QIODevice::WriteOnly));
        script.write("#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"" +
                     QFile::encodeName(output) + ".tmp\"\nmv \"" + QFile::encodeName(output) + ".tmp\" \"" +
                     QFile::encodeName(output) + "\"\n");
        script.close();
        ASSERT_TRUE(script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        ASSERT_TRUE(machine.writeFile(QStringLiteral("C:\\Manuals\\M 1\\index.html"), "<html></html>"));
    }

    // The arguments the stand-in opener received, one per line; empty when it did not run in time.
    QByteArray opened() const {
        const QDeadlineTimer deadline(10000);
        while (!deadline.hasExpired()) {
            QFile file(output);
            if (file.open(QIODevice::ReadOnly))
                return file.readAll();
            QThread::msleep(5);
        }
        return {};
    }

    TempMachine machine;
    QString recorder;
    QString output;
};

TEST_F(ShellTest, OpenRunsTheOpenerOnTheHostPathWithoutWaiting) {
    const ScopedEnvironment opener("MARVEK_OPEN_COMMAND", QFile::encodeName(recorder) + " --open");
    EXPECT_EQ(shellOpen(machine.machine(), QStringLiteral("C:\\Manuals\\M 1\\index.html")), ShellExecuteOk);
    EXPECT_EQ(opened(), "--open\n" +
                            QFile::encodeName(machine.host(QStringLiteral("C:\\Manuals\\M 1\\index.html"))) +
                            "\n");
}

TEST_F(ShellTest, OpenPassesUrlsAndMapsFileUrlsOfDrives) {
    const ScopedEnvironment opener("MARVEK_OPEN_COMMAND", QFile::encodeName(recorder));
    EXPECT_EQ(shellOpen(machine.machine(), QStringLiteral("https://example.com/a?b=c")), ShellExecuteOk);
    EXPECT_EQ(opened(), "https://example.com/a?b=c\n");
    QFile::remove(output);
    EXPECT_EQ(shellOpen(machine.machine(), QStringLiteral("file:///C:/Manuals/M%201")), ShellExecuteOk);
    EXPECT_EQ(opened(), QFile::encodeName(machine.host(QStringLiteral("C:\\Manuals\\M 1"))) + "\n");
}

TEST_F(ShellTest, ReportsAMissingFileAndAMissingOpenerBelow32) {
    {
        const ScopedEnvironment opener("MARVEK_OPEN_COMMAND", QFile::encodeName(recorder));
        EXPECT_EQ(shellOpen(machine.machine(), QStringLiteral("C:\\Manuals\\missing.pdf")), SE_ERR_FNF);
        EXPECT_EQ(shellOpen(machine.machine(), QStringLiteral("Q:\\no drive.pdf")), SE_ERR_FNF);
        EXPECT_EQ(shellOpen(machine.machine(), QString()), SE_ERR_FNF);
    }
    const ScopedEnvironment opener("MARVEK_OPEN_COMMAND", "/nonexistent/opener");
    EXPECT_EQ(shellOpen(machine.machine(), QStringLiteral("C:\\Manuals\\M 1\\index.html")), SE_ERR_NOASSOC);
}

TEST_F(ShellTest, WebBrowserTriesTheBrowserListAndPlacesThePage) {
    const ScopedEnvironment browser("BROWSER", "/nonexistent/browser:" + QFile::encodeName(recorder) +
                                                   " --new-window %s --x");
    EXPECT_EQ(openInWebBrowser(machine.machine(), QStringLiteral("C:\\Manuals\\M 1\\index.html")),
              ShellExecuteOk);
    EXPECT_EQ(opened(), "--new-window\n" +
                            QFile::encodeName(machine.host(QStringLiteral("C:\\Manuals\\M 1\\index.html"))) +
                            "\n--x\n");
    EXPECT_EQ(openInWebBrowser(machine.machine(), QStringLiteral("C:\\Manuals\\none.html")), SE_ERR_FNF);
}

} // namespace
