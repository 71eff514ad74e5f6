#include "browser/app/HandOver.h"

#include "platform/RuntimeFolder.h"
#include "platform/TextCodec.h"

#include <QFile>
#include <QtEndian>
#include <chrono>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace marvek::browser::handover {

namespace {

const QByteArray FrameMagic = QByteArrayLiteral("MVKH");

quint32 readLe32(const QByteArray& bytes, qsizetype offset) {
    return qFromLittleEndian<quint32>(bytes.constData() + offset);
}

} // namespace

QString serverName(const platform::RuntimeFolder& folder, const platform::Machine& machine) {
    return folder.entry(QLatin1String(WindowCaption), machine);
}

QByteArray copyDataPayload(const QString& commandArguments, int codePage) {
    QByteArray bytes = platform::encodeCodePage(commandArguments + QChar(u'\0'), codePage);
    bytes.append('\0');
    return bytes;
}

QString textFromCopyData(const QByteArray& lpData, int codePage) {
    const QString text = platform::decodeCodePage(lpData, codePage);
    const qsizetype nul = text.indexOf(QChar(u'\0'));
    return nul < 0 ? text : text.left(nul);
}

QByteArray answerBytes(qint32 result) {
    QByteArray bytes(4, '\0');
    qToLittleEndian(result, bytes.data());
    return bytes;
}

QByteArray requestFrame(const QByteArray& operation, const QByteArray& payload) {
    return FrameMagic + operation.left(4) + answerBytes(static_cast<qint32>(payload.size())) + payload;
}

std::optional<CopyData> decodeCopyData(const QByteArray& payload) {
    if (payload.size() < 8)
        return std::nullopt;
    CopyData data;
    data.dwData = readLe32(payload, 0);
    const quint32 cbData = readLe32(payload, 4);
    data.lpData = payload.mid(8, qMin<qsizetype>(cbData, payload.size() - 8));
    return data;
}

QByteArray encodeQuitStaleOrCopyData(const QString& caption, quint32 dwData, const QByteArray& lpData) {
    const QByteArray text = caption.toUtf8();
    return answerBytes(static_cast<qint32>(text.size())) + text + answerBytes(static_cast<qint32>(dwData)) +
           answerBytes(static_cast<qint32>(lpData.size())) + lpData;
}

std::optional<QuitStaleOrCopyData> decodeQuitStaleOrCopyData(const QByteArray& payload) {
    if (payload.size() < 4)
        return std::nullopt;
    const quint32 length = readLe32(payload, 0);
    if (length > static_cast<quint32>(payload.size() - 4))
        return std::nullopt;
    return QuitStaleOrCopyData{QString::fromUtf8(payload.mid(4, length)), payload.mid(4 + length)};
}

// ---- FrameReader

qsizetype FrameReader::wanted() const {
    if (m_state != State::NeedMore)
        return 0;
    if (m_bytes.size() < HeaderBytes)
        return HeaderBytes - m_bytes.size();
    return HeaderBytes + static_cast<qsizetype>(readLe32(m_bytes, 8)) - m_bytes.size();
}

FrameReader::State FrameReader::feed(QByteArrayView bytes) {
    while (m_state == State::NeedMore && !bytes.isEmpty()) {
        const qsizetype take = qMin(wanted(), bytes.size());
        m_bytes.append(bytes.first(take));
        bytes = bytes.sliced(take);
        if (m_bytes.size() == HeaderBytes &&
            (!m_bytes.startsWith(FrameMagic) || readLe32(m_bytes, 8) > static_cast<quint32>(MaxFrameBytes)))
            m_state = State::Invalid;
        else if (m_bytes.size() >= HeaderBytes && wanted() == 0)
            m_state = State::Complete;
    }
    return m_state;
}

QByteArray FrameReader::operation() const {
    return m_bytes.size() >= HeaderBytes ? m_bytes.mid(4, 4) : QByteArray();
}

QByteArray FrameReader::payload() const {
    return m_state == State::Complete ? m_bytes.mid(HeaderBytes) : QByteArray();
}

namespace {

using Clock = std::chrono::steady_clock;

int msLeft(Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

// One synchronous request: connect, send the frame, wait for the 4-byte answer.
std::optional<qint32> request(const QString& name, const QByteArray& frame, int timeoutMs) {
    client::Connection connection(name);
    return connection.request(frame, timeoutMs);
}

} // namespace

// A plain Unix-domain socket: the sending side needs no Qt event machinery (and the front no Qt
// Network), only the path that QLocalServer listens on.
class client::Connection::Socket {
public:
    Socket() : m_fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0)) {}
    ~Socket() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;

    // Connects within the time to a server of this user; a full backlog is retried until then.
    bool connectTo(const QString& name, int timeoutMs) {
        return connectToPath(name, timeoutMs) && platform::peerIsOwnUser(m_fd);
    }

    bool sendAll(QByteArrayView bytes, Clock::time_point deadline) {
        while (!bytes.isEmpty()) {
            const ssize_t n = ::send(m_fd, bytes.data(), static_cast<size_t>(bytes.size()), MSG_NOSIGNAL);
            if (n > 0) {
                bytes = bytes.sliced(n);
                continue;
            }
            if (n < 0 && errno != EAGAIN && errno != EINTR)
                return false;
            if (!wait(POLLOUT, msLeft(deadline)))
                return false;
        }
        return true;
    }

    std::optional<qint32> receiveAnswer(Clock::time_point deadline) {
        char bytes[4];
        size_t got = 0;
        while (got < sizeof bytes) {
            const ssize_t n = ::recv(m_fd, bytes + got, sizeof bytes - got, 0);
            if (n > 0) {
                got += static_cast<size_t>(n);
                continue;
            }
            if (n == 0 || (errno != EAGAIN && errno != EINTR) || !wait(POLLIN, msLeft(deadline)))
                return std::nullopt;
        }
        return qFromLittleEndian<qint32>(bytes);
    }

private:
    // Connects within the time, to whoever listens on the path.
    bool connectToPath(const QString& name, int timeoutMs) {
        const QByteArray path = QFile::encodeName(name);
        sockaddr_un address{};
        if (m_fd < 0 || path.isEmpty() || path.size() >= static_cast<qsizetype>(sizeof address.sun_path))
            return false;
        address.sun_family = AF_UNIX;
        std::memcpy(address.sun_path, path.constData(), static_cast<size_t>(path.size()));
        const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            if (::connect(m_fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0)
                return true;
            if (errno == EINPROGRESS)
                return wait(POLLOUT, msLeft(deadline)) && socketError() == 0;
            if ((errno != EAGAIN && errno != EINTR) || msLeft(deadline) == 0)
                return false;
            ::poll(nullptr, 0, 5);
        }
    }

    bool wait(short events, int timeoutMs) const {
        pollfd entry{m_fd, events, 0};
        int ready = 0;
        do {
            ready = ::poll(&entry, 1, timeoutMs);
        } while (ready < 0 && errno == EINTR);
        return ready > 0;
    }
    int socketError() const {
        int error = 0;
        socklen_t size = sizeof error;
        return ::getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &error, &size) == 0 ? error : errno;
    }

    int m_fd;
};

client::Connection::Connection(const QString& name) : m_socket(std::make_unique<Socket>()) {
    m_connected = m_socket->connectTo(name, ConnectTimeoutMs);
}

client::Connection::~Connection() = default;

std::optional<qint32> client::Connection::request(const QByteArray& frame, int timeoutMs) {
    if (!m_connected)
        return std::nullopt;
    m_connected = false; // one request per connection
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    if (!m_socket->sendAll(frame, deadline))
        return std::nullopt;
    return m_socket->receiveAnswer(deadline);
}

namespace client {

bool instanceRunning(const QString& name) {
    return Connection(name).connected();
}

std::optional<qint32> sendCopyData(const QString& name, quint32 dwData, const QByteArray& lpData,
                                   int timeoutMs) {
    const QByteArray payload =
        answerBytes(static_cast<qint32>(dwData)) + answerBytes(static_cast<qint32>(lpData.size())) + lpData;
    return request(name, requestFrame(OpCopyData, payload), timeoutMs);
}

std::optional<qint32> askQuitStale(const QString& name, const QString& caption, int timeoutMs) {
    return request(name, requestFrame(OpQuitStale, caption.toUtf8()), timeoutMs);
}

} // namespace client

} // namespace marvek::browser::handover
