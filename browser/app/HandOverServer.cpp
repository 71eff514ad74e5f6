#include "browser/app/HandOverServer.h"

#include "platform/RuntimeFolder.h"

#include <QLocalServer>
#include <QTimer>
#include <QtEndian>
#include <algorithm>
#include <unistd.h>

namespace marvek::browser::handover {

namespace {
// What Qt buffers of a connection beyond the frame being read: small, so that a sender that writes on
// and on is held back by the socket itself.
constexpr qint64 SocketReadBufferBytes = 16 * 1024;

// A local server that takes connections from processes of this user only: any other is closed as it is
// accepted, before a byte is read or a socket object made for it.
class OwnUserServer : public QLocalServer {
public:
    using QLocalServer::QLocalServer;

protected:
    void incomingConnection(quintptr socketDescriptor) override {
        const int fd = static_cast<int>(socketDescriptor);
        if (platform::peerIsOwnUser(fd))
            QLocalServer::incomingConnection(socketDescriptor);
        else
            ::close(fd);
    }
};

} // namespace

struct HandOverServer::Connection {
    FrameReader frame;
    QTimer* deadline = nullptr; // a child of the socket
    quint64 serial = 0;         // the order of arrival
};

HandOverServer::HandOverServer(QString name, QObject* parent)
    : QObject(parent), m_name(std::move(name)), m_server(new OwnUserServer(this)) {
    // Default socket options on purpose: with access options Qt binds elsewhere and renames the
    // socket into place, which would take the name from a live instance instead of failing.
    connect(m_server, &QLocalServer::newConnection, this, &HandOverServer::acceptConnections);
}

HandOverServer::~HandOverServer() {
    close();
    for (const auto& [socket, connection] : m_connections)
        socket->disconnect(this);
    for (const Request& request : m_queue) {
        if (request.socket)
            request.socket->disconnect(this);
    }
}

bool HandOverServer::listen() {
    if (m_server->isListening())
        return true;
    if (m_server->listen(m_name))
        return true;
    if (m_server->serverError() != QAbstractSocket::AddressInUseError)
        return false;
    // The name is taken: by a live instance of this user (keep it), or by the socket of a process that
    // died or of another user (the client gives such a server up without writing).
    if (client::instanceRunning(m_name))
        return false;
    QLocalServer::removeServer(m_name);
    return m_server->listen(m_name);
}

void HandOverServer::close() {
    m_server->close();
}

bool HandOverServer::isListening() const {
    return m_server->isListening();
}

QString HandOverServer::fullServerName() const {
    return m_server->fullServerName();
}

void HandOverServer::setHandlers(CopyDataHandler copyData, QuitStaleHandler quitStale) {
    m_copyData = std::move(copyData);
    m_quitStale = std::move(quitStale);
}

void HandOverServer::acceptConnections() {
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QObject::destroyed, this, [this, socket] { forget(socket); });
        if (static_cast<int>(m_connections.size()) >= MaxConnections) {
            const auto oldest = std::min_element(
                m_connections.cbegin(), m_connections.cend(),
                [](const auto& a, const auto& b) { return a.second->serial < b.second->serial; });
            drop(oldest->first);
        }
        socket->setReadBufferSize(SocketReadBufferBytes);
        auto connection = std::make_unique<Connection>();
        connection->serial = m_nextSerial++;
        connection->deadline = new QTimer(socket);
        connection->deadline->setSingleShot(true);
        connect(connection->deadline, &QTimer::timeout, this, [this, socket] { drop(socket); });
        connection->deadline->start(FrameTimeoutMs);
        m_connections.emplace(socket, std::move(connection));
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { readFrom(socket); });
        if (socket->bytesAvailable() > 0)
            readFrom(socket);
    }
}

void HandOverServer::forget(QLocalSocket* socket) {
    if (const auto it = m_connections.find(socket); it != m_connections.end()) {
        m_pendingBytes -= it->second->frame.size();
        m_connections.erase(it);
    }
}

void HandOverServer::drop(QLocalSocket* socket) {
    forget(socket);
    socket->disconnect(this);
    socket->abort();
    socket->deleteLater();
}

bool HandOverServer::makeRoom(QLocalSocket* socket, qsizetype bytes) {
    while (m_pendingBytes + bytes > MaxPendingBytes) {
        const auto largest = std::max_element(
            m_connections.cbegin(), m_connections.cend(), [socket, bytes](const auto& a, const auto& b) {
                const auto held = [socket, bytes](const auto& entry) {
                    return entry.second->frame.size() + (entry.first == socket ? bytes : 0);
                };
                return held(a) < held(b);
            });
        QLocalSocket* const victim = largest->first;
        drop(victim);
        if (victim == socket)
            return false;
    }
    return true;
}

void HandOverServer::readFrom(QLocalSocket* socket) {
    const auto it = m_connections.find(socket);
    if (it == m_connections.end())
        return;
    FrameReader& frame = it->second->frame;
    while (frame.state() == FrameReader::State::NeedMore && socket->bytesAvailable() > 0) {
        const qsizetype take = qMin<qsizetype>(frame.wanted(), socket->bytesAvailable());
        if (!makeRoom(socket, take))
            return;
        const QByteArray bytes = socket->read(take);
        m_pendingBytes += bytes.size();
        frame.feed(bytes);
    }
    if (frame.state() == FrameReader::State::Invalid) {
        drop(socket); // not a hand-over request
        return;
    }
    if (frame.state() != FrameReader::State::Complete)
        return;

    // One request per connection: what the sender writes after it stays unread.
    socket->disconnect(this);
    it->second->deadline->stop();
    Request request{socket, frame.operation(), frame.payload()};
    m_pendingBytes -= frame.size();
    m_connections.erase(it);
    if (static_cast<int>(m_queue.size()) >= MaxQueuedRequests) {
        answer(socket, 0); // refused at once rather than answered late
        return;
    }
    m_queue.push_back(std::move(request));
    if (m_handling)
        return; // handled when the request being handled is done
    // Straight from the event loop's socket notification (no request is being handled): at once.
    handleNext();
}

void HandOverServer::answer(QLocalSocket* socket, qint32 result) {
    if (socket == nullptr)
        return;
    if (socket->state() == QLocalSocket::ConnectedState) {
        socket->write(answerBytes(result));
        socket->disconnectFromServer(); // after the answer is written; closes the connection
    } else {
        socket->deleteLater();
    }
}

void HandOverServer::scheduleNext() {
    if (m_scheduled || m_handling || m_queue.empty())
        return;
    m_scheduled = true;
    QMetaObject::invokeMethod(this, &HandOverServer::handleNext, Qt::QueuedConnection);
}

void HandOverServer::handleNext() {
    m_scheduled = false; // a queued call left over after a direct one finds the queue empty
    // A message box of the request being handled runs the event loop: the next one waits for it.
    if (m_handling || m_queue.empty())
        return;
    Request request = std::move(m_queue.front());
    m_queue.pop_front();
    m_handling = true;
    const qint32 result = dispatch(request.operation, request.payload);
    m_handling = false;
    answer(request.socket, result);
    scheduleNext();
}

qint32 HandOverServer::dispatch(const QByteArray& operation, const QByteArray& payload) {
    if (operation == QByteArrayView(OpCopyData)) {
        const std::optional<CopyData> data = decodeCopyData(payload);
        return data && m_copyData ? m_copyData(data->dwData, data->lpData) : 0;
    }
    if (operation == QByteArrayView(OpQuitStale))
        return m_quitStale && m_quitStale(QString::fromUtf8(payload)) ? 1 : 0;
    if (operation == QByteArrayView(OpQuitStaleOrCopyData)) {
        const std::optional<QuitStaleOrCopyData> request = decodeQuitStaleOrCopyData(payload);
        if (!request)
            return 0;
        if (m_quitStale && m_quitStale(request->caption))
            return AnswerQuitStale;
        return dispatch(QByteArray(OpCopyData), request->copyDataPayload);
    }
    return 0;
}

} // namespace marvek::browser::handover
