#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <functional>
#include <memory>
#include <optional>

namespace marvek::platform {
class Machine;
class RuntimeFolder;
} // namespace marvek::platform

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
inline constexpr qsizetype HeaderBytes = 12;
inline constexpr qsizetype MaxFrameBytes = 1 << 20;
inline constexpr int ConnectTimeoutMs = 2000;
inline constexpr int AnswerTimeoutMs = 10000;

// What the server holds for callers, whatever they send (a local process of the same user may send
// anything). Requests wait their turn in a queue of MaxQueuedRequests; one more is refused with 0 at
// once. A frame not complete within FrameTimeoutMs is dropped. At most MaxConnections frames are read
// at a time and they hold at most MaxPendingBytes together: a connection beyond the first limit drops
// the oldest unfinished one, bytes beyond the second drop the connection that holds most. So a short
// request (a hand-over) gets through while others hold frames open.
inline constexpr int MaxQueuedRequests = 16;
inline constexpr int FrameTimeoutMs = 3000;
inline constexpr int MaxConnections = 32;
inline constexpr qsizetype MaxPendingBytes = 4 * MaxFrameBytes;

// The server's socket: "SubClass - MarvekBrowser.<tag>" in the user's private runtime folder, the tag
// naming the machine prefix, so that two users, or two machine prefixes of one user, never meet. Empty
// when the user has no safe runtime folder (then there is no hand-over).
QString serverName(const platform::RuntimeFolder& folder, const platform::Machine& machine);

// lpData of the hand-over message: the text with one NUL appended, in the code page, plus one byte.
QByteArray copyDataPayload(const QString& commandArguments, int codePage);
// What the receiver makes of lpData: converted from the code page and cut at the first NUL.
QString textFromCopyData(const QByteArray& lpData, int codePage);

inline constexpr char OpCopyData[] = "CPYD";
inline constexpr char OpQuitStale[] = "QUIT";
// The front's start in one request: the stale check, then (unless the instance quits) the copy-data.
inline constexpr char OpQuitStaleOrCopyData[] = "QTCD";
// The answer to "QTCD" when the instance was stale and quits (the copy-data is not taken).
inline constexpr qint32 AnswerQuitStale = 2;

// A 32-bit little-endian number: an answer, and the numbers of a frame.
QByteArray answerBytes(qint32 result);
// Encodes a request frame (for the client and for tests that speak to a server by hand).
QByteArray requestFrame(const QByteArray& operation, const QByteArray& payload);

// The COPYDATASTRUCT of a "CPYD" payload: dwData, cbData and lpData. A payload shorter than the two
// numbers is no request; lpData holds cbData bytes, or what the payload has when it is shorter.
struct CopyData {
    quint32 dwData = 0;
    QByteArray lpData;
};
std::optional<CopyData> decodeCopyData(const QByteArray& payload);

// The payload of "QTCD": the caption's length (32-bit), the caption in UTF-8, then a "CPYD" payload.
// Nothing when the length runs past the payload.
struct QuitStaleOrCopyData {
    QString caption;
    QByteArray copyDataPayload;
};
QByteArray encodeQuitStaleOrCopyData(const QString& caption, quint32 dwData, const QByteArray& lpData);
std::optional<QuitStaleOrCopyData> decodeQuitStaleOrCopyData(const QByteArray& payload);

// Collects one request frame from the bytes a connection delivers, in pieces of any size. It takes
// no byte beyond the frame (what a sender writes after it is left unread). A wrong magic or a length
// above MaxFrameBytes makes the frame invalid as soon as the header is in.
class FrameReader {
public:
    enum class State { NeedMore, Complete, Invalid };

    // How many more bytes the frame needs (0 once complete or invalid).
    qsizetype wanted() const;
    // Takes bytes (at most wanted() of them are used) and returns the new state.
    State feed(QByteArrayView bytes);
    State state() const { return m_state; }
    // The bytes held so far.
    qsizetype size() const { return m_bytes.size(); }
    QByteArray operation() const; // the 4 letters, once the header is in
    QByteArray payload() const;   // once complete

private:
    QByteArray m_bytes;
    State m_state = State::NeedMore;
};

// The sending side: one connection per request, synchronous with time limits, on a plain socket
// (no application object, no Qt Network). A server that does not run as this process's user counts as
// none: the connection is given up before a byte is written.
namespace client {
// One connection to the server, for one request: connected (within ConnectTimeoutMs) on construction.
class Connection {
public:
    explicit Connection(const QString& name);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    bool connected() const { return m_connected; }
    // Sends the frame and waits for the answer; nothing when none came in time.
    std::optional<qint32> request(const QByteArray& frame, int timeoutMs = AnswerTimeoutMs);

private:
    class Socket;
    std::unique_ptr<Socket> m_socket;
    bool m_connected = false;
};

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
