// Pagora: the hand-over round trip and the cold start to the first page, with real processes on the
// offscreen platform in a temporary machine prefix.
//   HandOver/Process   a second Pagora start, from spawn to its end, while an instance runs
//                      (the instance has processed the request when the second process ends)
//   HandOver/Message   the hand-over message alone: connect, send, the instance's processing, answer
//   ColdStart          from spawn to the first page's caption (document complete) in a new instance
// and each against its floor in the same run, in pairs side by side (medians, and their ratio):
//   HandOver/VsBareCore      the second start against a process that only creates a QCoreApplication
//                            (goal: at most 1.5 times)
//   ColdStart/VsMinimalView  the cold start against a minimal QWebEngineView program that loads the
//                            same page and reads its title (goal: at most 1.1 times)

#include "browser/app/HandOver.h"
#include "platform/Machine.h"
#include "platform/RuntimeFolder.h"
#include "platform/TextCodec.h"
#include "platform/testing/BuildPath.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <memory>
#include <vector>

namespace {

using namespace marvek;

const QString Page = QStringLiteral("C:\\Manuals\\Bench Manual\\index.html");
const QString Other = QStringLiteral("C:\\Manuals\\Bench Manual\\other.html");
const QString NoTitle = QStringLiteral("C:\\Manuals\\Bench Manual\\notitle.html");

class BrowserBench {
public:
    BrowserBench() : m_machine(m_dir.path()) {
        m_machine.ensureLayout();
        write(m_machine.machineIniFile(),
              "[Locale]\r\nSystemDefaultLangID=0409\r\nUserDefaultLangID=0409\r\n");
        write(m_machine.toHost(QStringLiteral("C:\\Manuals")) + QStringLiteral("/Bench Manual/index.html"),
              "<html><head><title>index</title></head><body><p>index</p></body></html>");
        write(m_machine.toHost(QStringLiteral("C:\\Manuals")) + QStringLiteral("/Bench Manual/other.html"),
              "<html><head><title>other</title></head><body><p>other</p></body></html>");
        write(m_machine.toHost(QStringLiteral("C:\\Manuals")) + QStringLiteral("/Bench Manual/notitle.html"),
              "<html><body><p>no title</p></body></html>");
        m_name = browser::handover::serverName(platform::RuntimeFolder::ofUser(), m_machine);
    }

    ~BrowserBench() { stopInstance(); }

    const QString& serverName() const { return m_name; }

    std::unique_ptr<QProcess> start(const QString& commandLine) const {
        return startProgram(testing::BuildPath("PAGORA_EXE"), commandLine.split(QLatin1Char(' ')));
    }

    std::unique_ptr<QProcess> startProgram(const QString& program, const QStringList& arguments) const {
        auto process = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("MARVEK_ROOT"), m_dir.path());
        env.insert(QStringLiteral("MARVEK_BROWSER_LOG"), logFile());
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("HOME"), m_dir.path());
        env.insert(QStringLiteral("QTWEBENGINE_DISABLE_SANDBOX"), QStringLiteral("1"));
        process->setProcessEnvironment(env);
        process->setStandardOutputFile(QProcess::nullDevice());
        process->setStandardErrorFile(QProcess::nullDevice());
        process->start(program, arguments);
        process->waitForStarted(10000);
        return process;
    }

    QString hostPath(const QString& windowsPath) const { return m_machine.toHost(windowsPath); }
    QString logFile() const { return m_dir.path() + QStringLiteral("/browser.log"); }

    // Starts the running instance on a titled page (a title-less one would be taken for a stale
    // instance and told to quit by the next start) and waits until it answers.
    bool startInstance() {
        m_instance = start(Page);
        return waitForLog("\tcaption\t0\tindex - MarvekBrowser", 60000) &&
               browser::handover::client::instanceRunning(m_name);
    }

    void stopInstance() {
        if (!m_instance)
            return;
        m_instance->terminate();
        if (!m_instance->waitForFinished(10000))
            m_instance->kill();
        m_instance->waitForFinished(10000);
        m_instance.reset();
        QLocalServer::removeServer(m_name); // the socket of the terminated instance
    }

    // True when a line ending with suffix appears in the log within the time.
    bool waitForLog(const QByteArray& suffix, int timeoutMs) const {
        QDeadlineTimer deadline(timeoutMs);
        while (!deadline.hasExpired()) {
            QFile file(logFile());
            if (file.open(QIODevice::ReadOnly)) {
                for (const QByteArray& line : file.readAll().split('\n')) {
                    if (line.endsWith(suffix))
                        return true;
                }
            }
            QThread::msleep(2);
        }
        return false;
    }

    void clearLog() const { QFile::remove(logFile()); }

private:
    static void write(const QString& path, const QByteArray& bytes) {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        if (file.open(QIODevice::WriteOnly))
            file.write(bytes);
    }

    QTemporaryDir m_dir;
    platform::Machine m_machine;
    QString m_name;
    std::unique_ptr<QProcess> m_instance;
};

void HandOverProcess(benchmark::State& state) {
    BrowserBench bench;
    if (!bench.startInstance()) {
        state.SkipWithError("the instance did not start");
        return;
    }
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        const auto second = bench.start(Other);
        const bool ended = second->waitForFinished(30000);
        state.SetIterationTime(static_cast<double>(timer.nsecsElapsed()) / 1e9);
        if (!ended) {
            second->kill();
            second->waitForFinished(10000);
            state.SkipWithError("the second start did not end");
            return;
        }
    }
}

void HandOverMessage(benchmark::State& state) {
    BrowserBench bench;
    if (!bench.startInstance()) {
        state.SkipWithError("the instance did not start");
        return;
    }
    const QByteArray lpData = browser::handover::copyDataPayload(Other, platform::CodePageWestern);
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        const auto answer = browser::handover::client::sendCopyData(bench.serverName(), 0, lpData);
        state.SetIterationTime(static_cast<double>(timer.nsecsElapsed()) / 1e9);
        if (answer.value_or(0) != 1)
            state.SkipWithError("no answer");
    }
}

void ColdStart(benchmark::State& state) {
    BrowserBench bench;
    for (auto _ : state) {
        bench.clearLog();
        QElapsedTimer timer;
        timer.start();
        auto process = bench.start(NoTitle);
        const bool shown = bench.waitForLog("\tcaption\t0\t - MarvekBrowser", 60000);
        state.SetIterationTime(static_cast<double>(timer.nsecsElapsed()) / 1e9);
        browser::handover::client::askQuitStale(bench.serverName(), QStringLiteral(" - MarvekBrowser"));
        if (!process->waitForFinished(10000))
            process->kill();
        process->waitForFinished(10000);
        if (!shown) {
            state.SkipWithError("no first page");
            return;
        }
    }
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0.0 : values[values.size() / 2];
}

// Milliseconds from spawn to the end of a process; negative when it did not end.
double spawnToExit(const BrowserBench& bench, const QString& program, const QStringList& arguments) {
    QElapsedTimer timer;
    timer.start();
    const auto process = bench.startProgram(program, arguments);
    if (!process->waitForFinished(30000)) {
        process->kill();
        process->waitForFinished(10000);
        return -1;
    }
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

// Reports the medians of a figure and its floor, their ratio and the goal for the ratio.
void report(benchmark::State& state, const std::vector<double>& figure, const std::vector<double>& floor,
            double goal) {
    const double f = median(figure);
    const double base = median(floor);
    state.counters["median_ms"] = f;
    state.counters["floor_ms"] = base;
    state.counters["ratio"] = base > 0 ? f / base : 0;
    state.counters["goal"] = goal;
    state.SetLabel(base > 0 && f / base <= goal ? "within goal" : "OVER GOAL");
}

void HandOverVsBareCore(benchmark::State& state) {
    BrowserBench bench;
    if (!bench.startInstance()) {
        state.SkipWithError("the instance did not start");
        return;
    }
    std::vector<double> second;
    std::vector<double> bare;
    for (auto _ : state) {
        // The instance settles after the previous page (its page engine keeps both cores busy for a
        // while): a caller does not start pages every few milliseconds.
        QThread::msleep(150);
        const double floor = spawnToExit(bench, testing::BuildPath("BARE_CORE_EXE"), {});
        const double handOver = spawnToExit(bench, testing::BuildPath("PAGORA_EXE"), {Other});
        if (floor < 0 || handOver < 0) {
            state.SkipWithError("a process did not end");
            return;
        }
        bare.push_back(floor);
        second.push_back(handOver);
        state.SetIterationTime(handOver / 1e3);
    }
    report(state, second, bare, 1.5);
}

void ColdStartVsMinimalView(benchmark::State& state) {
    BrowserBench bench;
    const QString page = bench.hostPath(Page);
    std::vector<double> pagora;
    std::vector<double> minimal;
    for (auto _ : state) {
        bench.clearLog();
        QElapsedTimer timer;
        timer.start();
        auto view = bench.startProgram(testing::BuildPath("MINIMAL_VIEW_EXE"), {page, bench.logFile()});
        const bool titled = bench.waitForLog("title\tindex", 60000);
        minimal.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
        if (!view->waitForFinished(10000))
            view->kill();
        view->waitForFinished(10000);

        bench.clearLog();
        timer.start();
        auto process = bench.start(Page);
        const bool shown = bench.waitForLog("\tcaption\t0\tindex - MarvekBrowser", 60000);
        const double cold = static_cast<double>(timer.nsecsElapsed()) / 1e6;
        pagora.push_back(cold);
        state.SetIterationTime(cold / 1e3);
        process->terminate();
        if (!process->waitForFinished(10000))
            process->kill();
        process->waitForFinished(10000);
        QLocalServer::removeServer(bench.serverName());
        if (!titled || !shown) {
            state.SkipWithError("no first page");
            return;
        }
    }
    report(state, pagora, minimal, 1.1);
}

} // namespace

BENCHMARK(HandOverVsBareCore)
    ->Name("HandOver/VsBareCore")
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(20);
BENCHMARK(ColdStartVsMinimalView)
    ->Name("ColdStart/VsMinimalView")
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(16);
BENCHMARK(HandOverProcess)
    ->Name("HandOver/Process")
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(20);
BENCHMARK(HandOverMessage)
    ->Name("HandOver/Message")
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(50);
BENCHMARK(ColdStart)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
