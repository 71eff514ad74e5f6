#include "browser/app/Front.h"
#include "browser/app/HandOverServer.h"
#include "browser/app/PagoraMain.h"
#include "browser/app/frmSubClass.h"
#include "browser_fixture.h"
#include "platform/CommandLine.h"

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
        {page + u";11;1 ;"_s, page, "000"},
        {machine.host(page), machine.host(page), "000"}, // a host path, as a process starter passes it
        {QString(), QString(), ""},
        {u";1;1"_s, QString(), ""},
        {u"\"\";1"_s, QString(), ""},
        {u"C:\\Manuals\\none.html"_s, QString(), ""},
        {u"C:\\Manuals"_s, QString(), ""},
        {u"http://example.com/index.html"_s, QString(), ""},
        {u"Q:\\index.html"_s, QString(), ""},
    };
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

TEST_F(ContextTest, ForwardedRequestWithField3HidesSlotZeroAndABadOneChangesNothing) {
    context->processForwardedRequest(other + u";0;1"_s); // no window yet: slot 0 is created
    ASSERT_TRUE(slot(0));
    EXPECT_FALSE(slot(0)->isVisible());
    EXPECT_EQ(slot(0)->currentUrl(), other);
    context->processForwardedRequest(u"C:\\none.html"_s);
    EXPECT_EQ(boxes(), QStringList{em102});
    EXPECT_EQ(slot(0)->currentUrl(), other);
}

TEST_F(ContextTest, ClosingTheLastVisibleWindowUnloadsTheRestAndEnds) {
    auto server = std::make_unique<handover::HandOverServer>(handover::serverName(machine.machine()));
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
