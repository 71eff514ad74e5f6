#include "browser/app/BrowserContext.h"
#include "browser/app/HandOver.h"
#include "browser/app/frmSubClass.h"
#include "platform/TextCodec.h"
#include "platform/testing/TempMachine.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QLocalSocket>
#include <QTest>
#include <QWidget>
#include <future>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

using namespace marvek;
using namespace marvek::browser::handover;
using namespace Qt::StringLiterals;

namespace {

// Runs a blocking client call on another thread while this thread serves the requests.
template <typename Call> auto served(Call call) -> decltype(call()) {
    auto future = std::async(std::launch::async, call);
    QDeadlineTimer deadline(20000);
    while (future.wait_for(std::chrono::milliseconds(0)) != std::future_status::ready &&
           !deadline.hasExpired())
        QTest::qWait(5);
    return future.get();
}

// Leaves a socket file nobody listens on, as a killed process does.
bool makeDeadSocket(const QString& path) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray bytes = QFile::encodeName(path);
    if (fd < 0 || bytes.size() >= static_cast<qsizetype>(sizeof(address.sun_path)))
        return false;
    std::copy(bytes.cbegin(), bytes.cend(), address.sun_path);
    const bool bound = ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
    ::close(fd);
    return bound && QFile::exists(path);
}

} // namespace

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

TEST(AppHandOver, ServerNameBelongsToTheUserAndTheMachinePrefix) {
    marvek::testing::TempMachine first;
    const QString name = serverName(first.machine());
    EXPECT_TRUE(name.startsWith(u"SubClass - MarvekBrowser."_s + QString::number(::getuid()) + u'.'));
    EXPECT_EQ(name, serverName(first.machine()));
    marvek::testing::TempMachine second;
    EXPECT_NE(name, serverName(second.machine()));
}

TEST(AppHandOver, CopyDataRoundTripAndAnswersBeforeLoading) {
    marvek::testing::TempMachine machine;
    const QString name = serverName(machine.machine());
    HandOverServer server(name);
    ASSERT_TRUE(server.listen());
    EXPECT_TRUE(served([&] { return client::instanceRunning(name); }));

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

    server.close();
    EXPECT_FALSE(served([&] { return client::instanceRunning(name); }));
    EXPECT_EQ(served([&] { return client::sendCopyData(name, 0, "x"); }), std::nullopt);
}

TEST(AppHandOver, BrokenFramesAreDroppedAndTheServerGoesOn) {
    marvek::testing::TempMachine machine;
    const QString name = serverName(machine.machine());
    HandOverServer server(name);
    ASSERT_TRUE(server.listen());
    int handled = 0;
    server.setHandlers([&](quint32, const QByteArray&) { return ++handled; }, {});

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
    EXPECT_EQ(handled, 0);
    EXPECT_EQ(served([&] { return client::sendCopyData(name, 0, "ok"); }), std::optional<qint32>(1));
}

TEST(AppHandOver, LiveServerKeepsTheNameAndADeadSocketIsReplaced) {
    marvek::testing::TempMachine machine;
    const QString name = serverName(machine.machine());
    {
        HandOverServer live(name);
        ASSERT_TRUE(live.listen());
        HandOverServer second(name);
        EXPECT_FALSE(second.listen()); // the live server answers the probe from its backlog
        EXPECT_TRUE(live.isListening());
    }
    HandOverServer probe(name);
    ASSERT_TRUE(probe.listen());
    const QString path = probe.fullServerName();
    probe.close();
    ASSERT_FALSE(QFile::exists(path));

    ASSERT_TRUE(makeDeadSocket(path));
    EXPECT_FALSE(served([&] { return client::instanceRunning(name); }));
    HandOverServer next(name);
    EXPECT_TRUE(next.listen());
    EXPECT_TRUE(served([&] { return client::instanceRunning(name); }));
}

TEST(AppHandOver, ReceiverQuitsWhenAWindowHasTheStaleCaption) {
    marvek::testing::TempMachine machine;
    const std::unique_ptr<platform::Platform> os = std::make_unique<platform::Platform>(
        machine.machine(), std::make_unique<platform::ScriptedUserInterface>(),
        std::make_unique<platform::TestClock>());
    browser::BrowserContext context(*os, u"C:\\Pagora"_s);
    const QString name = serverName(machine.machine());
    auto server = std::make_unique<HandOverServer>(name);
    ASSERT_TRUE(server->listen());
    context.loadSubClass(std::make_unique<browser::frmSubClass>(context, std::move(server)));

    QWidget window;
    window.setWindowTitle(u"Manual - MarvekBrowser"_s);
    EXPECT_EQ(served([&] { return client::askQuitStale(name, u" - MarvekBrowser"_s); }),
              std::optional<qint32>(0));
    EXPECT_TRUE(context.subClass()->loaded());

    window.setWindowTitle(u" - MarvekBrowser"_s);
    EXPECT_EQ(served([&] { return client::askQuitStale(name, u" - MarvekBrowser"_s); }),
              std::optional<qint32>(1));
    // The name is free at once for the new instance.
    EXPECT_FALSE(context.subClass()->loaded());
    HandOverServer successor(name);
    EXPECT_TRUE(successor.listen());
    QCoreApplication::removePostedEvents(qApp); // the posted quit is not for this test program
}
