// Pagora: the hand-over round trip and the cold start to the first page, with real processes on the
// offscreen platform in a temporary machine prefix.
//   HandOver/Process   a second Pagora start, from spawn to its end, while an instance runs
//                      (the instance has processed the request when the second process ends)
//   HandOver/Message   the hand-over message alone: connect, send, the instance's processing, answer
//   ColdStart          from spawn to the first page's caption (document complete) in a new instance

#include "browser/app/HandOver.h"
#include "platform/Machine.h"
#include "platform/TextCodec.h"

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
#include <benchmark/benchmark.h>
#include <memory>

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
        m_name = browser::handover::serverName(m_machine);
    }

    ~BrowserBench() { stopInstance(); }

    const QString& serverName() const { return m_name; }

    std::unique_ptr<QProcess> start(const QString& commandLine) const {
        auto process = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("MARVEK_ROOT"), m_dir.path());
        env.insert(QStringLiteral("MARVEK_BROWSER_LOG"), logFile());
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("HOME"), m_dir.path());
        process->setProcessEnvironment(env);
        process->setStandardOutputFile(QProcess::nullDevice());
        process->setStandardErrorFile(QProcess::nullDevice());
        process->start(QStringLiteral(PAGORA_EXE), commandLine.split(QLatin1Char(' ')));
        process->waitForStarted(10000);
        return process;
    }

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

    QString logFile() const { return m_dir.path() + QStringLiteral("/browser.log"); }

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

} // namespace

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
