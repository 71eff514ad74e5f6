#include "browser/app/HandOver.h"

#include "platform/Machine.h"
#include "platform/TextCodec.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <QtEndian>
#include <unistd.h>

namespace marvek::browser::handover {

namespace {

const QByteArray FrameMagic = QByteArrayLiteral("MVKH");
constexpr qsizetype HeaderBytes = 12;
const QByteArray OpCopyData = QByteArrayLiteral("CPYD");
const QByteArray OpQuitStale = QByteArrayLiteral("QUIT");

QByteArray le32(quint32 value) {
    QByteArray bytes(4, '\0');
    qToLittleEndian(value, bytes.data());
    return bytes;
}

quint32 readLe32(const QByteArray& bytes, qsizetype offset) {
    return qFromLittleEndian<quint32>(bytes.constData() + offset);
}

// One synchronous request: connect, send the frame, wait for the 4-byte answer.
std::optional<qint32> request(const QString& name, const QByteArray& frame, int timeoutMs) {
    QLocalSocket socket;
    socket.connectToServer(name);
    if (!socket.waitForConnected(ConnectTimeoutMs))
        return std::nullopt;
    socket.write(frame);
    if (!socket.waitForBytesWritten(timeoutMs) && socket.bytesToWrite() > 0)
        return std::nullopt;
    QElapsedTimer timer;
    timer.start();
    while (socket.bytesAvailable() < 4) {
        const int left = timeoutMs - static_cast<int>(timer.elapsed());
        if (left <= 0 || !socket.waitForReadyRead(left))
            break;
    }
    if (socket.bytesAvailable() < 4)
        return std::nullopt;
    const QByteArray answer = socket.read(4);
    socket.disconnectFromServer();
    return static_cast<qint32>(readLe32(answer, 0));
}

} // namespace

QString serverName(const platform::Machine& machine) {
    const QByteArray root = QDir(machine.root()).absolutePath().toUtf8();
    const QByteArray hash = QCryptographicHash::hash(root, QCryptographicHash::Sha1).toHex().left(12);
    return QStringLiteral("%1.%2.%3")
        .arg(QLatin1String(WindowCaption))
        .arg(static_cast<qulonglong>(::getuid()))
        .arg(QString::fromLatin1(hash));
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

QByteArray requestFrame(const QByteArray& operation, const QByteArray& payload) {
    return FrameMagic + operation.left(4) + le32(static_cast<quint32>(payload.size())) + payload;
}

HandOverServer::HandOverServer(QString name, QObject* parent)
    : QObject(parent), m_name(std::move(name)), m_server(new QLocalServer(this)) {
    // Default socket options on purpose: with access options Qt binds elsewhere and renames the
    // socket into place, which would take the name from a live instance instead of failing.
    connect(m_server, &QLocalServer::newConnection, this, &HandOverServer::acceptConnections);
}

HandOverServer::~HandOverServer() {
    close();
}

bool HandOverServer::listen() {
    if (m_server->isListening())
        return true;
    if (m_server->listen(m_name))
        return true;
    if (m_server->serverError() != QAbstractSocket::AddressInUseError)
        return false;
    // The name is taken: by a live instance (keep it) or by the socket of a process that died.
    QLocalSocket probe;
    probe.connectToServer(m_name);
    if (probe.waitForConnected(ConnectTimeoutMs)) {
        probe.disconnectFromServer();
        return false;
    }
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
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { readFrom(socket); });
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        if (socket->bytesAvailable() > 0)
            readFrom(socket);
    }
}

void HandOverServer::readFrom(QLocalSocket* socket) {
    // Each connection carries one request; the whole frame is read before it is handled.
    QByteArray buffer = socket->property("frame").toByteArray() + socket->readAll();
    if (buffer.size() < HeaderBytes) {
        socket->setProperty("frame", buffer);
        return;
    }
    const quint32 length = readLe32(buffer, 8);
    if (!buffer.startsWith(FrameMagic) || length > static_cast<quint32>(MaxFrameBytes)) {
        socket->abort(); // not a hand-over request
        return;
    }
    if (buffer.size() < HeaderBytes + static_cast<qsizetype>(length)) {
        socket->setProperty("frame", buffer);
        return;
    }
    socket->setProperty("frame", QByteArray());
    socket->disconnect(this); // one request per connection

    // Handling may run nested event loops (message boxes) during which the sender can go away.
    const QPointer<QLocalSocket> alive(socket);
    const qint32 result = dispatch(buffer.mid(4, 4), buffer.mid(HeaderBytes, length));
    if (alive && alive->state() == QLocalSocket::ConnectedState) {
        alive->write(le32(static_cast<quint32>(result)));
        alive->flush();
    }
}

qint32 HandOverServer::dispatch(const QByteArray& operation, const QByteArray& payload) {
    if (operation == OpCopyData && payload.size() >= 8) {
        const quint32 dwData = readLe32(payload, 0);
        const quint32 cbData = readLe32(payload, 4);
        const QByteArray lpData = payload.mid(8, qMin<qsizetype>(cbData, payload.size() - 8));
        return m_copyData ? m_copyData(dwData, lpData) : 0;
    }
    if (operation == OpQuitStale)
        return m_quitStale && m_quitStale(QString::fromUtf8(payload)) ? 1 : 0;
    return 0;
}

namespace client {

bool instanceRunning(const QString& name) {
    QLocalSocket socket;
    socket.connectToServer(name);
    const bool connected = socket.waitForConnected(ConnectTimeoutMs);
    if (connected)
        socket.disconnectFromServer();
    return connected;
}

std::optional<qint32> sendCopyData(const QString& name, quint32 dwData, const QByteArray& lpData,
                                   int timeoutMs) {
    const QByteArray payload = le32(dwData) + le32(static_cast<quint32>(lpData.size())) + lpData;
    return request(name, requestFrame(OpCopyData, payload), timeoutMs);
}

std::optional<qint32> askQuitStale(const QString& name, const QString& caption, int timeoutMs) {
    return request(name, requestFrame(OpQuitStale, caption.toUtf8()), timeoutMs);
}

} // namespace client

} // namespace marvek::browser::handover
