// Real Pagora processes on the offscreen platform, each test in its own machine prefix: the fixture
// of the process tests.

#pragma once

#include "browser/app/HandOver.h"
#include "browser_fixture.h"

#include <QLocalServer>
#include <QProcess>
#include <map>

namespace marvek::browser::browsertest {

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
        return startProgram(QStringLiteral(PAGORA_EXE),
                            commandLine.isEmpty() ? QStringList() : commandLine.split(u' '));
    }

    // The environment every browser process of a test gets: the prefix, the logs, no display.
    QProcessEnvironment environment() const {
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
        for (const auto& [key, value] : extraEnvironment)
            env.insert(key, value);
        return env;
    }

    QProcess* startProgram(const QString& program, const QStringList& arguments) {
        auto process = std::make_unique<QProcess>();
        process->setProcessEnvironment(environment());
        process->setProcessChannelMode(QProcess::MergedChannels);
        process->setStandardOutputFile(machine.root() + u"/output.log"_s, QIODevice::Append);
        process->start(program, arguments);
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
        return loggedBy(pids.at(process), fields, anyAfter);
    }
    bool loggedBy(qint64 pid, const QStringList& fields, bool anyAfter = false) const {
        for (const QString& line : read(u"/browser.log"_s).split(u'\n', Qt::SkipEmptyParts)) {
            QStringList seen = line.split(u'\t');
            if (seen.takeFirst().toLongLong() == pid &&
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

    // The number of lines of the browser log that the process wrote with these first fields.
    int count(const QProcess* process, const QStringList& fields) const {
        int n = 0;
        for (const QString& line : read(u"/browser.log"_s).split(u'\n', Qt::SkipEmptyParts)) {
            QStringList seen = line.split(u'\t');
            if (seen.takeFirst().toLongLong() == pids.at(process) && seen.mid(0, fields.size()) == fields)
                ++n;
        }
        return n;
    }

    const QString name = handover::serverName(machine.machine());
    std::map<QString, QString> extraEnvironment;
    std::vector<std::unique_ptr<QProcess>> processes;
    std::map<const QProcess*, qint64> pids;
};

} // namespace marvek::browser::browsertest
