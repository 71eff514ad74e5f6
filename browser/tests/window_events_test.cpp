// The browser window on real pages: new windows and their size requests, window.close, the PDF
// rule, captions, the find bar, history buttons, the modal boxes and the code-search rule.

#include "browser/window/FindBar.h"
#include "browser_fixture.h"

#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QPainter>
#include <QPdfWriter>
#include <QToolButton>

namespace marvek::browser::browsertest {
namespace {

class WindowEvents : public BrowserFixture {
protected:
    void SetUp() override { startBrowser(); }

    // The top of the page area in window coordinates.
    static int pageTop(frmMain* window) { return window->wbrMain()->mapTo(window, QPoint(0, 0)).y(); }
};

TEST_F(WindowEvents, NewWindowTakesTheRequestedPageAreaInTwips) {
    frmMain* opener = openLoaded(u"opener.html"_s);
    ASSERT_NE(opener, nullptr);
    clickPage(opener); // window.open(..., "width=600,height=400") from a click
    ASSERT_TRUE(waitFor([&] { return context->glngCnt == 2 && context->gfrmBrowser[1]; }));
    frmMain* detail = context->gfrmBrowser[1];
    ASSERT_TRUE(waitForCaption(detail, u"Titled page"_s));
    EXPECT_TRUE(detail->isVisible());
    EXPECT_EQ(detail->tag(), u"1"_s);
    EXPECT_FALSE(detail->toolbarHidden());
    ASSERT_TRUE(waitFor([&] { return detail->wbrMain()->width() * 15 == 9000; }))
        << detail->wbrMain()->width();
    ASSERT_TRUE(waitFor([&] { return detail->wbrMain()->height() * 15 == 6000; }))
        << detail->wbrMain()->height();
    EXPECT_FALSE(detail->sizeRequestPending());
    EXPECT_TRUE(opener->page()->url().toString().endsWith(u"opener.html"_s)); // the opener keeps its page
}

TEST_F(WindowEvents, WindowCloseOfTheLastWindowEndsTheProgram) {
    const QPointer<frmMain> window = openLoaded(u"closer.html"_s);
    ASSERT_TRUE(window);
    clickPage(window);
    ASSERT_TRUE(waitFor([&] { return ends == 1; }));
    EXPECT_EQ(context->glngCnt, 0);
    EXPECT_TRUE(waitFor([&] { return window.isNull(); })); // unloaded (deleted)
}

TEST_F(WindowEvents, CaptionsAndThePdfRule) {
    frmMain* window = open(fixturePage(u"titled.html"_s));
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->windowTitle(), u"MarvekBrowser"_s);
    ASSERT_TRUE(waitForCaption(window, u"Titled page"_s));
    EXPECT_FALSE(window->toolbarHidden());
    EXPECT_GT(pageTop(window), 0);

    // A page without a title, and a PDF document (whatever title its viewer shows), give the caption
    // the stale-instance check looks for.
    window->GSubMain_Update(fixturePage(u"untitled.html"_s), false, false, false);
    ASSERT_TRUE(waitForCaption(window, QString()));

    // "javascript" with ".pdf" in the address keeps the toolbar; ".pdf" alone (any case) hides it and
    // moves the page area up.
    const QString second = QUrl::fromLocalFile(fixturePage(u"second.html"_s)).toString();
    window->GSubMain_Update(second + u"?help=JavaScript.PDF"_s, false, false, false);
    ASSERT_TRUE(waitForCaption(window, u"Second page"_s));
    EXPECT_FALSE(window->toolbarHidden());
    EXPECT_GT(pageTop(window), 0);
    window->GSubMain_Update(second + u"?file=a.PDF"_s, false, false, false);
    ASSERT_TRUE(waitFor([&] { return window->toolbarHidden() && pageTop(window) == 0; }));

    const QString pdf = machine.host(u"C:\\manuals\\diagram.pdf"_s);
    QDir().mkpath(QFileInfo(pdf).absolutePath());
    {
        QPdfWriter writer(pdf);
        writer.setTitle(u"Wiring diagrams"_s);
        QPainter(&writer).drawText(200, 200, u"Wiring diagram, engine room"_s);
    }
    window->GSubMain_Update(pdf, false, false, false);
    ASSERT_TRUE(waitForCaption(window, QString()));

    // Back on an HTML page, the toolbar stays hidden.
    window->GSubMain_Update(fixturePage(u"titled.html"_s), false, false, false);
    ASSERT_TRUE(waitForCaption(window, u"Titled page"_s));
    EXPECT_TRUE(window->toolbarHidden());
    EXPECT_EQ(pageTop(window), 0);
}

TEST_F(WindowEvents, FindBarAndHistoryButtons) {
    frmMain* window = openLoaded(u"titled.html"_s);
    ASSERT_NE(window, nullptr);
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    QTest::keyClick(window->wbrMain()->focusProxy(), Qt::Key_F, Qt::ControlModifier);
    ASSERT_TRUE(waitFor([&] { return window->findBar().isVisible(); }));
    QTest::keyClicks(window->findBar().editor(), u"brake pads"_s);
    ASSERT_TRUE(waitFor([&] { return window->findBar().resultText() == u"1/3"_s; }))
        << window->findBar().resultText().toStdString();
    QTest::keyClick(window->findBar().editor(), Qt::Key_Escape);
    EXPECT_FALSE(window->findBar().isVisible());

    QToolButton* back = window->button(u"back"_s);
    QToolButton* forward = window->button(u"forward"_s);
    ASSERT_TRUE(back && forward);
    EXPECT_FALSE(back->isEnabled() || forward->isEnabled());
    clickPage(window); // the link to second.html
    ASSERT_TRUE(waitForCaption(window, u"Second page"_s));
    ASSERT_TRUE(waitFor([&] { return back->isEnabled() && !forward->isEnabled(); }));
    back->click();
    ASSERT_TRUE(waitForCaption(window, u"Titled page"_s));
    ASSERT_TRUE(waitFor([&] { return !back->isEnabled() && forward->isEnabled(); }));
    forward->click();
    ASSERT_TRUE(waitForCaption(window, u"Second page"_s));
    ASSERT_TRUE(waitFor([&] { return back->isEnabled() && !forward->isEnabled(); }));
}

TEST_F(WindowEvents, VersionAndPrintBoxesAreModal) {
    frmMain* window = openLoaded(u"titled.html"_s);
    ASSERT_NE(window, nullptr);
    // The version box and the print dialog are modal to the window; the button is disabled meanwhile.
    for (const auto& [key, expected] :
         {std::pair{u"version"_s, u"marvek::browser::frmVer Version information"_s},
          std::pair{u"print"_s, u"QPrintDialog "_s}}) {
        QString seen;
        bool disabledWhileOpen = false;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, window, [&] {
            auto* modal = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (modal == nullptr)
                return;
            poll.stop();
            seen = QString::fromLatin1(modal->metaObject()->className()) + u' ' + modal->windowTitle();
            disabledWhileOpen =
                !window->button(key)->isEnabled() && modal->parentWidget() == window && modal->isModal();
            modal->reject();
        });
        poll.start(10);
        window->button(key)->click();
        EXPECT_TRUE(key == u"print"_s ? seen.startsWith(expected) : seen == expected) << seen.toStdString();
        EXPECT_TRUE(disabledWhileOpen) << key.toStdString();
        EXPECT_TRUE(window->button(key)->isEnabled());
    }
}

TEST_F(WindowEvents, PageClosingItsWindowUnderAModalBox) {
    // While the version box or the print dialog runs, the page closes its window: the window goes,
    // and the box with it.
    for (const QString& key : {u"version"_s, u"print"_s}) {
        SCOPED_TRACE(key.toStdString());
        const QPointer<frmMain> window = openLoaded(u"closer.html"_s);
        ASSERT_TRUE(window);
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, &poll, [&] {
            if (QApplication::activeModalWidget() == nullptr)
                return;
            poll.stop();
            window->page()->runJavaScript(u"window.close()"_s);
        });
        poll.start(10);
        window->button(key)->click();
        EXPECT_TRUE(waitFor([&] { return window.isNull(); }));
    }
    EXPECT_EQ(ends, 1);
}

TEST_F(WindowEvents, CodeSearchPageHandsItsPagesToTheFirstWindowAfterIt) {
    // The diagnostic tool's start: the code-search page in a hidden first window; its page opens the
    // manual page in a new visible window (slot 1).
    frmMain* search = open(fixturePage(u"codesearch.html"_s), false, true, false);
    ASSERT_NE(search, nullptr);
    EXPECT_FALSE(search->isVisible());
    ASSERT_TRUE(waitFor([&] { return context->glngCnt == 2 && context->gfrmBrowser[1]; }));
    frmMain* manual = context->gfrmBrowser[1];
    ASSERT_TRUE(waitForCaption(manual, u"Second page"_s));
    EXPECT_TRUE(manual->isVisible());

    // The user moves on; the next search reuses slot 1's window: no third window.
    manual->GSubMain_Update(fixturePage(u"titled.html"_s), false, false, false);
    ASSERT_TRUE(waitForCaption(manual, u"Titled page"_s));
    search->GSubMain_Update(fixturePage(u"codesearch.html"_s), false, true, false);
    ASSERT_TRUE(waitForCaption(manual, u"Second page"_s));
    EXPECT_EQ(context->glngCnt, 2);
    EXPECT_EQ(context->gfrmBrowser[1].data(), manual);
    EXPECT_TRUE(manual->isVisible());
}

} // namespace
} // namespace marvek::browser::browsertest
