#pragma once

#include "browser/app/HandOver.h"

#include <QLocalSocket>
#include <QObject>
#include <QPointer>
#include <deque>
#include <functional>
#include <map>
#include <memory>

class QLocalServer;

namespace marvek::browser::handover {

// The receiving side. listen() claims the name (a socket path in the user's private runtime folder);
// until handlers are set every request is answered with 0 at once (no hand-over window yet). Only
// connections from processes of this user are taken: any other is closed as it is accepted, unread. Requests
// are handled one at a time, in the order their frames completed, each from the event loop itself: never
// inside another request's handling (whose message box runs an event loop of its own). A connection is closed
// after its answer.
class HandOverServer : public QObject {
    Q_OBJECT

public:
    using CopyDataHandler = std::function<qint32(quint32 dwData, const QByteArray& lpData)>;
    using QuitStaleHandler = std::function<bool(const QString& caption)>;

    explicit HandOverServer(QString name, QObject* parent = nullptr);
    ~HandOverServer() override;

    // Listens on the name. A socket left by a dead process (nobody answers on it) or held by another
    // user's process is removed first; a live server of this user keeps the name and listen() fails.
    bool listen();
    void close();
    bool isListening() const;
    QString fullServerName() const;

    void setHandlers(CopyDataHandler copyData, QuitStaleHandler quitStale);

    // For tests: the frames being read and the bytes they hold.
    int connectionCount() const { return static_cast<int>(m_connections.size()); }
    qsizetype pendingBytes() const { return m_pendingBytes; }

private:
    struct Connection;
    struct Request {
        QPointer<QLocalSocket> socket;
        QByteArray operation;
        QByteArray payload;
    };

    void acceptConnections();
    void readFrom(QLocalSocket* socket);
    void drop(QLocalSocket* socket);
    // Makes room for `bytes` more of socket's frame; false when socket itself was dropped.
    bool makeRoom(QLocalSocket* socket, qsizetype bytes);
    void forget(QLocalSocket* socket);
    void answer(QLocalSocket* socket, qint32 result);
    void scheduleNext();
    void handleNext();
    qint32 dispatch(const QByteArray& operation, const QByteArray& payload);

    QString m_name;
    QLocalServer* m_server = nullptr; // owned through the QObject tree
    CopyDataHandler m_copyData;
    QuitStaleHandler m_quitStale;
    std::map<QLocalSocket*, std::unique_ptr<Connection>> m_connections; // frames being read
    std::deque<Request> m_queue;
    qsizetype m_pendingBytes = 0; // held by m_connections' frames
    quint64 m_nextSerial = 0;
    bool m_handling = false;
    bool m_scheduled = false;
};

} // namespace marvek::browser::handover
