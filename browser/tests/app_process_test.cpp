// Real Pagora processes on the offscreen platform: start-up, hand-over, slot 0, stale instances.

#include "browser/app/HandOver.h"
#include "platform/Platform.h"
#include "platform/testing/TempMachine.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QLocalServer>
#include <QProcess>
#include <QTest>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <signal.h>

using namespace marvek;
using namespace Qt::StringLiterals;

namespace {

// Cold starts of the page engine can take seconds on a loaded machine.
constexpr int WaitMs = 60000;

bool waitUntil(const std::function<bool()>& condition, int timeoutMs = WaitMs) {
    QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QTest::qWait(20);
    }
    return true;
}

// One line of MARVEK_BROWSER_LOG: the process id, then the fields.
struct LogLine {
    qint64 pid = 0;
    QStringList fields;
};

class PagoraProcesses : public ::testing::Test {
protected:
    PagoraProcesses() {
        QFile ini(machine.machine().machineIniFile());
        if (ini.open(QIODevice::WriteOnly))
            ini.write("[Locale]\r\nSystemDefaultLangID=0409\r\nUserDefaultLangID=0409\r\nACP=1252\r\n");
        ini.close();
        const QByteArray titled = "<html><head><title>%1</title></head><body><p>%1</p></body></html>";
        for (const char* name : {"index", "other", "codesearch"})
            machine.writeFile(u"C:\\Manuals\\My Manual\\%1.html"_s.arg(QLatin1String(name)),
                              QByteArray(titled).replace("%1", name));
        machine.writeFile(u"C:\\Manuals\\My Manual\\notitle.html"_s,
                          "<html><body><p>no title</p></body></html>");
        // Opens a page in a second window, then closes itself.
        machine.writeFile(u"C:\\Manuals\\My Manual\\opener.html"_s,
                          "<html><head><title>opener</title></head><body><script>"
                          "window.open('other.html', '_blank', 'width=600,height=400');"
                          "setTimeout(function () { window.close(); }, 1500);"
                          "</script></body></html>");
        name = browser::handover::serverName(machine.machine());
    }

    ~PagoraProcesses() override {
        for (const auto& process : processes) {
            if (process->state() != QProcess::NotRunning) {
                process->kill();
                process->waitForFinished(10000);
            }
        }
        // A killed instance leaves its socket in the temporary folder.
        if (!browser::handover::client::instanceRunning(name))
            QLocalServer::removeServer(name);
    }

    // Starts Pagora with these arguments (argv[1..]), as a process starter passes them.
    QProcess* start(const QStringList& arguments) {
        auto process = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"MARVEK_ROOT"_s, machine.root());
        env.insert(u"MARVEK_BROWSER_LOG"_s, logFile());
        env.insert(u"MARVEK_UI_LOG"_s, uiLogFile());
        env.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
        env.insert(u"HOME"_s, machine.root());
        env.insert(u"XDG_DATA_HOME"_s, machine.root() + u"/xdg/data"_s);
        env.insert(u"XDG_CACHE_HOME"_s, machine.root() + u"/xdg/cache"_s);
        env.insert(u"XDG_CONFIG_HOME"_s, machine.root() + u"/xdg/config"_s);
        env.remove(u"MARVEK_UI_SCRIPT"_s);
        process->setProcessEnvironment(env);
        process->setProcessChannelMode(QProcess::MergedChannels);
        process->setStandardOutputFile(machine.root() + u"/output.log"_s, QIODevice::Append);
        process->start(QStringLiteral(PAGORA_EXE), arguments);
        process->waitForStarted(10000);
        pids[process.get()] = process->processId(); // processId() reads 0 once the process ended
        processes.push_back(std::move(process));
        return processes.back().get();
    }

    QString logFile() const { return machine.root() + u"/browser.log"_s; }
    QString uiLogFile() const { return machine.root() + u"/ui.log"_s; }

    std::vector<LogLine> log() const {
        std::vector<LogLine> lines;
        QFile file(logFile());
        if (!file.open(QIODevice::ReadOnly))
            return lines;
        for (const QByteArray& raw : file.readAll().split('\n')) {
            if (raw.isEmpty())
                continue;
            QStringList fields = QString::fromUtf8(raw).split(u'\t');
            lines.push_back({fields.takeFirst().toLongLong(), fields});
        }
        return lines;
    }

    bool logged(const QProcess* process, const QStringList& fields) const {
        for (const LogLine& line : log()) {
            if (line.pid == pids.at(process) && line.fields == fields)
                return true;
        }
        return false;
    }

    bool loggedAnything(const QProcess* process, const QString& kind) const {
        for (const LogLine& line : log()) {
            if (line.pid == pids.at(process) && line.fields.value(0) == kind)
                return true;
        }
        return false;
    }

    bool waitForLog(const QProcess* process, const QStringList& fields) {
        return waitUntil([&] { return logged(process, fields); });
    }

    bool waitForServer() {
        return waitUntil([&] { return browser::handover::client::instanceRunning(name); });
    }

    static bool finishes(QProcess* process, int timeoutMs = WaitMs) {
        return waitUntil([&] { return process->state() == QProcess::NotRunning; }, timeoutMs);
    }

    QString uiLog() const {
        QFile file(uiLogFile());
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }

    const QString page = u"C:\\Manuals\\My Manual\\index.html"_s;
    const QString other = u"C:\\Manuals\\My Manual\\other.html"_s;
    const QString codeSearch = u"C:\\Manuals\\My Manual\\codesearch.html"_s;

    marvek::testing::TempMachine machine;
    QString name;
    std::vector<std::unique_ptr<QProcess>> processes;
    std::map<const QProcess*, qint64> pids;
};

// Sets environment variables for the life of the object (children inherit them) and restores them.
class EnvironmentGuard {
public:
    void set(const char* name, const QString& value) {
        m_saved.emplace_back(name, qEnvironmentVariableIsSet(name), qgetenv(name));
        qputenv(name, value.toUtf8());
    }
    ~EnvironmentGuard() {
        for (auto it = m_saved.rbegin(); it != m_saved.rend(); ++it) {
            const auto& [name, wasSet, value] = *it;
            if (wasSet)
                qputenv(name, value);
            else
                qunsetenv(name);
        }
    }

private:
    std::vector<std::tuple<const char*, bool, QByteArray>> m_saved;
};

// The launcher's command line "program page" without quotes: a path with a blank arrives in pieces.
QStringList launcherArguments(const QString& path) {
    return path.split(u' ');
}

} // namespace

TEST_F(PagoraProcesses, SecondStartHandsOverAndEnds) {
    QProcess* first = start(launcherArguments(page));
    ASSERT_TRUE(waitForLog(first, {u"open"_s, u"0"_s, page, u"0"_s, u"0"_s, u"0"_s}));
    ASSERT_TRUE(waitForServer());
    ASSERT_TRUE(waitForLog(first, {u"caption"_s, u"0"_s, u"index - MarvekBrowser"_s}));

    QProcess* second = start(launcherArguments(other + u";1"_s));
    ASSERT_TRUE(finishes(second, 20000));
    EXPECT_EQ(second->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second->exitCode(), 0);
    EXPECT_FALSE(loggedAnything(second, u"open"_s)); // no window of its own
    EXPECT_TRUE(logged(first, {u"update"_s, u"0"_s, other, u"1"_s, u"0"_s, u"0"_s}));
    EXPECT_TRUE(waitForLog(first, {u"caption"_s, u"0"_s, u"other - MarvekBrowser"_s}));

    // A bad request: the running instance says so and keeps its window.
    QProcess* third = start({u"C:\\Manuals\\none.html"_s});
    ASSERT_TRUE(finishes(third, 20000));
    EXPECT_TRUE(waitUntil([&] { return uiLog().contains(u"Parameter is incorrect."_s); }));
    EXPECT_TRUE(uiLog().startsWith(u"MarvekBrowser\t16\tParameter is incorrect.\t1"_s));
    EXPECT_EQ(first->state(), QProcess::Running);
    EXPECT_FALSE(loggedAnything(first, u"end"_s));
}

TEST_F(PagoraProcesses, HiddenCodeSearchWindowGivesSlotZeroToAForwardedPage) {
    QProcess* first = start({u"\""_s + codeSearch + u"\";0;1;1"_s});
    ASSERT_TRUE(waitForLog(first, {u"open"_s, u"0"_s, codeSearch, u"0"_s, u"1"_s, u"1"_s}));
    ASSERT_TRUE(waitForServer());

    QProcess* second = start(launcherArguments(page));
    ASSERT_TRUE(finishes(second, 20000));
    EXPECT_TRUE(waitForLog(first, {u"unload"_s, u"0"_s}));
    EXPECT_TRUE(logged(first, {u"create"_s, u"0"_s}));
    EXPECT_TRUE(logged(first, {u"update"_s, u"0"_s, page, u"0"_s, u"0"_s, u"0"_s}));
    EXPECT_TRUE(waitForLog(first, {u"caption"_s, u"0"_s, u"index - MarvekBrowser"_s}));
    QTest::qWait(500);
    EXPECT_EQ(first->state(), QProcess::Running);
    EXPECT_FALSE(loggedAnything(first, u"end"_s));
}

TEST_F(PagoraProcesses, ClosedSlotZeroIsRecreatedForAForwardedPage) {
    QProcess* first = start(launcherArguments(u"C:\\Manuals\\My Manual\\opener.html"_s));
    ASSERT_TRUE(waitForServer());
    // The page opened a window in slot 1 and closed its own; the program goes on.
    ASSERT_TRUE(waitForLog(first, {u"open"_s, u"1"_s, QString(), u"0"_s, u"0"_s, u"0"_s}));
    ASSERT_TRUE(waitForLog(first, {u"caption"_s, u"1"_s, u"other - MarvekBrowser"_s}));
    QTest::qWait(2500); // the close after 1.5 s
    ASSERT_EQ(first->state(), QProcess::Running);

    QProcess* second = start(launcherArguments(page));
    ASSERT_TRUE(finishes(second, 20000));
    EXPECT_TRUE(waitForLog(first, {u"create"_s, u"0"_s}));
    EXPECT_TRUE(logged(first, {u"update"_s, u"0"_s, page, u"0"_s, u"0"_s, u"0"_s}));
    EXPECT_FALSE(logged(first, {u"unload"_s, u"0"_s}));
}

TEST_F(PagoraProcesses, StaleInstanceIsToldToQuitAndTheNewOneTakesOver) {
    QProcess* first = start(launcherArguments(u"C:\\Manuals\\My Manual\\notitle.html"_s));
    ASSERT_TRUE(waitForServer());
    ASSERT_TRUE(waitForLog(first, {u"caption"_s, u"0"_s, u" - MarvekBrowser"_s}));

    QProcess* second = start(launcherArguments(page));
    ASSERT_TRUE(finishes(first, 20000)); // quit, without closing its windows
    EXPECT_EQ(first->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(first->exitCode(), 0);
    EXPECT_TRUE(logged(first, {u"quit-stale"_s}));
    ASSERT_TRUE(waitForLog(second, {u"open"_s, u"0"_s, page, u"0"_s, u"0"_s, u"0"_s}));
    EXPECT_EQ(second->state(), QProcess::Running);

    // The new instance owns the hand-over now.
    QProcess* third = start(launcherArguments(other));
    ASSERT_TRUE(finishes(third, 20000));
    EXPECT_TRUE(waitForLog(second, {u"update"_s, u"0"_s, other, u"0"_s, u"0"_s, u"0"_s}));
}

TEST_F(PagoraProcesses, KilledInstanceDoesNotBlockANewStart) {
    QProcess* first = start(launcherArguments(page));
    ASSERT_TRUE(waitForServer());
    first->kill(); // leaves its socket behind
    ASSERT_TRUE(finishes(first, 20000));
    EXPECT_FALSE(browser::handover::client::instanceRunning(name));

    QProcess* second = start(launcherArguments(other));
    ASSERT_TRUE(waitForLog(second, {u"open"_s, u"0"_s, other, u"0"_s, u"0"_s, u"0"_s}));
    EXPECT_TRUE(waitForServer());
}

TEST_F(PagoraProcesses, BadFirstCommandLineShowsTheMessageAndEnds) {
    QProcess* missing = start({u"C:\\Manuals\\none.html"_s});
    ASSERT_TRUE(finishes(missing, 30000));
    EXPECT_EQ(missing->exitCode(), 0);
    QProcess* empty = start({});
    ASSERT_TRUE(finishes(empty, 30000));
    EXPECT_EQ(uiLog().count(u"MarvekBrowser\t16\tParameter is incorrect.\t1"_s), 2);
    EXPECT_FALSE(loggedAnything(missing, u"open"_s));
    EXPECT_TRUE(logged(empty, {u"end"_s}));
    EXPECT_FALSE(browser::handover::client::instanceRunning(name));
}

TEST_F(PagoraProcesses, StartedAsTheOtherProgramsStartIt) {
    // "program path, a blank, the page path, no quotes", through the platform's process starter.
    EnvironmentGuard environment;
    environment.set("MARVEK_BROWSER_LOG", logFile());
    environment.set("MARVEK_UI_LOG", uiLogFile());
    environment.set("QT_QPA_PLATFORM", u"offscreen"_s);
    environment.set("HOME", machine.root());
    platform::Platform os(machine.machine(), std::make_unique<platform::ScriptedUserInterface>(),
                          std::make_unique<platform::TestClock>());
    const QString program = machine.machine().toWindows(QStringLiteral(PAGORA_EXE));
    ASSERT_TRUE(os.processes().startDetached(program + u' ' + page, platform::WindowMode::Normal));

    qint64 pid = 0;
    EXPECT_TRUE(waitUntil([&] {
        for (const LogLine& line : log()) {
            if (line.fields == QStringList{u"open"_s, u"0"_s, page, u"0"_s, u"0"_s, u"0"_s})
                pid = line.pid;
        }
        return pid != 0;
    }));
    EXPECT_TRUE(waitUntil([&] {
        for (const LogLine& line : log()) {
            if (line.pid == pid &&
                line.fields == QStringList{u"caption"_s, u"0"_s, u"index - MarvekBrowser"_s})
                return true;
        }
        return false;
    }));
    EXPECT_TRUE(uiLog().isEmpty());
    if (pid > 0)
        ::kill(static_cast<pid_t>(pid), SIGKILL); // the detached instance this test started
    EXPECT_TRUE(waitUntil([&] { return !browser::handover::client::instanceRunning(name); }));
}
