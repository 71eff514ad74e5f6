#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QtGlobal>
#include <functional>
#include <optional>

class QLocalServer;
class QLocalSocket;

namespace marvek::platform {
class Machine;
}

namespace marvek::browser {

// The hand-over between two Pagora processes: a local socket stands in for the hidden window
// "SubClass - MarvekBrowser" and the messages sent to it.
//
// A request is one frame: "MVKH", a 4-letter operation, the payload length (32-bit little endian)
// and the payload; the answer is a 32-bit little-endian result.
//   "CPYD"  WM_COPYDATA: dwData (32-bit), cbData (32-bit), then cbData bytes of lpData.
//   "QUIT"  the stale-instance check: a UTF-8 caption. The receiver answers 1 when one of its
//           top-level windows has exactly that caption, and then quits; else 0.
namespace handover {

inline constexpr char WindowCaption[] = "SubClass - MarvekBrowser";
inline constexpr qsizetype MaxFrameBytes = 1 << 20;
inline constexpr int ConnectTimeoutMs = 2000;
inline constexpr int AnswerTimeoutMs = 10000;

// The server name: the caption, the user id and a hash of the machine prefix, so that two users,
// or two machine prefixes of one user, never meet.
QString serverName(const platform::Machine& machine);

// lpData of the hand-over message: the text with one NUL appended, in the code page, plus one byte.
QByteArray copyDataPayload(const QString& commandArguments, int codePage);
// What the receiver makes of lpData: converted from the code page and cut at the first NUL.
QString textFromCopyData(const QByteArray& lpData, int codePage);

// Encodes a request frame (for the client and for tests that speak to a server by hand).
QByteArray requestFrame(const QByteArray& operation, const QByteArray& payload);

// The receiving side. listen() claims the name; until handlers are set every request is answered
// with 0 at once (no hand-over window yet).
class HandOverServer : public QObject {
    Q_OBJECT

public:
    using CopyDataHandler = std::function<qint32(quint32 dwData, const QByteArray& lpData)>;
    using QuitStaleHandler = std::function<bool(const QString& caption)>;

    explicit HandOverServer(QString name, QObject* parent = nullptr);
    ~HandOverServer() override;

    // Listens on the name. A socket left by a dead process (nobody answers on it) is removed first;
    // a live server keeps the name and listen() fails.
    bool listen();
    void close();
    bool isListening() const;
    QString fullServerName() const;

    void setHandlers(CopyDataHandler copyData, QuitStaleHandler quitStale);

private:
    void acceptConnections();
    void readFrom(QLocalSocket* socket);
    qint32 dispatch(const QByteArray& operation, const QByteArray& payload);

    QString m_name;
    QLocalServer* m_server = nullptr; // owned through the QObject tree
    CopyDataHandler m_copyData;
    QuitStaleHandler m_quitStale;
};

// The sending side: one connection per request, synchronous with time limits.
namespace client {
// True when a server answers on the name (another instance runs).
bool instanceRunning(const QString& name);
// Sends WM_COPYDATA; the receiver's result, or nothing when no server answered in time.
std::optional<qint32> sendCopyData(const QString& name, quint32 dwData, const QByteArray& lpData,
                                   int timeoutMs = AnswerTimeoutMs);
// Asks whether the instance has a top-level window with exactly caption (and makes it quit if so).
std::optional<qint32> askQuitStale(const QString& name, const QString& caption,
                                   int timeoutMs = AnswerTimeoutMs);
} // namespace client

} // namespace handover
} // namespace marvek::browser
