// Real Pagora processes on the offscreen platform: start-up, hand-over, slot 0, stale instances.

#include "pagora_processes.h"
#include "platform/Processes.h"

#include <QScopeGuard>
#include <signal.h>

namespace marvek::browser::browsertest {
namespace {

TEST_F(PagoraProcesses, SecondStartHandsOverAndEnds) {
    QProcess* first = start(page);
    ASSERT_TRUE(waitForLog(first, {u"open"_s, u"0"_s, page, u"0"_s, u"0"_s, u"0"_s}));
    ASSERT_TRUE(waitForServer());
    ASSERT_TRUE(waitForLog(first, {u"caption"_s, u"0"_s, u"index - MarvekBrowser"_s}));

    // Slot 0 navigates; a window with another caption than " - MarvekBrowser" is not stale.
    QProcess* second = start(other + u";1"_s);
    ASSERT_TRUE(finishes(second));
    EXPECT_EQ(second->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second->exitCode(), 0);
    EXPECT_FALSE(logged(second, {u"open"_s}, true)); // no window of its own
    EXPECT_TRUE(logged(first, {u"update"_s, u"0"_s, other, u"1"_s, u"0"_s, u"0"_s}));
    EXPECT_TRUE(waitForLog(first, {u"caption"_s, u"0"_s, u"other - MarvekBrowser"_s}));
}

TEST_F(PagoraProcesses, HiddenCodeSearchWindowGivesSlotZeroToAForwardedPage) {
    QProcess* first = start(u"\""_s + codeSearch + u"\";0;1;1"_s);
    ASSERT_TRUE(waitForLog(first, {u"open"_s, u"0"_s, codeSearch, u"0"_s, u"1"_s, u"1"_s}));
    ASSERT_TRUE(waitForServer());

    ASSERT_TRUE(finishes(start(page)));
    EXPECT_TRUE(waitForLog(first, {u"unload"_s, u"0"_s}));
    EXPECT_TRUE(logged(first, {u"create"_s, u"0"_s}));
    EXPECT_TRUE(logged(first, {u"update"_s, u"0"_s, page, u"0"_s, u"0"_s, u"0"_s}));
    EXPECT_TRUE(waitForLog(first, {u"caption"_s, u"0"_s, u"index - MarvekBrowser"_s}));
    QTest::qWait(500);
    EXPECT_EQ(first->state(), QProcess::Running);
    EXPECT_FALSE(logged(first, {u"end"_s}, true));
}

TEST_F(PagoraProcesses, ClosedSlotZeroIsRecreatedForAForwardedPage) {
    QProcess* first = start(u"C:\\Manuals\\My Manual\\opener.html"_s);
    ASSERT_TRUE(waitForServer());
    // The page opened a window in slot 1 and closed its own; the program goes on.
    ASSERT_TRUE(waitForLog(first, {u"open"_s, u"1"_s, QString(), u"0"_s, u"0"_s, u"0"_s}));
    ASSERT_TRUE(waitForLog(first, {u"caption"_s, u"1"_s, u"other - MarvekBrowser"_s}));
    QTest::qWait(2500); // the close after 1.5 s
    ASSERT_EQ(first->state(), QProcess::Running);

    ASSERT_TRUE(finishes(start(page)));
    EXPECT_TRUE(waitForLog(first, {u"create"_s, u"0"_s}));
    EXPECT_TRUE(logged(first, {u"update"_s, u"0"_s, page, u"0"_s, u"0"_s, u"0"_s}));
    EXPECT_FALSE(logged(first, {u"unload"_s, u"0"_s}));
}

TEST_F(PagoraProcesses, StaleInstanceIsToldToQuitAndAKilledOneDoesNotBlock) {
    QProcess* stale = start(u"C:\\Manuals\\My Manual\\notitle.html"_s);
    ASSERT_TRUE(waitForServer());
    ASSERT_TRUE(waitForLog(stale, {u"caption"_s, u"0"_s, u" - MarvekBrowser"_s}));

    QProcess* next = start(page);
    ASSERT_TRUE(finishes(stale)); // quit, without closing its windows
    EXPECT_EQ(stale->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(stale->exitCode(), 0);
    EXPECT_TRUE(logged(stale, {u"quit-stale"_s}));
    ASSERT_TRUE(waitForLog(next, {u"open"_s, u"0"_s, page, u"0"_s, u"0"_s, u"0"_s}));
    ASSERT_TRUE(waitForServer());

    next->kill(); // leaves its socket behind
    ASSERT_TRUE(finishes(next));
    EXPECT_FALSE(handover::client::instanceRunning(name));
    QProcess* last = start(other);
    ASSERT_TRUE(waitForLog(last, {u"open"_s, u"0"_s, other, u"0"_s, u"0"_s, u"0"_s}));
    ASSERT_TRUE(waitForServer());

    // The new instance owns the hand-over.
    ASSERT_TRUE(finishes(start(page)));
    EXPECT_TRUE(waitForLog(last, {u"update"_s, u"0"_s, page, u"0"_s, u"0"_s, u"0"_s}));
}

TEST_F(PagoraProcesses, BadFirstCommandLineShowsTheMessageAndEnds) {
    QProcess* missing = start(u"C:\\Manuals\\none.html"_s);
    ASSERT_TRUE(finishes(missing, 30000));
    EXPECT_EQ(missing->exitCode(), 0);
    EXPECT_EQ(read(u"/ui.log"_s).count(u"MarvekBrowser\t16\tParameter is incorrect.\t1"_s), 1);
    EXPECT_FALSE(logged(missing, {u"open"_s}, true));
    EXPECT_TRUE(logged(missing, {u"end"_s}));
}

// Hand-overs in quick succession: the caption is always the title of the page that finished loading
// last, never " - " & the name of a document still on its way (which would make the next start take
// the window for a stale PDF window and quit it).
TEST_F(PagoraProcesses, BurstsOfHandOversLeaveTheLastPagesTitle) {
    QStringList pages;
    for (int i = 0; i < 90; ++i) {
        pages << u"C:\\Manuals\\My Manual\\p%1.html"_s.arg(i);
        machine.writeFile(pages.back(), "<html><head><title>p" + QByteArray::number(i) +
                                            "</title></head><body><p>page</p></body></html>");
    }
    QProcess* first = start(page);
    ASSERT_TRUE(waitForServer());
    ASSERT_TRUE(waitForLog(first, {u"caption"_s, u"0"_s, u"index - MarvekBrowser"_s}));

    // The instance's last line of a kind: its last field.
    const auto last = [&](const QString& kind) {
        QString field;
        for (const QString& line : read(u"/browser.log"_s).split(u'\n', Qt::SkipEmptyParts)) {
            const QStringList fields = line.split(u'\t');
            if (fields.size() >= 4 && fields[0].toLongLong() == pids.at(first) && fields[1] == kind)
                field = kind == u"caption" ? fields[3] : fields[3].section(u'\\', -1).section(u'.', 0, 0);
        }
        return field;
    };
    const auto lastCaption = [&] {
        return last(u"caption"_s);
    };
    int next = 0;
    for (int round = 0; round < 10; ++round) {
        SCOPED_TRACE(round);
        // Four starts back to back, each handing its page over.
        for (int i = 0; i < 4; ++i)
            ASSERT_TRUE(finishes(start(pages[next++])));
        const QString expected = u"p%1 - MarvekBrowser"_s.arg(next - 1);
        EXPECT_TRUE(waitFor([&] { return lastCaption() == expected; }, 5000)) << lastCaption().toStdString();
        // Five at the very same moment: each hands over (none finds a stale window and takes over),
        // and the page of the last request is shown with its title.
        std::vector<QProcess*> burst;
        for (int i = 0; i < 5; ++i)
            burst.push_back(start(pages[next++]));
        for (QProcess* process : burst)
            ASSERT_TRUE(finishes(process));
        EXPECT_TRUE(waitFor([&] { return lastCaption() == last(u"update"_s) + u" - MarvekBrowser"_s; }, 5000))
            << lastCaption().toStdString();
        ASSERT_EQ(first->state(), QProcess::Running);
    }
    EXPECT_EQ(count(first, {u"caption"_s, u"0"_s, u" - MarvekBrowser"_s}), 0);
    EXPECT_FALSE(logged(first, {u"quit-stale"_s}));
    EXPECT_EQ(first->state(), QProcess::Running);
}

// The command line as the caller wrote it, through the platform's process starter (as the launcher
// and the setup programs start the browser) and from a shell: two blanks in a row stay two, and
// quotes inside a path are removed by the parser rather than by an argument split.
TEST_F(PagoraProcesses, TheCommandLineIsReadAsWritten) {
    const QString twoBlanks = u"C:\\Manuals\\Two  Blanks\\index.html"_s;
    ASSERT_TRUE(machine.writeFile(twoBlanks, "<html><head><title>two</title></head><body></body></html>"));
    const QString quoted = u"C:\\Manuals\\\"My Manual\"\\index.html"_s; // the page "index"
    // The program at a drive path, as installed (its engine is found beside the real file).
    const QString program = u"C:\\Pagora\\Pagora.exe"_s;
    ASSERT_TRUE(QDir().mkpath(machine.host(u"C:\\Pagora"_s)));
    ASSERT_TRUE(QFile::link(QStringLiteral(PAGORA_EXE), machine.host(u"C:\\Pagora"_s) + u"/Pagora.exe"_s));

    // The starter's children take this process's environment.
    std::vector<std::pair<QByteArray, std::optional<QByteArray>>> saved;
    const QProcessEnvironment env = environment();
    for (const QString& key : env.keys()) {
        const QByteArray name = key.toLocal8Bit();
        saved.emplace_back(name,
                           qEnvironmentVariableIsSet(name) ? std::optional(qgetenv(name)) : std::nullopt);
        qputenv(name, env.value(key).toLocal8Bit());
    }
    const auto restore = qScopeGuard([&] {
        for (const auto& [name, value] : saved) {
            if (value)
                qputenv(name, *value);
            else
                qunsetenv(name);
        }
    });
    const platform::Processes starter(machine.machine());
    const auto ends = [](platform::ChildProcess& child) {
        return waitFor([&] { return child.exitCode() != platform::STILL_ACTIVE; }, 20000) &&
               child.exitCode() == 0;
    };

    // First starts, then hand-overs, of both command lines.
    const std::unique_ptr<platform::ChildProcess> first =
        starter.start(u"\""_s + program + u"\" "_s + twoBlanks, platform::WindowMode::Normal);
    ASSERT_NE(first, nullptr);
    const auto killFirst = qScopeGuard([&] {
        if (first->exitCode() == platform::STILL_ACTIVE) // not yet reaped: the pid is still its own
            ::kill(static_cast<pid_t>(first->pid()), SIGKILL);
    });
    EXPECT_TRUE(waitFor([&] {
        return loggedBy(first->pid(), {u"open"_s, u"0"_s, twoBlanks, u"0"_s, u"0"_s, u"0"_s});
    }));
    ASSERT_TRUE(waitForServer());
    const std::unique_ptr<platform::ChildProcess> second =
        starter.start(program + u" "_s + quoted + u";1"_s, platform::WindowMode::Normal);
    ASSERT_TRUE(second && ends(*second));
    EXPECT_TRUE(waitFor([&] {
        return loggedBy(first->pid(), {u"update"_s, u"0"_s, page, u"1"_s, u"0"_s, u"0"_s});
    }));
    const std::unique_ptr<platform::ChildProcess> third =
        starter.start(program + u" "_s + twoBlanks + u";0;0;1"_s, platform::WindowMode::Normal);
    ASSERT_TRUE(third && ends(*third));
    EXPECT_TRUE(waitFor([&] {
        return loggedBy(first->pid(), {u"update"_s, u"0"_s, twoBlanks, u"0"_s, u"0"_s, u"1"_s});
    }));

    // From a shell: the arguments, joined.
    QProcess* shell =
        startProgram(u"/bin/sh"_s, {u"-c"_s, u"\"$0\" 'C:\\Manuals\\\"My Manual\"\\index.html;1;0;1'"_s,
                                    QStringLiteral(PAGORA_EXE)});
    ASSERT_TRUE(finishes(shell));
    EXPECT_TRUE(waitFor([&] {
        return loggedBy(first->pid(), {u"update"_s, u"0"_s, page, u"1"_s, u"0"_s, u"1"_s});
    }));

    ::kill(static_cast<pid_t>(first->pid()), SIGKILL);
    ASSERT_TRUE(waitFor([&] { return first->exitCode() != platform::STILL_ACTIVE; }));
    QLocalServer::removeServer(name);
    const std::unique_ptr<platform::ChildProcess> fourth =
        starter.start(program + u" "_s + quoted, platform::WindowMode::Normal);
    ASSERT_NE(fourth, nullptr);
    EXPECT_TRUE(waitFor([&] {
        return loggedBy(fourth->pid(), {u"open"_s, u"0"_s, page, u"0"_s, u"0"_s, u"0"_s});
    }));
    ::kill(static_cast<pid_t>(fourth->pid()), SIGKILL);
    EXPECT_TRUE(waitFor([&] { return fourth->exitCode() != platform::STILL_ACTIVE; }));
    EXPECT_FALSE(read(u"/ui.log"_s).contains(u"Parameter is incorrect."_s));
}

} // namespace
} // namespace marvek::browser::browsertest
