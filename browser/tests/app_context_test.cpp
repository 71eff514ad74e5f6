#include "browser/app/BrowserContext.h"
#include "browser/app/HandOver.h"
#include "browser/app/PagoraMain.h"
#include "browser/app/frmSubClass.h"
#include "browser/window/frmMain.h"
#include "platform/testing/TempMachine.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QTest>
#include <gtest/gtest.h>

using namespace marvek;
using namespace Qt::StringLiterals;
using browser::BrowserContext;
using browser::CommandRequest;
using browser::frmMain;

namespace {

bool waitUntil(const std::function<bool()>& condition, int timeoutMs = 5000) {
    QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QTest::qWait(10); // also runs deferred deletions
    }
    return true;
}

// A Pagora context on a fresh English machine with a few pages on drive C:, whose boxes are scripted.
class ContextTest : public ::testing::Test {
protected:
    ContextTest() {
        QFile ini(machine.machine().machineIniFile());
        if (ini.open(QIODevice::WriteOnly))
            ini.write("[Locale]\r\nSystemDefaultLangID=0409\r\nUserDefaultLangID=0409\r\nACP=1252\r\n");
        ini.close();
        for (const QString& name : {u"index.html"_s, u"other.html"_s, u"codesearch.html"_s})
            machine.writeFile(u"C:\\Manuals\\My Manual\\"_s + name,
                              "<html><head><title>" + name.toUtf8() + "</title></head><body></body></html>");
        auto scripted = std::make_unique<platform::ScriptedUserInterface>();
        ui = scripted.get();
        os = std::make_unique<platform::Platform>(machine.machine(), std::move(scripted),
                                                  std::make_unique<platform::TestClock>());
        context = std::make_unique<BrowserContext>(*os, u"C:\\Pagora"_s);
        context->gstrTitle = context->GFncMsg_Get(u"WC201"_s);
        context->gstrErrPage = context->GFncMsg_Get(u"EM101"_s);
        context->onEnd = [this] {
            ++ends;
        };
    }

    // The one box asked since the last call, as "title|style|text".
    QStringList boxes() {
        QStringList result;
        for (size_t i = seenBoxes; i < ui->asked().size(); ++i) {
            const platform::AskedQuestion& q = ui->asked()[i];
            result << q.title + u'|' + QString::number(q.style) + u'|' + q.text;
        }
        seenBoxes = ui->asked().size();
        return result;
    }

    frmMain* slot(int i) const {
        return static_cast<size_t>(i) < context->gfrmBrowser.size()
                   ? context->gfrmBrowser[static_cast<size_t>(i)].data()
                   : nullptr;
    }

    const QString page = u"C:\\Manuals\\My Manual\\index.html"_s;
    const QString other = u"C:\\Manuals\\My Manual\\other.html"_s;
    const QString codeSearch = u"C:\\Manuals\\My Manual\\codesearch.html"_s;
    const QString em102 = u"MarvekBrowser|16|Parameter is incorrect."_s;

    marvek::testing::TempMachine machine;
    platform::ScriptedUserInterface* ui = nullptr;
    std::unique_ptr<platform::Platform> os;
    std::unique_ptr<BrowserContext> context;
    size_t seenBoxes = 0;
    int ends = 0;
};

} // namespace

TEST_F(ContextTest, ParseTakesFourFieldsWithQuotesRemovedAndExactFlags) {
    // The launcher's form: an unquoted page path with blanks, no further fields.
    std::optional<CommandRequest> request = context->GFncCmd_Parse(page);
    ASSERT_TRUE(request);
    EXPECT_EQ(request->url, page);
    EXPECT_FALSE(request->tbrUnVisi || request->unVisi || request->pubNo);

    // The diagnostic tool's form: the code-search page in quotes, then "0", "1", "1".
    request = context->GFncCmd_Parse(u"\""_s + codeSearch + u"\";0;1;1"_s);
    ASSERT_TRUE(request);
    EXPECT_EQ(request->url, codeSearch);
    EXPECT_FALSE(request->tbrUnVisi);
    EXPECT_TRUE(request->unVisi);
    EXPECT_TRUE(request->pubNo);

    // Only exactly "1" sets a flag; fields after the fourth are ignored.
    request = context->GFncCmd_Parse(page + u";1; 1;yes;1;junk"_s);
    ASSERT_TRUE(request);
    EXPECT_TRUE(request->tbrUnVisi);
    EXPECT_FALSE(request->unVisi);
    EXPECT_FALSE(request->pubNo);
    request = context->GFncCmd_Parse(page + u";11;1 ;"_s);
    ASSERT_TRUE(request);
    EXPECT_FALSE(request->tbrUnVisi || request->unVisi || request->pubNo);

    // A host path (as a process starter may pass it) names the same file.
    EXPECT_TRUE(context->GFncCmd_Parse(machine.host(page)));
    EXPECT_TRUE(boxes().isEmpty());
}

TEST_F(ContextTest, ArgumentsJoinAndHostPathsTurnBackIntoDrivePaths) {
    // What a process starter of this host passes for "Pagora.exe C:\Manuals\My Manual\index.html":
    // the blank splits the path, and the drive-path piece arrives as a host path.
    const QString host = machine.host(u"C:\\Manuals"_s) + u"/My"_s;
    EXPECT_EQ(browser::commandArguments({u"Pagora"_s, host, u"Manual\\index.html"_s}, machine.machine()),
              page);
    EXPECT_EQ(browser::commandArguments({u"Pagora"_s, page + u";0;1"_s}, machine.machine()),
              page + u";0;1"_s);
    EXPECT_TRUE(browser::commandArguments({u"Pagora"_s}, machine.machine()).isEmpty());
}

TEST_F(ContextTest, BadCommandLinesShowParameterIsIncorrect) {
    for (const QString& bad : {QString(), u";1;1"_s, u"\"\";1"_s, u"C:\\Manuals\\none.html"_s,
                               u"C:\\Manuals"_s, u"http://example.com/index.html"_s, u"Q:\\index.html"_s}) {
        EXPECT_FALSE(context->GFncCmd_Parse(bad)) << bad.toStdString();
        EXPECT_EQ(boxes(), QStringList{em102}) << bad.toStdString();
    }
}

TEST_F(ContextTest, FirstWindowStartsHiddenOnlyForTheCodeSearchPage) {
    ASSERT_TRUE(context->GFncWin_Open(codeSearch, false, true, true));
    ASSERT_TRUE(slot(0));
    EXPECT_FALSE(slot(0)->isVisible());
    EXPECT_EQ(slot(0)->slot(), 0);
    EXPECT_EQ(context->glngCnt, 1);

    ASSERT_TRUE(context->GFncWin_Open(page, false, true, false));
    ASSERT_TRUE(slot(1));
    EXPECT_TRUE(slot(1)->isVisible());
    EXPECT_EQ(slot(1)->slot(), 1);
    EXPECT_EQ(context->glngCnt, 2);
    EXPECT_EQ(ends, 0);
}

TEST_F(ContextTest, ForwardedRequestReusesAVisibleSlotZero) {
    ASSERT_TRUE(context->GFncWin_Open(page, false, false, false));
    const QPointer<frmMain> first = slot(0);
    context->processForwardedRequest(other + u";1"_s);
    EXPECT_EQ(slot(0), first.data());
    EXPECT_EQ(first->currentUrl(), other);
    EXPECT_EQ(context->glngCnt, 1);

    // A bad request leaves everything as it was.
    context->processForwardedRequest(u"C:\\none.html"_s);
    EXPECT_EQ(boxes(), QStringList{em102});
    EXPECT_EQ(first->currentUrl(), other);
}

TEST_F(ContextTest, ForwardedRequestRecreatesAHiddenSlotZeroWithoutEndingTheProgram) {
    ASSERT_TRUE(context->GFncWin_Open(codeSearch, false, true, false));
    const QPointer<frmMain> hidden = slot(0);
    ASSERT_FALSE(hidden->isVisible());

    context->processForwardedRequest(page);
    ASSERT_TRUE(slot(0));
    EXPECT_NE(slot(0), hidden.data());
    EXPECT_TRUE(slot(0)->isVisible());
    EXPECT_EQ(slot(0)->currentUrl(), page);
    EXPECT_EQ(context->glngCnt, 1);
    EXPECT_EQ(ends, 0);
    EXPECT_TRUE(waitUntil([&] { return hidden.isNull(); })); // unloaded

    // With field 3 set, a forwarded request hides the window whatever the page.
    context->processForwardedRequest(other + u";0;1"_s);
    EXPECT_FALSE(slot(0)->isVisible());
}

TEST_F(ContextTest, ForwardedRequestFillsAClosedSlotZero) {
    ASSERT_TRUE(context->GFncWin_Open(page, false, false, false));
    ASSERT_TRUE(context->GFncWin_Open(other, false, false, false));
    slot(0)->close();
    EXPECT_FALSE(slot(0));
    EXPECT_EQ(ends, 0);

    context->processForwardedRequest(page);
    ASSERT_TRUE(slot(0));
    EXPECT_TRUE(slot(0)->isVisible());
    EXPECT_EQ(context->glngCnt, 2); // slot 0 refilled; the count does not move
}

TEST_F(ContextTest, ClosingTheLastVisibleWindowUnloadsTheRestAndEnds) {
    const QString name = browser::handover::serverName(machine.machine());
    auto server = std::make_unique<browser::handover::HandOverServer>(name);
    ASSERT_TRUE(server->listen());
    context->loadSubClass(std::make_unique<browser::frmSubClass>(*context, std::move(server)));

    ASSERT_TRUE(context->GFncWin_Open(codeSearch, false, true, false)); // hidden
    ASSERT_TRUE(context->GFncWin_Open(page, false, false, false));
    ASSERT_TRUE(context->GFncWin_Open(other, false, false, false));
    const QPointer<frmMain> hidden = slot(0);

    slot(1)->close();
    EXPECT_EQ(ends, 0);
    EXPECT_TRUE(context->subClass()->loaded());

    slot(2)->close();
    EXPECT_EQ(ends, 1);
    EXPECT_EQ(context->glngCnt, 0);
    EXPECT_TRUE(context->gfrmBrowser.empty());
    EXPECT_FALSE(context->subClass()->loaded());
    EXPECT_FALSE(context->subClass()->server().isListening());
    EXPECT_TRUE(waitUntil([&] { return hidden.isNull(); }));
}

TEST_F(ContextTest, PageUrlsAndFailureText) {
    EXPECT_EQ(context->pageUrl(page), QUrl::fromLocalFile(machine.host(page)));
    EXPECT_EQ(context->pageUrl(u"http://example.com/a.html"_s), QUrl(u"http://example.com/a.html"_s));
    EXPECT_TRUE(context->pageUrl(QString()).isEmpty());
    EXPECT_TRUE(context->hostPathOf(u"file:///tmp/a.html"_s).isEmpty());

    context->showFailure(u"Out of memory"_s, 7, platform::mb::Critical);
    EXPECT_EQ(boxes(), QStringList{u"MarvekBrowser|16|Out of memory[7]"_s});
}
