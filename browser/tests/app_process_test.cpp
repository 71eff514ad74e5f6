// Real Pagora processes on the offscreen platform: start-up, hand-over, slot 0, stale instances.

#include "browser/app/HandOver.h"
#include "browser_fixture.h"

#include <QLocalServer>
#include <QProcess>
#include <map>

namespace marvek::browser::browsertest {
namespace {

class PagoraProcesses : public BrowserFixture {
protected:
    PagoraProcesses() {
        prepareMachine();
        machine.writeFile(u"C:\\Manuals\\My Manual\\notitle.html"_s,
                          "<html><body><p>no title</p></body></html>");
        // Opens a page in a second window, then closes itself.
        machine.writeFile(u"C:\\Manuals\\My Manual\\opener.html"_s,
                          "<html><head><title>opener</title></head><body><script>"
                          "window.open('other.html', '_blank', 'width=600,height=400');"
                          "setTimeout(function () { window.close(); }, 1500);"
                          "</script></body></html>");
    }

    ~PagoraProcesses() override {
        processes.clear(); // kills what still runs
        // A killed instance leaves its socket in the temporary folder.
        if (!handover::client::instanceRunning(name))
            QLocalServer::removeServer(name);
    }

    // Starts Pagora with the launcher's command line "program page" without quotes: a path with a
    // blank arrives in pieces.
    QProcess* start(const QString& commandLine) {
        auto process = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"MARVEK_ROOT"_s, machine.root());
        env.insert(u"MARVEK_BROWSER_LOG"_s, machine.root() + u"/browser.log"_s);
        env.insert(u"MARVEK_UI_LOG"_s, machine.root() + u"/ui.log"_s);
        env.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
        env.insert(u"HOME"_s, machine.root());
        for (const char* kind : {"DATA", "CACHE", "CONFIG"})
            env.insert(u"XDG_%1_HOME"_s.arg(QLatin1String(kind)),
                       machine.root() + u"/xdg/"_s + QLatin1String(kind));
        env.remove(u"MARVEK_UI_SCRIPT"_s);
        process->setProcessEnvironment(env);
        process->setProcessChannelMode(QProcess::MergedChannels);
        process->setStandardOutputFile(machine.root() + u"/output.log"_s, QIODevice::Append);
        process->start(QStringLiteral(PAGORA_EXE),
                       commandLine.isEmpty() ? QStringList() : commandLine.split(u' '));
        process->waitForStarted(10000);
        pids[process.get()] = process->processId(); // processId() reads 0 once the process ended
        processes.push_back(std::move(process));
        return processes.back().get();
    }

    QString read(const QString& file) const {
        QFile log(machine.root() + file);
        return log.open(QIODevice::ReadOnly) ? QString::fromUtf8(log.readAll()) : QString();
    }

    // Whether the process logged a line of exactly these fields (with anyAfter: starting with them)
    // to MARVEK_BROWSER_LOG, whose lines are "pid TAB fields".
    bool logged(const QProcess* process, const QStringList& fields, bool anyAfter = false) const {
        for (const QString& line : read(u"/browser.log"_s).split(u'\n', Qt::SkipEmptyParts)) {
            QStringList seen = line.split(u'\t');
            if (seen.takeFirst().toLongLong() == pids.at(process) &&
                (anyAfter ? seen.mid(0, fields.size()) : seen) == fields)
                return true;
        }
        return false;
    }

    bool waitForLog(const QProcess* process, const QStringList& fields) {
        return waitFor([&] { return logged(process, fields); });
    }
    bool waitForServer() {
        return waitFor([&] { return handover::client::instanceRunning(name); });
    }
    static bool finishes(QProcess* process, int timeoutMs = 20000) {
        return waitFor([&] { return process->state() == QProcess::NotRunning; }, timeoutMs);
    }

    const QString name = handover::serverName(machine.machine());
    std::vector<std::unique_ptr<QProcess>> processes;
    std::map<const QProcess*, qint64> pids;
};

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

} // namespace
} // namespace marvek::browser::browsertest
