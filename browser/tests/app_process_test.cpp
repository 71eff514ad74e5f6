// Real Pagora processes on the offscreen platform, each test in its own machine prefix: start-up,
// hand-over, stale instances, and hostile callers of a real instance's hand-over socket (after
// each attack, and during the ones that hold connections open, a normal hand-over still gets through).

#include "browser/app/HandOver.h"
#include "browser_fixture.h"
#include "platform/Processes.h"
#include "platform/RuntimeFolder.h"
#include "platform/TextCodec.h"
#include "platform/testing/BuildPath.h"
#include "platform/testing/ScopedEnvironment.h"

#include <QDir>
#include <QElapsedTimer>
#include <QLocalServer>
#include <QProcess>
#include <QScopeGuard>
#include <QtEndian>
#include <cerrno>
#include <cstring>
#include <functional>
#include <map>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

using marvek::testing::BuildPath;

namespace marvek::browser::browsertest {

class PagoraProcesses : public BrowserFixture {
protected:
    PagoraProcesses() {
        prepareMachine();
        machine.writeFile(u"C:\\Manuals\\My Manual\\notitle.html"_s,
                          "<html><body><p>no title</p></body></html>");
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
        process->setProcessEnvironment(environment());
        process->setProcessChannelMode(QProcess::MergedChannels);
        process->setStandardOutputFile(machine.root() + u"/output.log"_s, QIODevice::Append);
        process->start(BuildPath("PAGORA_EXE"),
                       commandLine.isEmpty() ? QStringList() : commandLine.split(u' '));
        process->waitForStarted(10000);
        pids[process.get()] = process->processId(); // processId() reads 0 once the process ended
        processes.push_back(std::move(process));
        return processes.back().get();
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

    QString read(const QString& file) const {
        QFile log(machine.root() + file);
        return log.open(QIODevice::ReadOnly) ? QString::fromUtf8(log.readAll()) : QString();
    }

    // The number of lines the process wrote to MARVEK_BROWSER_LOG ("pid TAB fields") with exactly these
    // fields (with anyAfter: starting with them).
    int count(qint64 pid, const QStringList& fields, bool anyAfter = false) const {
        int n = 0;
        for (const QString& line : read(u"/browser.log"_s).split(u'\n', Qt::SkipEmptyParts)) {
            QStringList seen = line.split(u'\t');
            n += seen.takeFirst().toLongLong() == pid &&
                 (anyAfter ? seen.mid(0, fields.size()) : seen) == fields;
        }
        return n;
    }
    bool logged(const QProcess* process, const QStringList& fields, bool anyAfter = false) const {
        return count(pids.at(process), fields, anyAfter) > 0;
    }
    bool waitForLogBy(qint64 pid, const QStringList& fields) {
        return waitFor([&] { return count(pid, fields) > 0; });
    }
    // The fields of an "open" or "update" line of slot 0: the page and its three flags.
    static QStringList slot0(const char* kind, const QString& url, const char* flags) {
        return {QLatin1String(kind),
                u"0"_s,
                url,
                QString(QLatin1Char(flags[0])),
                QString(QLatin1Char(flags[1])),
                QString(QLatin1Char(flags[2]))};
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

    QString name = handover::serverName(platform::RuntimeFolder::ofUser(), machine.machine());
    std::map<QString, QString> extraEnvironment;
    std::vector<std::unique_ptr<QProcess>> processes;
    std::map<const QProcess*, qint64> pids;
};

namespace {

TEST_F(PagoraProcesses, StaleInstanceIsToldToQuitAndAKilledOneDoesNotBlock) {
    QProcess* stale = start(u"C:\\Manuals\\My Manual\\notitle.html"_s);
    ASSERT_TRUE(waitForServer());
    ASSERT_TRUE(waitForLog(stale, {u"caption"_s, u"0"_s, u" - MarvekBrowser"_s}));

    QProcess* next = start(page);
    ASSERT_TRUE(finishes(stale)); // quit, without closing its windows
    EXPECT_EQ(stale->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(stale->exitCode(), 0);
    EXPECT_TRUE(logged(stale, {u"quit-stale"_s}));
    ASSERT_TRUE(waitForLog(next, slot0("open", page, "000")));
    ASSERT_TRUE(waitForServer());

    next->kill(); // leaves its socket behind
    ASSERT_TRUE(finishes(next));
    EXPECT_FALSE(handover::client::instanceRunning(name));
    QProcess* last = start(other);
    ASSERT_TRUE(waitForLog(last, slot0("open", other, "000")));
    ASSERT_TRUE(waitForServer());

    // The new instance owns the hand-over.
    ASSERT_TRUE(finishes(start(page)));
    EXPECT_TRUE(waitForLog(last, slot0("update", page, "000")));
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
    int next = 0;
    for (int round = 0; round < 10; ++round) {
        SCOPED_TRACE(round);
        // Four starts back to back, each handing its page over.
        for (int i = 0; i < 4; ++i)
            ASSERT_TRUE(finishes(start(pages[next++])));
        const QString expected = u"p%1 - MarvekBrowser"_s.arg(next - 1);
        EXPECT_TRUE(waitFor([&] { return last(u"caption"_s) == expected; }, 5000))
            << last(u"caption"_s).toStdString();
        // Five at the very same moment: each hands over (none finds a stale window and takes over),
        // and the page of the last request is shown with its title.
        std::vector<QProcess*> burst;
        for (int i = 0; i < 5; ++i)
            burst.push_back(start(pages[next++]));
        for (QProcess* process : burst)
            ASSERT_TRUE(finishes(process));
        EXPECT_TRUE(
            waitFor([&] { return last(u"caption"_s) == last(u"update"_s) + u" - MarvekBrowser"_s; }, 5000))
            << last(u"caption"_s).toStdString();
        ASSERT_EQ(first->state(), QProcess::Running);
    }
    EXPECT_EQ(count(pids.at(first), {u"caption"_s, u"0"_s, u" - MarvekBrowser"_s}, true), 0);
    EXPECT_FALSE(logged(first, {u"quit-stale"_s}));
    EXPECT_EQ(first->state(), QProcess::Running);
}

// The command line as the caller wrote it, through the platform's process starter (as the launcher
// and the setup programs start the browser): two blanks in a row stay two, and quotes inside a path
// are removed by the parser rather than by an argument split.
TEST_F(PagoraProcesses, TheCommandLineIsReadAsWritten) {
    const QString twoBlanks = u"C:\\Manuals\\Two  Blanks\\index.html"_s;
    ASSERT_TRUE(machine.writeFile(twoBlanks, "<html><head><title>two</title></head><body></body></html>"));
    const QString quoted = u"C:\\Manuals\\\"My Manual\"\\index.html"_s; // the page "index"
    // The program at a drive path, as installed (its engine is found beside the real file).
    const QString program = u"C:\\Pagora\\Pagora.exe"_s;
    ASSERT_TRUE(QDir().mkpath(machine.host(u"C:\\Pagora"_s)));
    ASSERT_TRUE(QFile::link(BuildPath("PAGORA_EXE"), machine.host(u"C:\\Pagora"_s) + u"/Pagora.exe"_s));

    // The starter's children take this process's environment.
    const QProcessEnvironment env = environment();
    const QStringList keys = env.keys();
    std::vector<QByteArray> names(keys.size());
    std::vector<std::unique_ptr<marvek::testing::ScopedEnvironment>> scoped;
    for (qsizetype i = 0; i < keys.size(); ++i) {
        names[i] = keys[i].toLocal8Bit();
        scoped.push_back(
            std::make_unique<marvek::testing::ScopedEnvironment>(names[i].constData(), env.value(keys[i])));
    }
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
    EXPECT_TRUE(waitForLogBy(first->pid(), slot0("open", twoBlanks, "000")));
    ASSERT_TRUE(waitForServer());
    const std::unique_ptr<platform::ChildProcess> second =
        starter.start(program + u" "_s + quoted + u";1"_s, platform::WindowMode::Normal);
    ASSERT_TRUE(second && ends(*second));
    EXPECT_TRUE(waitForLogBy(first->pid(), slot0("update", page, "100")));

    ::kill(static_cast<pid_t>(first->pid()), SIGKILL);
    ASSERT_TRUE(waitFor([&] { return first->exitCode() != platform::STILL_ACTIVE; }));
    QLocalServer::removeServer(name);
    const std::unique_ptr<platform::ChildProcess> fourth =
        starter.start(program + u" "_s + quoted, platform::WindowMode::Normal);
    ASSERT_NE(fourth, nullptr);
    EXPECT_TRUE(waitForLogBy(fourth->pid(), slot0("open", page, "000")));
    ::kill(static_cast<pid_t>(fourth->pid()), SIGKILL);
    EXPECT_TRUE(waitFor([&] { return fourth->exitCode() != platform::STILL_ACTIVE; }));
    EXPECT_FALSE(read(u"/ui.log"_s).contains(u"Parameter is incorrect."_s));
}

// A raw connection to the hand-over socket: blocking sends with a time limit, so that a test sees
// exactly what the server takes.
class RawConnection {
public:
    explicit RawConnection(const QString& serverName) {
        m_fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const QByteArray path = QFile::encodeName(serverName);
        std::memcpy(address.sun_path, path.constData(),
                    qMin<size_t>(path.size(), sizeof address.sun_path - 1));
        const timeval limit{0, 300'000};
        if (::connect(m_fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
            ::setsockopt(m_fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit) != 0) {
            ::close(m_fd);
            m_fd = -1;
        }
    }
    ~RawConnection() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    RawConnection(const RawConnection&) = delete;
    RawConnection& operator=(const RawConnection&) = delete;

    bool connected() const { return m_fd >= 0; }

    // Bytes the socket took (less when the server stops reading or closes).
    qsizetype send(QByteArrayView bytes) {
        qsizetype sent = 0;
        while (m_fd >= 0 && sent < bytes.size()) {
            const ssize_t n =
                ::send(m_fd, bytes.data() + sent, static_cast<size_t>(bytes.size() - sent), MSG_NOSIGNAL);
            if (n <= 0) {
                m_refused = n < 0 && (errno == EPIPE || errno == ECONNRESET);
                break;
            }
            sent += n;
        }
        return sent;
    }

    // The 32-bit answer, or nothing when none came in time (or the server closed without one).
    std::optional<qint32> answer(int timeoutMs) {
        QByteArray bytes;
        QElapsedTimer timer;
        timer.start();
        while (bytes.size() < 4 && waitReadable(timeoutMs - static_cast<int>(timer.elapsed()))) {
            char buffer[4];
            const ssize_t n = ::recv(m_fd, buffer, static_cast<size_t>(4 - bytes.size()), 0);
            if (n <= 0)
                break;
            bytes.append(buffer, n);
        }
        return bytes.size() == 4 ? std::optional<qint32>(qFromLittleEndian<qint32>(bytes.constData()))
                                 : std::nullopt;
    }

    // Whether the server closed the connection within the time (answer bytes are skipped).
    bool closedByServer(int timeoutMs) {
        if (m_refused)
            return true;
        QElapsedTimer timer;
        timer.start();
        while (waitReadable(timeoutMs - static_cast<int>(timer.elapsed()))) {
            char buffer[64];
            const ssize_t n = ::recv(m_fd, buffer, sizeof buffer, MSG_DONTWAIT);
            if (n == 0 || (n < 0 && errno == ECONNRESET))
                return true;
        }
        return false;
    }

private:
    bool waitReadable(int timeoutMs) const {
        pollfd entry{m_fd, POLLIN, 0};
        return m_fd >= 0 && timeoutMs > 0 && ::poll(&entry, 1, timeoutMs) > 0;
    }

    int m_fd = -1;
    bool m_refused = false;
};

QByteArray copyDataFrame(const QString& commandLine) {
    const QByteArray lpData = handover::copyDataPayload(commandLine, platform::CodePageWestern);
    QByteArray payload(8, '\0');
    qToLittleEndian<quint32>(static_cast<quint32>(lpData.size()), payload.data() + 4);
    return handover::requestFrame("CPYD", payload + lpData);
}

// How much an attack may grow the instance. AddressSanitizer keeps freed memory in quarantine (256 MiB
// by default), so a sanitized instance gets a looser bound that still catches unbounded growth (the
// attacks would add a gigabyte).
#if defined(__SANITIZE_ADDRESS__)
constexpr qint64 GrowthLimitKiB = 400 * 1024;
#else
constexpr qint64 GrowthLimitKiB = 40 * 1024;
#endif

// The resident memory of a process in KiB.
qint64 residentKiB(qint64 pid) {
    QFile status(u"/proc/%1/status"_s.arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').front().toLongLong();
    }
    return -1;
}

// One instance showing the index page takes the attacks in turn; after each (and in the middle of the
// one that holds connections open) it is still running and a normal hand-over still gets through.
TEST_F(PagoraProcesses, HostileHandOverCallersNeitherBlockNorGrowTheInstance) {
    constexpr int BoxOpenMs = 300;
    extraEnvironment[u"MARVEK_UI_BOX_MS"_s] = QString::number(BoxOpenMs);
    QProcess* first = start(page);
    ASSERT_TRUE(waitForServer() && waitForLog(first, {u"caption"_s, u"0"_s, u"index - MarvekBrowser"_s}));
    const qint64 pid = pids.at(first);
    // The caption lines so far of a fixture page (its title is its file name).
    const auto captions = [&](const QString& url) {
        return count(
            pid, {u"caption"_s, u"0"_s, url.section(u'\\', -1).section(u'.', 0, 0) + u" - MarvekBrowser"_s});
    };
    const auto showsAgain = [&](const QString& url, int before) {
        return waitFor([&] { return captions(url) > before; });
    };
    // A second Pagora start hands the page over and the instance shows it.
    const auto handsOver = [&](const QString& url) {
        const int before = captions(url);
        QProcess* second = start(url);
        return finishes(second) && second->exitCode() == 0 && showsAgain(url, before);
    };
    qint64 startKiB = 0; // the instance's memory when the attack began

    // Each attack and the page handed over after it.
    const std::vector<std::tuple<const char*, std::function<void()>, QString>> attacks = {
        // Each request names a missing page: the instance shows "Parameter is incorrect." for it, one
        // box after the other, and refuses what does not fit its queue at once.
        {"requests ending in boxes",
         [&] {
             constexpr int Requests = 60;
             std::vector<std::unique_ptr<RawConnection>> connections;
             const QByteArray bad = copyDataFrame(u"C:\\Manuals\\none.html"_s);
             for (int i = 0; i < Requests; ++i) {
                 connections.push_back(std::make_unique<RawConnection>(name));
                 ASSERT_TRUE(connections.back()->connected());
                 ASSERT_EQ(connections.back()->send(bad), bad.size());
             }
             QElapsedTimer timer;
             timer.start();
             std::vector<qint64> handledAt;
             int refused = 0;
             for (auto& connection : connections) {
                 const std::optional<qint32> answer = connection->answer(30000);
                 ASSERT_TRUE(answer.has_value());
                 if (*answer == 1)
                     handledAt.push_back(timer.elapsed());
                 else
                     ++refused;
                 EXPECT_TRUE(connection->closedByServer(2000)); // closed after its answer
             }
             ASSERT_GE(handledAt.size(), 2u);
             EXPECT_LE(handledAt.size(), static_cast<size_t>(handover::MaxQueuedRequests + 1));
             EXPECT_EQ(refused + static_cast<int>(handledAt.size()), Requests);
             // Each request is answered when its box has closed, not inside the next.
             for (size_t i = 1; i < handledAt.size(); ++i)
                 EXPECT_GE(handledAt[i] - handledAt[i - 1], BoxOpenMs - 50) << i;
             EXPECT_EQ(read(u"/ui.log"_s).count(u"Parameter is incorrect."_s),
                       static_cast<int>(handledAt.size()));
         },
         other},
        // Bytes after a good frame are not buffered: the frame is handled and the connection closes.
        {"bytes after a good frame",
         [&] {
             RawConnection connection(name);
             ASSERT_TRUE(connection.connected());
             const int before = captions(codeSearch);
             const QByteArray frame = copyDataFrame(codeSearch);
             ASSERT_EQ(connection.send(frame), frame.size());
             const QByteArray junk(1 << 20, 'j');
             qsizetype taken = 0;
             for (int i = 0; i < 512 && !connection.closedByServer(0); ++i) {
                 taken += connection.send(junk);
                 waitFor([] { return false; }, 10); // let the test's own events run
             }
             EXPECT_TRUE(connection.closedByServer(5000));
             EXPECT_LT(taken, qsizetype(64) << 20);
             EXPECT_TRUE(showsAgain(codeSearch, before));
             EXPECT_LT(residentKiB(pid) - startKiB, GrowthLimitKiB);
         },
         page},
        // 300 connections, each sending a frame of 1 MiB but for its last byte: the memory stays bounded
        // and each is dropped within the time limit of a frame.
        {"unfinished frames",
         [&] {
             const QByteArray whole =
                 handover::requestFrame("CPYD", QByteArray(handover::MaxFrameBytes, 'u'));
             const QByteArrayView unfinished = QByteArrayView(whole).first(whole.size() - 1);
             std::vector<std::unique_ptr<RawConnection>> connections;
             for (int i = 0; i < 300; ++i) {
                 connections.push_back(std::make_unique<RawConnection>(name));
                 connections.back()->send(unfinished);
                 if (i == 150) { // in the middle of the attack
                     EXPECT_TRUE(handsOver(other));
                 }
             }
             EXPECT_LT(residentKiB(pid) - startKiB, GrowthLimitKiB);
             QElapsedTimer timer;
             timer.start();
             for (auto& connection : connections)
                 EXPECT_TRUE(connection->closedByServer(
                     qMax(1, handover::FrameTimeoutMs + 3000 - static_cast<int>(timer.elapsed()))));
         },
         codeSearch}};
    for (const auto& [what, attack, next] : attacks) {
        SCOPED_TRACE(what);
        startKiB = residentKiB(pid);
        attack();
        EXPECT_EQ(first->state(), QProcess::Running);
        EXPECT_TRUE(handsOver(next));
    }
}

// Another local account, played by a forked child that drops to user and group 65534 ("nobody"). It
// makes folders and listens on socket paths in the order given, accepts every connection and counts
// what reaches it; on request it connects to a socket path, sends a frame and tells what came back.
// A path in the user's private folder cannot be reached by that account; to try the checks of both
// ends anyway, a step or the connection may go "through a way in": with the user's file-system id,
// while the credentials the peer sees stay the other account's.
// After the fork the child makes only system calls, on data prepared before it.
class OtherAccount {
public:
    static constexpr uid_t Nobody = 65534;
    enum class Kind { Folder, Listen };
    struct Step {
        Kind kind;
        QString path;
        bool wayIn = false;
    };
    // What a step achieved: 'o' as the other account itself, 'w' only through the way in, 'x' not at all.
    struct Report {
        qint32 connections[8] = {};
        qint64 bytes = 0;
    };
    struct Contact {
        qint32 connected = 0;
        qint32 answerBytes = 0;
        qint32 closed = 0;
    };

    OtherAccount(const std::vector<Step>& steps, const QString& contactPath, QByteArray frame)
        : m_frame(std::move(frame)) {
        for (const Step& step : steps)
            m_steps.push_back({step.kind, address(step.path), step.wayIn});
        m_contact = address(contactPath);
        if (::pipe(m_commands) != 0 || ::pipe(m_results) != 0)
            return;
        m_pid = ::fork();
        if (m_pid == 0)
            run();
    }
    ~OtherAccount() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
        for (int fd : {m_commands[0], m_commands[1], m_results[0], m_results[1]})
            ::close(fd);
    }
    OtherAccount(const OtherAccount&) = delete;
    OtherAccount& operator=(const OtherAccount&) = delete;

    // What the steps achieved, one letter each.
    QByteArray steps() {
        QByteArray letters(static_cast<qsizetype>(m_steps.size()), '?');
        return receive(letters.data(), letters.size()) ? letters : QByteArray();
    }
    Contact contact() {
        Contact result;
        return command('c') && receive(&result, sizeof result) ? result : Contact{-1, -1, -1};
    }
    // Ends the account and reports what reached it.
    std::optional<Report> finish() {
        Report report;
        if (!command('q') || !receive(&report, sizeof report))
            return std::nullopt;
        ::waitpid(m_pid, nullptr, 0);
        m_pid = -1;
        return report;
    }

private:
    struct Prepared {
        Kind kind;
        sockaddr_un address;
        bool wayIn;
    };
    static sockaddr_un address(const QString& path) {
        sockaddr_un result{};
        result.sun_family = AF_UNIX;
        const QByteArray encoded = QFile::encodeName(path);
        std::memcpy(result.sun_path, encoded.constData(),
                    qMin<size_t>(encoded.size(), sizeof result.sun_path - 1));
        return result;
    }
    bool command(char what) const { return ::write(m_commands[1], &what, 1) == 1; }
    bool receive(void* data, qsizetype size) const {
        auto* bytes = static_cast<char*>(data);
        while (size > 0) {
            pollfd entry{m_results[0], POLLIN, 0};
            if (::poll(&entry, 1, 20000) <= 0)
                return false;
            const ssize_t n = ::read(m_results[0], bytes, static_cast<size_t>(size));
            if (n <= 0)
                return false;
            bytes += n;
            size -= n;
        }
        return true;
    }
    static void fileSystemId(uid_t uid) { ::syscall(SYS_setfsuid, uid); }

    [[noreturn]] void run() const {
        // The saved user id stays the user's: the way in needs it, the credentials do not show it.
        if (::syscall(SYS_setgroups, 0, nullptr) != 0 ||
            ::syscall(SYS_setresgid, Nobody, Nobody, Nobody) != 0 ||
            ::syscall(SYS_setresuid, Nobody, Nobody, ::getuid()) != 0)
            ::_exit(3);
        Report report;
        pollfd watched[64];
        int listeners = 0;
        for (const Prepared& step : m_steps) {
            const char* path = step.address.sun_path;
            char done = 'x';
            if (step.kind == Kind::Folder) {
                done = ::mkdir(path, 0700) == 0 ? 'o' : 'x';
            } else {
                const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
                const auto bound = [&] {
                    return ::bind(fd, reinterpret_cast<const sockaddr*>(&step.address),
                                  sizeof step.address) == 0;
                };
                if (bound()) {
                    done = 'o';
                } else if (step.wayIn) {
                    fileSystemId(0);
                    done = bound() ? 'w' : 'x';
                    fileSystemId(Nobody);
                }
                if (done != 'x' && ::listen(fd, 16) == 0)
                    watched[listeners++] = {fd, POLLIN, 0};
                else
                    ::close(fd);
            }
            if (::write(m_results[1], &done, 1) != 1)
                ::_exit(4);
        }
        // Listeners first (their index is their step's among the listening ones), then the connections.
        const int accepting = listeners;
        int count = listeners;
        watched[count++] = {m_commands[0], POLLIN, 0};
        for (;;) {
            if (::poll(watched, static_cast<nfds_t>(count), -1) < 0)
                continue;
            for (int i = 0; i < count; ++i) {
                if (watched[i].revents == 0)
                    continue;
                if (i < accepting) {
                    const int fd = ::accept(watched[i].fd, nullptr, nullptr);
                    if (fd >= 0 && count < 64) {
                        ++report.connections[i];
                        watched[count++] = {fd, POLLIN, 0};
                    } else if (fd >= 0) {
                        ::close(fd);
                    }
                } else if (watched[i].fd == m_commands[0]) {
                    char what = 'q';
                    if (::read(m_commands[0], &what, 1) == 1 && what == 'c') {
                        const Contact result = contactUser();
                        if (::write(m_results[1], &result, sizeof result) != sizeof result)
                            ::_exit(4);
                        continue;
                    }
                    if (::write(m_results[1], &report, sizeof report) != sizeof report)
                        ::_exit(4);
                    ::_exit(0);
                } else {
                    char buffer[4096];
                    const ssize_t n = ::read(watched[i].fd, buffer, sizeof buffer);
                    if (n > 0) {
                        report.bytes += n;
                    } else {
                        ::close(watched[i].fd);
                        watched[i--] = watched[--count];
                    }
                }
            }
        }
    }

    // Connects to the user's instance through the way in, sends the frame, and waits for what comes back.
    Contact contactUser() const {
        Contact result;
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        fileSystemId(0);
        result.connected =
            ::connect(fd, reinterpret_cast<const sockaddr*>(&m_contact), sizeof m_contact) == 0;
        fileSystemId(Nobody);
        if (result.connected) {
            (void)::send(fd, m_frame.constData(), static_cast<size_t>(m_frame.size()), MSG_NOSIGNAL);
            char buffer[64];
            for (;;) {
                pollfd entry{fd, POLLIN, 0};
                if (::poll(&entry, 1, 5000) <= 0)
                    break; // still open: not closed at once
                const ssize_t n = ::read(fd, buffer, sizeof buffer);
                if (n <= 0) {
                    result.closed = 1;
                    break;
                }
                result.answerBytes += static_cast<qint32>(n);
            }
        }
        ::close(fd);
        return result;
    }

    std::vector<Prepared> m_steps;
    sockaddr_un m_contact{};
    QByteArray m_frame;
    int m_commands[2] = {-1, -1};
    int m_results[2] = {-1, -1};
    pid_t m_pid = -1;
};

// A workshop PC with several accounts: another one squats the names of the hand-over (the old one in
// the shared temporary folder, and the new one in the user's folder, which it can reach only through a
// way in) and calls the user's instance. The user's Pagora takes the instance and hands pages over as
// before; the other account's call is closed unanswered and nothing of a command line reaches it. When
// the other account made the user's folder in the temporary folder first, that folder is refused:
// each start is an instance of its own, told on its error output.
TEST_F(PagoraProcesses, AnotherAccountCanNeitherTakeNorReadTheHandOver) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to play another account";
    QTemporaryDir shared; // stands for /tmp: everybody may make names in it
    ASSERT_EQ(::chmod(QFile::encodeName(shared.path()).constData(), 01777), 0);
    const QString runtime = machine.root() + u"/run-user"_s;
    ASSERT_TRUE(QDir().mkpath(runtime) && ::chmod(QFile::encodeName(runtime).constData(), 0700) == 0);
    const QString tag = platform::RuntimeFolder::open(runtime, shared.path(), 0)
                            .entry(u"x"_s, machine.machine())
                            .section(u'.', -1);
    const QString oldName = shared.path() + u"/SubClass - MarvekBrowser.0."_s + tag;
    const QString ownFolder = shared.path() + u"/marvek-0"_s;

    using Step = OtherAccount::Step;
    using Kind = OtherAccount::Kind;
    struct Case {
        const char* what;
        bool runtimeSet;
        bool userFolderFirst; // the user's folder exists before the other account acts
        std::vector<Step> steps;
        QByteArray achieved;
    };
    const QString inRuntime = runtime + u"/marvek/SubClass - MarvekBrowser."_s + tag;
    const QString inShared = ownFolder + u"/SubClass - MarvekBrowser."_s + tag;
    const std::vector<Case> cases = {
        // The folder in the temporary folder is taken too, but not used.
        {"runtime folder",
         true,
         true,
         {{Kind::Listen, oldName},
          {Kind::Folder, ownFolder},
          {Kind::Listen, inShared},
          {Kind::Listen, inRuntime, true}},
         "ooow"},
        {"folder in the temporary folder",
         false,
         true,
         {{Kind::Listen, oldName}, {Kind::Folder, ownFolder}, {Kind::Listen, inShared, true}},
         "oxw"},
        {"folder in the temporary folder made by the other account",
         false,
         false,
         {{Kind::Listen, oldName}, {Kind::Folder, ownFolder}, {Kind::Listen, inShared}},
         "ooo"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QDir(ownFolder).removeRecursively();
        QFile::remove(oldName);
        const marvek::testing::ScopedEnvironment tmpdir("TMPDIR", shared.path());
        const marvek::testing::ScopedEnvironment xdg("XDG_RUNTIME_DIR", c.runtimeSet ? runtime : u""_s);
        name = c.userFolderFirst ? handover::serverName(platform::RuntimeFolder::ofUser(), machine.machine())
                                 : QString();
        OtherAccount account(c.steps, c.runtimeSet ? inRuntime : inShared, copyDataFrame(codeSearch));
        ASSERT_EQ(account.steps(), c.achieved);

        QProcess* first = start(page);
        ASSERT_TRUE(waitForLog(first, slot0("open", page, "000")));
        QProcess* second = start(other);
        if (c.userFolderFirst) {
            ASSERT_TRUE(waitForServer());
            ASSERT_TRUE(finishes(second));
            EXPECT_TRUE(waitForLog(first, slot0("update", other, "000")));
            const OtherAccount::Contact call = account.contact();
            EXPECT_EQ(call.connected, 1);
            EXPECT_EQ(call.closed, 1);
            EXPECT_EQ(call.answerBytes, 0);
            // A page handed over after the call is shown; the call's page never was.
            ASSERT_TRUE(finishes(start(page)));
            EXPECT_TRUE(waitForLog(first, slot0("update", page, "000")));
            EXPECT_EQ(count(pids.at(first), {u"update"_s, u"0"_s, codeSearch}, true), 0);
        } else {
            // No hand-over: the second start is an instance of its own; both say why.
            EXPECT_TRUE(waitForLog(second, slot0("open", other, "000")));
            EXPECT_TRUE(waitFor([&] {
                return read(u"/output.log"_s)
                           .count(u"no private runtime folder ("_s + ownFolder +
                                  u": belongs to user 65534, not to user 0)"_s) == 2;
            }));
        }
        const std::optional<OtherAccount::Report> report = account.finish();
        ASSERT_TRUE(report.has_value());
        EXPECT_EQ(report->connections[0], 0); // the old name is never called
        EXPECT_EQ(report->bytes, 0);
        processes.clear();
    }
}

} // namespace
} // namespace marvek::browser::browsertest
