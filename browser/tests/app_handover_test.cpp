#include "browser/app/HandOverServer.h"
#include "platform/TextCodec.h"
#include "platform/testing/TempMachine.h"

#include <QDeadlineTimer>
#include <QLocalSocket>
#include <QTest>
#include <future>
#include <gtest/gtest.h>

namespace marvek::browser::handover {
namespace {

using namespace Qt::StringLiterals;

// Runs a blocking client call on another thread while this thread serves the requests.
template <typename Call> auto served(Call call) -> decltype(call()) {
    auto future = std::async(std::launch::async, call);
    QDeadlineTimer deadline(20000);
    while (future.wait_for(std::chrono::milliseconds(0)) != std::future_status::ready &&
           !deadline.hasExpired())
        QTest::qWait(5);
    return future.get();
}

TEST(AppHandOver, PayloadIsTheTextWithANulAndOneByteMore) {
    EXPECT_EQ(copyDataPayload(u"C:\\a b\\index.html;0;1"_s, platform::CodePageWestern),
              QByteArray("C:\\a b\\index.html;0;1\0\0", 23));
    const QString japanese = u"D:\\マニュアル\\index.html"_s;
    const QByteArray sjis = platform::encodeCodePage(japanese, platform::CodePageShiftJis);
    EXPECT_EQ(copyDataPayload(japanese, platform::CodePageShiftJis), sjis + QByteArray(2, '\0'));

    EXPECT_EQ(textFromCopyData(sjis + QByteArray(2, '\0'), platform::CodePageShiftJis), japanese);
    EXPECT_EQ(textFromCopyData(QByteArray("abc\0def", 7), platform::CodePageWestern), u"abc"_s);
    EXPECT_EQ(textFromCopyData(QByteArray("no nul"), platform::CodePageWestern), u"no nul"_s);
    EXPECT_TRUE(textFromCopyData({}, platform::CodePageWestern).isEmpty());
}

TEST(AppHandOver, ServerAnswersZeroUntilLoadedThenTakesCopyDataAndDropsBrokenFrames) {
    testing::TempMachine machine;
    const QString name = serverName(machine.machine());
    HandOverServer server(name);
    ASSERT_TRUE(server.listen());
    EXPECT_TRUE(served([&] { return client::instanceRunning(name); }));
    HandOverServer second(name);
    EXPECT_FALSE(second.listen()); // a live server keeps its name
    EXPECT_TRUE(server.isListening());

    // No hand-over window yet: every request is answered 0 at once.
    EXPECT_EQ(served([&] { return client::sendCopyData(name, 0, "x"); }), std::optional<qint32>(0));
    EXPECT_EQ(served([&] { return client::askQuitStale(name, u" - MarvekBrowser"_s); }),
              std::optional<qint32>(0));

    quint32 seenData = 99;
    QByteArray seenBytes;
    server.setHandlers(
        [&](quint32 dwData, const QByteArray& lpData) {
            seenData = dwData;
            seenBytes = lpData;
            return 7;
        },
        [](const QString&) { return false; });
    const QByteArray big(300000, 'p');
    EXPECT_EQ(served([&] { return client::sendCopyData(name, 0, big); }), std::optional<qint32>(7));
    EXPECT_EQ(seenData, 0u);
    EXPECT_EQ(seenBytes, big);

    // Frames that are not requests close their connection; the server goes on.
    const auto sendRaw = [&](const QByteArray& bytes) {
        return served([&] {
            QLocalSocket socket;
            socket.connectToServer(name);
            if (!socket.waitForConnected(2000))
                return false;
            socket.write(bytes);
            socket.waitForBytesWritten(2000);
            socket.waitForReadyRead(2000); // an answer, or the server drops the connection
            return true;
        });
    };
    EXPECT_TRUE(sendRaw("GET / HTTP/1.0\r\n\r\n"));
    EXPECT_TRUE(sendRaw(requestFrame("CPYD", {}).left(8) + QByteArray("\xff\xff\xff\x7f", 4))); // huge length
    EXPECT_TRUE(sendRaw(requestFrame("CPYD", "\x01"))); // shorter than COPYDATASTRUCT
    EXPECT_EQ(seenBytes, big);                          // none reached the handler
    EXPECT_EQ(served([&] { return client::sendCopyData(name, 0, "ok"); }), std::optional<qint32>(7));
    EXPECT_EQ(seenBytes, "ok");
}

TEST(AppHandOver, FrameReaderTakesOneFrameInPiecesAndNothingBeyond) {
    const QByteArray good = requestFrame("CPYD", "payload");
    const QByteArray overLimit = QByteArray("MVKHCPYD") + answerBytes(MaxFrameBytes + 1);
    using State = FrameReader::State;
    // Each case: the bytes a connection delivers, the piece size, the state and the bytes held.
    const std::vector<std::tuple<const char*, QByteArray, qsizetype, State, qsizetype>> cases = {
        {"whole", good, good.size(), State::Complete, good.size()},
        {"byte by byte", good, 1, State::Complete, good.size()},
        {"trailing bytes stay unread", good + "more", 5, State::Complete, good.size()},
        {"header only", good.left(HeaderBytes), 3, State::NeedMore, HeaderBytes},
        {"wrong magic", QByteArray("GET / HTTP/1.0\r\n\r\n"), 4, State::Invalid, HeaderBytes},
        {"length over the limit", overLimit + "x", 64, State::Invalid, HeaderBytes},
        {"empty frame", requestFrame("QUIT", {}), 7, State::Complete, HeaderBytes},
    };
    for (const auto& [what, bytes, piece, state, held] : cases) {
        SCOPED_TRACE(what);
        FrameReader reader;
        for (qsizetype at = 0; at < bytes.size(); at += piece)
            reader.feed(QByteArrayView(bytes).sliced(at, qMin(piece, bytes.size() - at)));
        EXPECT_EQ(reader.state(), state);
        EXPECT_EQ(reader.size(), held);
        if (state == State::Complete) {
            EXPECT_EQ(reader.payload(), bytes.mid(HeaderBytes, held - HeaderBytes));
        }
    }

    // The front's combined request: the caption, then a copy-data payload; a length past the end is none.
    const QByteArray combined = encodeQuitStaleOrCopyData(u" - MarvekBrowser"_s, 0, "C:\\a.html");
    const std::optional<QuitStaleOrCopyData> decoded = decodeQuitStaleOrCopyData(combined);
    ASSERT_TRUE(decoded.has_value());
    EXPECT_EQ(decoded->caption, u" - MarvekBrowser"_s);
    EXPECT_EQ(decodeCopyData(decoded->copyDataPayload).value_or(CopyData{}).lpData, "C:\\a.html");
    EXPECT_FALSE(decodeQuitStaleOrCopyData(answerBytes(5) + "abc").has_value());
    EXPECT_FALSE(decodeQuitStaleOrCopyData("ab").has_value());
}

} // namespace
} // namespace marvek::browser::handover
