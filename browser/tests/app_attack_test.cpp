// Hostile callers of a real instance's hand-over socket: after each attack, and during the ones that
// hold connections open, a normal hand-over still gets through.

#include "pagora_processes.h"
#include "platform/TextCodec.h"

#include <QDir>
#include <QElapsedTimer>
#include <QtEndian>
#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace marvek::browser::browsertest {
namespace {

// A raw connection to the hand-over socket: blocking sends with a time limit, so that a test sees
// exactly what the server takes.
class RawConnection {
public:
    explicit RawConnection(const QString& serverName) {
        m_fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const QByteArray path = QFile::encodeName(QDir::tempPath() + u'/' + serverName);
        std::memcpy(address.sun_path, path.constData(),
                    qMin<size_t>(path.size(), sizeof address.sun_path - 1));
        if (::connect(m_fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
            ::close(m_fd);
            m_fd = -1;
        }
        const timeval limit{0, 300'000};
        if (m_fd >= 0)
            ::setsockopt(m_fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
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

// The resident memory of a process in KiB.
// How much an attack may grow the instance. AddressSanitizer keeps freed memory in quarantine (256 MiB
// by default), so a sanitized instance gets a looser bound that still catches unbounded growth (the
// attacks would add a gigabyte).
#if defined(__SANITIZE_ADDRESS__)
constexpr qint64 GrowthLimitKiB = 400 * 1024;
#else
constexpr qint64 GrowthLimitKiB = 40 * 1024;
#endif

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

class HandOverAttacks : public PagoraProcesses {
protected:
    // A running instance showing the index page.
    QProcess* instance() {
        QProcess* first = start(page);
        return waitForServer() && waitForLog(first, {u"caption"_s, u"0"_s, u"index - MarvekBrowser"_s})
                   ? first
                   : nullptr;
    }

    // A second Pagora start hands the page over and the instance shows it.
    bool handsOver(QProcess* first, const QString& url, const QString& title) {
        QProcess* second = start(url);
        return finishes(second) && second->exitCode() == 0 &&
               waitForLog(first, {u"caption"_s, u"0"_s, title + u" - MarvekBrowser"_s});
    }
};

TEST_F(HandOverAttacks, RequestsThatEndInBoxesAreHandledOneAtATimeAndTheRestRefusedAtOnce) {
    constexpr int BoxOpenMs = 300;
    extraEnvironment[u"MARVEK_UI_BOX_MS"_s] = QString::number(BoxOpenMs);
    QProcess* first = instance();
    ASSERT_NE(first, nullptr);

    // Each request names a missing page: the instance shows "Parameter is incorrect." for it.
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
    EXPECT_EQ(first->state(), QProcess::Running);
    ASSERT_GE(handledAt.size(), 2u);
    EXPECT_LE(handledAt.size(), static_cast<size_t>(handover::MaxQueuedRequests + 1));
    EXPECT_EQ(refused + static_cast<int>(handledAt.size()), Requests);
    // One box after the other: each request is answered when its box has closed, not inside the next.
    for (size_t i = 1; i < handledAt.size(); ++i)
        EXPECT_GE(handledAt[i] - handledAt[i - 1], BoxOpenMs - 50) << i;
    EXPECT_EQ(read(u"/ui.log"_s).count(u"Parameter is incorrect."_s), static_cast<int>(handledAt.size()));

    EXPECT_TRUE(handsOver(first, other, u"other"_s));
}

TEST_F(HandOverAttacks, BytesAfterAGoodFrameAreNotBufferedAndTheConnectionCloses) {
    QProcess* first = instance();
    ASSERT_NE(first, nullptr);
    const qint64 before = residentKiB(pids.at(first));

    RawConnection connection(name);
    ASSERT_TRUE(connection.connected());
    const QByteArray frame = copyDataFrame(other);
    ASSERT_EQ(connection.send(frame), frame.size());
    const QByteArray junk(1 << 20, 'j');
    qsizetype taken = 0;
    for (int i = 0; i < 512 && !connection.closedByServer(0); ++i) {
        taken += connection.send(junk);
        waitFor([] { return false; }, 10); // let the test's own events run
    }
    EXPECT_TRUE(connection.closedByServer(5000));
    EXPECT_LT(taken, qsizetype(64) << 20);
    EXPECT_TRUE(waitForLog(first, {u"caption"_s, u"0"_s, u"other - MarvekBrowser"_s}));
    EXPECT_LT(residentKiB(pids.at(first)) - before, GrowthLimitKiB);

    EXPECT_TRUE(handsOver(first, page, u"index"_s));
}

TEST_F(HandOverAttacks, UnfinishedFramesAreCappedAndDroppedWhileHandOversGoOn) {
    QProcess* first = instance();
    ASSERT_NE(first, nullptr);
    const qint64 before = residentKiB(pids.at(first));

    // 300 connections, each sending a frame of 1 MiB but for its last byte.
    const QByteArray whole = handover::requestFrame("CPYD", QByteArray(handover::MaxFrameBytes, 'u'));
    const QByteArrayView unfinished = QByteArrayView(whole).first(whole.size() - 1);
    std::vector<std::unique_ptr<RawConnection>> connections;
    for (int i = 0; i < 300; ++i) {
        connections.push_back(std::make_unique<RawConnection>(name));
        connections.back()->send(unfinished);
        if (i == 150) { // in the middle of the attack
            EXPECT_TRUE(handsOver(first, other, u"other"_s));
        }
    }
    EXPECT_LT(residentKiB(pids.at(first)) - before, GrowthLimitKiB);

    // Every connection is dropped within the time limit of a frame.
    QElapsedTimer timer;
    timer.start();
    for (auto& connection : connections)
        EXPECT_TRUE(connection->closedByServer(
            qMax(1, handover::FrameTimeoutMs + 3000 - static_cast<int>(timer.elapsed()))));
    EXPECT_EQ(first->state(), QProcess::Running);
    EXPECT_TRUE(handsOver(first, page, u"index"_s));
}

} // namespace
} // namespace marvek::browser::browsertest
