// The start-up side in this process: the command line, forwarded requests, the end, the hand-over
// payload, server and frame reader.

#include "browser/app/Front.h"
#include "browser/app/HandOverServer.h"
#include "browser/app/PagoraMain.h"
#include "browser/app/frmSubClass.h"
#include "browser_fixture.h"
#include "platform/CommandLine.h"
#include "platform/RuntimeFolder.h"
#include "platform/TextCodec.h"
#include "platform/testing/TempMachine.h"

#include <QDeadlineTimer>
#include <QLocalSocket>
#include <QTest>
#include <future>
#include <gtest/gtest.h>

namespace marvek::browser::browsertest {
namespace {

class ContextTest : public BrowserFixture {
protected:
    void SetUp() override { startBrowser(); }

    // The boxes asked since the last call, as "title|style|text".
    QStringList boxes() {
        QStringList result;
        for (size_t i = seenBoxes; i < ui->asked().size(); ++i) {
            const platform::AskedQuestion& q = ui->asked()[i];
            result << q.title + u'|' + QString::number(q.style) + u'|' + q.text;
        }
        seenBoxes = ui->asked().size();
        return result;
    }

    frmMain* slot(size_t i) const {
        return i < context->gfrmBrowser.size() ? context->gfrmBrowser[i].data() : nullptr;
    }

    const QString em102 = u"MarvekBrowser|16|Parameter is incorrect."_s;
    size_t seenBoxes = 0;
};

TEST_F(ContextTest, CommandLineParser) {
    // The command line; the page it names (empty: "Parameter is incorrect.") and the three flags.
    const std::vector<std::tuple<QString, QString, const char*>> cases = {
        {page, page, "000"}, // the launcher's form: an unquoted path with blanks
        {u"\""_s + codeSearch + u"\";0;1;1"_s, codeSearch, "011"}, // the diagnostic tool's form
        {page + u";1; 1;yes;1;junk"_s, page, "100"}, // only exactly "1"; fields after the fourth ignored
        {u"C:\\Manuals\\\"My Manual\"\\index.html;1;0;1"_s, page, "101"}, // quotes inside the path
        {machine.host(page), machine.host(page), "000"}, // a host path, as a process starter passes it
        {QString(), QString(), ""},
        {u";1;1"_s, QString(), ""},
        {u"C:\\Manuals\\none.html"_s, QString(), ""},
        {u"C:\\Manuals"_s, QString(), ""},
        {u"http://example.com/index.html"_s, QString(), ""},
        {u"Q:\\index.html"_s, QString(), ""}};
    for (const auto& [commandLine, url, flags] : cases) {
        SCOPED_TRACE(commandLine.toStdString());
        const std::optional<CommandRequest> request = context->GFncCmd_Parse(commandLine);
        ASSERT_EQ(request.has_value(), !url.isEmpty());
        if (request) {
            EXPECT_EQ(request->url, url);
            EXPECT_EQ(QString::number(request->tbrUnVisi) + QString::number(request->unVisi) +
                          QString::number(request->pubNo),
                      QLatin1String(flags));
        }
        EXPECT_EQ(boxes(), request ? QStringList() : QStringList{em102});
    }
}

TEST_F(ContextTest, FromAShellArgumentsJoinAndHostPathsTurnBackIntoDrivePaths) {
    // What a shell passes for "Pagora C:\Manuals\My Manual\index.html": the blank splits the
    // path, and the drive-path piece may arrive as a host path.
    const QString host = machine.host(u"C:\\Manuals"_s) + u"/My"_s;
    const auto arguments = [this](const QStringList& argv) {
        return platform::commandLineArguments(platform::GetCommandLine(argv, machine.machine()));
    };
    ASSERT_FALSE(platform::handedOverCommandLine().has_value());
    EXPECT_EQ(arguments({u"Pagora"_s, host, u"Manual\\index.html"_s}), page);
    EXPECT_EQ(arguments({u"Pagora"_s, page + u";0;1"_s}), page + u";0;1"_s);
    EXPECT_TRUE(arguments({u"Pagora"_s}).isEmpty());
}

TEST(FrontTest, TheEngineLiesBesideTheFrontUnderItsNameWithEngine) {
    EXPECT_EQ(enginePath(u"/opt/viewer/Pagora.exe"_s), u"/opt/viewer/PagoraEngine.exe"_s);
    EXPECT_EQ(enginePath(u"/build/browser/Pagora"_s), u"/build/browser/PagoraEngine"_s);
    EXPECT_EQ(enginePath(u"/a.b/My Pagora.x.exe"_s), u"/a.b/My Pagora.xEngine.exe"_s);
}

TEST_F(ContextTest, ForwardedRequestsTakeSlotZero) {
    // A closed slot 0 is created again while another window lives; field 3 hides it.
    ASSERT_TRUE(context->GFncWin_Open(page, false, false, false));
    ASSERT_TRUE(context->GFncWin_Open(codeSearch, false, false, false));
    slot(0)->close();
    ASSERT_FALSE(slot(0));
    context->processForwardedRequest(other + u";0;1"_s);
    const QPointer<frmMain> hidden = slot(0);
    ASSERT_TRUE(hidden);
    EXPECT_FALSE(hidden->isVisible());
    EXPECT_EQ(hidden->currentUrl(), other);

    // A bad request changes nothing.
    context->processForwardedRequest(u"C:\\none.html"_s);
    EXPECT_EQ(boxes(), QStringList{em102});
    EXPECT_EQ(slot(0), hidden.data());
    EXPECT_EQ(hidden->currentUrl(), other);

    // The hidden window gives slot 0 up to the next page; the program goes on.
    context->processForwardedRequest(page);
    ASSERT_TRUE(slot(0) && slot(0) != hidden.data());
    EXPECT_TRUE(slot(0)->isVisible());
    EXPECT_EQ(slot(0)->currentUrl(), page);
    EXPECT_TRUE(waitFor([&] { return hidden.isNull(); }));
    EXPECT_EQ(ends, 0);
}

TEST_F(ContextTest, ClosingTheLastVisibleWindowUnloadsTheRestAndEnds) {
    auto server = std::make_unique<handover::HandOverServer>(
        handover::serverName(platform::RuntimeFolder::ofUser(), machine.machine()));
    ASSERT_TRUE(server->listen());
    context->loadSubClass(std::make_unique<frmSubClass>(*context, std::move(server)));

    ASSERT_TRUE(context->GFncWin_Open(codeSearch, false, true, false)); // hidden
    ASSERT_TRUE(context->GFncWin_Open(page, false, true, false));       // only the code-search page hides
    ASSERT_TRUE(context->GFncWin_Open(other, false, false, false));
    const QPointer<frmMain> hidden = slot(0);
    ASSERT_TRUE(hidden && !hidden->isVisible() && slot(1)->isVisible());

    slot(1)->close();
    EXPECT_EQ(ends, 0);
    EXPECT_TRUE(context->subClass()->loaded());

    slot(2)->close();
    EXPECT_EQ(ends, 1);
    EXPECT_EQ(context->glngCnt, 0);
    EXPECT_TRUE(context->gfrmBrowser.empty());
    EXPECT_FALSE(context->subClass()->loaded());
    EXPECT_FALSE(context->subClass()->server().isListening());
    EXPECT_TRUE(waitFor([&] { return hidden.isNull(); }));

    context->showFailure(u"Out of memory"_s, 7, platform::mb::Critical);
    EXPECT_EQ(boxes(), QStringList{u"MarvekBrowser|16|Out of memory[7]"_s});
}

} // namespace
} // namespace marvek::browser::browsertest

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
    const QString name = serverName(platform::RuntimeFolder::ofUser(), machine.machine());
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
    // Each case: the bytes a connection delivers, the piece size, the state and the bytes held (other
    // frames: the fuzz corpus).
    const std::vector<std::tuple<const char*, QByteArray, qsizetype, State, qsizetype>> cases = {
        {"byte by byte", good, 1, State::Complete, good.size()},
        {"trailing bytes stay unread", good + "more", 5, State::Complete, good.size()},
        {"length over the limit", overLimit + "x", 64, State::Invalid, HeaderBytes}};
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

    // The front's combined request: the caption, then a copy-data payload.
    const QByteArray combined = encodeQuitStaleOrCopyData(u" - MarvekBrowser"_s, 0, "C:\\a.html");
    const std::optional<QuitStaleOrCopyData> decoded = decodeQuitStaleOrCopyData(combined);
    ASSERT_TRUE(decoded.has_value());
    EXPECT_EQ(decoded->caption, u" - MarvekBrowser"_s);
    EXPECT_EQ(decodeCopyData(decoded->copyDataPayload).value_or(CopyData{}).lpData, "C:\\a.html");
}

} // namespace
} // namespace marvek::browser::handover
