// The browser window on real pages: new windows and their size requests, window.close, the PDF
// rule, captions, history buttons, the publication number, the code-search rule and the keys.

#include "browser/window/FindBar.h"
#include "window_fixture.h"

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPdfWriter>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QWebEngineHistory>

using namespace marvek;
using namespace marvek::browser;
using namespace marvek::browser::windowtest;

namespace {

class WindowEvents : public BrowserFixture {
protected:
    void SetUp() override { startBrowser(); }

    // A one-page PDF with a title of its own in its document information.
    QString makePdf(const QString& name) {
        const QString path = machine.host(QStringLiteral("C:\\manuals\\") + name);
        QDir().mkpath(QFileInfo(path).absolutePath());
        QPdfWriter writer(path);
        writer.setTitle(QStringLiteral("Wiring diagrams"));
        QPainter painter(&writer);
        painter.drawText(200, 200, QStringLiteral("Wiring diagram, engine room"));
        return path;
    }

    // The top of the page area in window coordinates.
    static int pageTop(frmMain* window) { return window->wbrMain()->mapTo(window, QPoint(0, 0)).y(); }
};

TEST_F(WindowEvents, NewWindowTakesTheRequestedPageAreaInTwips) {
    frmMain* opener = open(fixturePage(QStringLiteral("opener.html")));
    ASSERT_NE(opener, nullptr);
    ASSERT_TRUE(waitForPage(opener, QStringLiteral("opener.html")));

    // window.open(..., "width=600,height=400") from a click.
    clickPage(opener);
    ASSERT_TRUE(waitFor([&] { return context->glngCnt == 2 && context->gfrmBrowser[1]; }));
    frmMain* detail = context->gfrmBrowser[1];
    ASSERT_TRUE(waitForPage(detail, QStringLiteral("titled.html")));
    EXPECT_TRUE(detail->isVisible());
    EXPECT_EQ(detail->tag(), QStringLiteral("1"));
    EXPECT_FALSE(detail->toolbarHidden());
    ASSERT_TRUE(waitFor([&] { return detail->wbrMain()->width() * 15 == 9000; }))
        << detail->wbrMain()->width();
    ASSERT_TRUE(waitFor([&] { return detail->wbrMain()->height() * 15 == 6000; }))
        << detail->wbrMain()->height();
    EXPECT_FALSE(detail->sizeRequestPending());
    // The opener keeps its page and its size.
    EXPECT_TRUE(opener->page()->url().toString().endsWith(QStringLiteral("opener.html")));
}

TEST_F(WindowEvents, WindowCloseOfTheLastWindowEndsTheProgram) {
    frmMain* window = open(fixturePage(QStringLiteral("closer.html")));
    ASSERT_NE(window, nullptr);
    QPointer<frmMain> watched(window);
    ASSERT_TRUE(waitForPage(window, QStringLiteral("closer.html")));

    clickPage(window);
    ASSERT_TRUE(waitFor([&] { return ends == 1; }));
    EXPECT_EQ(context->glngCnt, 0);
    // The window unloads (and deletes itself).
    EXPECT_TRUE(waitFor([&] { return watched.isNull(); }));
}

TEST_F(WindowEvents, WindowCloseOfOneOfTwoWindowsKeepsTheProgram) {
    frmMain* first = open(fixturePage(QStringLiteral("titled.html")));
    frmMain* second = open(fixturePage(QStringLiteral("closer.html")));
    ASSERT_TRUE(first && second);
    ASSERT_TRUE(waitForPage(second, QStringLiteral("closer.html")));

    clickPage(second);
    ASSERT_TRUE(waitFor([&] { return context->gfrmBrowser[1].isNull(); }));
    EXPECT_EQ(ends, 0);
    EXPECT_EQ(context->gfrmBrowser[0].data(), first);
    EXPECT_TRUE(first->isVisible());
}

TEST_F(WindowEvents, PdfDocumentHidesTheToolbarForGood) {
    frmMain* window = open(fixturePage(QStringLiteral("titled.html")));
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(waitForPage(window, QStringLiteral("titled.html")));
    EXPECT_FALSE(window->toolbarHidden());
    EXPECT_GT(pageTop(window), 0);

    window->GSubMain_Update(makePdf(QStringLiteral("diagram.pdf")), false, false, false);
    ASSERT_TRUE(waitFor([&] { return window->windowTitle() == QStringLiteral(" - MarvekBrowser"); }))
        << window->windowTitle().toStdString();
    EXPECT_TRUE(window->toolbarHidden());
    ASSERT_TRUE(waitFor([&] { return pageTop(window) == 0; }));

    // Back on an HTML page, the toolbar stays hidden.
    window->GSubMain_Update(fixturePage(QStringLiteral("second.html")), false, false, false);
    ASSERT_TRUE(
        waitFor([&] { return window->windowTitle() == QStringLiteral("Second page - MarvekBrowser"); }));
    EXPECT_TRUE(window->toolbarHidden());
    EXPECT_EQ(pageTop(window), 0);
}

TEST_F(WindowEvents, AddressWithJavascriptAndPdfKeepsTheToolbar) {
    frmMain* window = open(fixturePage(QStringLiteral("titled.html")));
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(waitForPage(window, QStringLiteral("titled.html")));

    const QString url = QUrl::fromLocalFile(fixturePage(QStringLiteral("second.html"))).toString() +
                        QStringLiteral("?help=JavaScript.PDF");
    window->GSubMain_Update(url, false, false, false);
    ASSERT_TRUE(
        waitFor([&] { return window->windowTitle() == QStringLiteral("Second page - MarvekBrowser"); }));
    EXPECT_FALSE(window->toolbarHidden());
    EXPECT_GT(pageTop(window), 0);

    // The same page named with ".pdf" alone in its address hides it.
    window->GSubMain_Update(url.left(url.indexOf(QLatin1Char('?'))) + QStringLiteral("?file=a.PDF"), false,
                            false, false);
    ASSERT_TRUE(waitFor([&] { return window->toolbarHidden(); }));
}

TEST_F(WindowEvents, CaptionIsTheDocumentTitleAndTheBrowserName) {
    frmMain* window = open(fixturePage(QStringLiteral("titled.html")));
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->windowTitle(), QStringLiteral("MarvekBrowser"));
    ASSERT_TRUE(
        waitFor([&] { return window->windowTitle() == QStringLiteral("Titled page - MarvekBrowser"); }));

    // A page without a title, and a PDF document (whatever title its viewer shows), give the caption
    // the stale-instance check looks for.
    window->GSubMain_Update(fixturePage(QStringLiteral("untitled.html")), false, false, false);
    ASSERT_TRUE(waitFor([&] {
        return window->page()->url().toString().endsWith(QStringLiteral("untitled.html")) &&
               window->windowTitle() == QStringLiteral(" - MarvekBrowser");
    }));
    window->GSubMain_Update(fixturePage(QStringLiteral("titled.html")), false, false, false);
    ASSERT_TRUE(
        waitFor([&] { return window->windowTitle() == QStringLiteral("Titled page - MarvekBrowser"); }));
    window->GSubMain_Update(makePdf(QStringLiteral("wiring.pdf")), false, false, false);
    ASSERT_TRUE(waitFor([&] { return window->windowTitle() == QStringLiteral(" - MarvekBrowser"); }));
}

TEST_F(WindowEvents, BackAndForwardFollowTheHistory) {
    frmMain* window = open(fixturePage(QStringLiteral("titled.html")));
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(waitForPage(window, QStringLiteral("titled.html")));
    QToolButton* back = window->button(QStringLiteral("back"));
    QToolButton* forward = window->button(QStringLiteral("forward"));
    ASSERT_TRUE(back && forward);
    EXPECT_FALSE(back->isEnabled());
    EXPECT_FALSE(forward->isEnabled());

    clickPage(window); // the link to second.html
    ASSERT_TRUE(
        waitFor([&] { return window->windowTitle() == QStringLiteral("Second page - MarvekBrowser"); }));
    ASSERT_TRUE(waitFor([&] { return back->isEnabled(); }));
    EXPECT_FALSE(forward->isEnabled());

    back->click();
    ASSERT_TRUE(
        waitFor([&] { return window->windowTitle() == QStringLiteral("Titled page - MarvekBrowser"); }));
    ASSERT_TRUE(waitFor([&] { return !back->isEnabled() && forward->isEnabled(); }));

    forward->click();
    ASSERT_TRUE(
        waitFor([&] { return window->windowTitle() == QStringLiteral("Second page - MarvekBrowser"); }));
    ASSERT_TRUE(waitFor([&] { return back->isEnabled() && !forward->isEnabled(); }));
}

TEST_F(WindowEvents, ToolbarButtonsCarryTheirTooltipsAndImages) {
    frmMain* window = open(fixturePage(QStringLiteral("untitled.html")));
    ASSERT_NE(window, nullptr);
    const QStringList keys = {QStringLiteral("back"), QStringLiteral("forward"), QStringLiteral("print"),
                              QStringLiteral("bookmark"), QStringLiteral("version")};
    const QStringList tooltips = {QStringLiteral("back"), QStringLiteral("forward"), QStringLiteral("print"),
                                  QStringLiteral("bookmark"), QStringLiteral("version")};
    int lastX = -1;
    for (int i = 0; i < keys.size(); ++i) {
        QToolButton* b = window->button(keys[i]);
        ASSERT_NE(b, nullptr) << keys[i].toStdString();
        EXPECT_EQ(b->toolTip(), tooltips[i]);
        EXPECT_FALSE(b->icon().isNull());
        EXPECT_FALSE(b->icon().pixmap(24, 24, QIcon::Active).isNull());
        EXPECT_FALSE(b->icon().pixmap(24, 24, QIcon::Disabled).isNull());
        EXPECT_GT(b->x(), lastX) << "toolbar order";
        lastX = b->x();
    }
    EXPECT_EQ(window->button(QStringLiteral("bookmark"))->popupMode(), QToolButton::MenuButtonPopup);
    // The publication-number panel is 3000 twips wide.
    EXPECT_EQ(window->stsBar()->findChild<QLabel*>(QStringLiteral("pubno"))->width() * 15, 3000);
}

TEST_F(WindowEvents, PublicationNumberFromTheManualLinkFolder) {
    ASSERT_TRUE(os->registry().writeString(
        platform::HKEY_LOCAL_MACHINE, QStringLiteral("SOFTWARE\\MARVEK\\Scanlux\\ManualLink"),
        QStringLiteral("InstallDir"), QStringLiteral("C:\\Program Files\\Link")));
    ASSERT_TRUE(machine.writeFile(QStringLiteral("C:\\Program Files\\Link\\marvek.ci"),
                                  "[PUB]\r\nN=1\r\nd=TSM-4471E\r\nD=second\r\n"));

    frmMain* shown = open(fixturePage(QStringLiteral("titled.html")), false, false, true);
    frmMain* plain = open(fixturePage(QStringLiteral("second.html")));
    ASSERT_TRUE(shown && plain);
    EXPECT_TRUE(shown->pubNoShown());
    ASSERT_TRUE(waitFor(
        [&] { return shown->statusPanelText(QStringLiteral("pubno")) == QStringLiteral("TSM-4471E"); }));
    ASSERT_TRUE(waitForPage(plain, QStringLiteral("second.html")));
    EXPECT_EQ(plain->statusPanelText(QStringLiteral("pubno")), QString());
    EXPECT_TRUE(ui->asked().empty());
}

TEST_F(WindowEvents, CodeSearchPageHandsItsPagesToTheFirstWindowAfterIt) {
    // The diagnostic tool's start: the code-search page in a hidden first window; its page opens the
    // manual page in a new visible window (slot 1).
    frmMain* search = open(fixturePage(QStringLiteral("codesearch.html")), false, true, false);
    ASSERT_NE(search, nullptr);
    EXPECT_FALSE(search->isVisible());
    ASSERT_TRUE(waitFor([&] { return context->glngCnt == 2 && context->gfrmBrowser[1]; }));
    frmMain* manual = context->gfrmBrowser[1];
    ASSERT_TRUE(waitForPage(manual, QStringLiteral("second.html")));
    EXPECT_TRUE(manual->isVisible());

    // The user moves on; the next search reuses slot 1's window: no third window.
    manual->GSubMain_Update(fixturePage(QStringLiteral("titled.html")), false, false, false);
    ASSERT_TRUE(
        waitFor([&] { return manual->windowTitle() == QStringLiteral("Titled page - MarvekBrowser"); }));
    search->GSubMain_Update(fixturePage(QStringLiteral("codesearch.html")), false, true, false);
    ASSERT_TRUE(
        waitFor([&] { return manual->windowTitle() == QStringLiteral("Second page - MarvekBrowser"); }));
    EXPECT_EQ(context->glngCnt, 2);
    EXPECT_EQ(context->gfrmBrowser[1].data(), manual);
    EXPECT_TRUE(manual->isVisible());
}

TEST_F(WindowEvents, KeysFindZoomHistoryAndReload) {
    frmMain* window = open(fixturePage(QStringLiteral("titled.html")));
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(waitForPage(window, QStringLiteral("titled.html")));
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    QWidget* view = window->wbrMain()->focusProxy();
    ASSERT_NE(view, nullptr);

    QTest::keyClick(view, Qt::Key_F, Qt::ControlModifier);
    ASSERT_TRUE(waitFor([&] { return window->findBar().isVisible(); }));
    QTest::keyClicks(window->findBar().editor(), QStringLiteral("brake pads"));
    ASSERT_TRUE(waitFor([&] { return window->findBar().resultText() == QStringLiteral("1/3"); }))
        << window->findBar().resultText().toStdString();
    QTest::keyClick(window->findBar().editor(), Qt::Key_Escape);
    EXPECT_FALSE(window->findBar().isVisible());

    QTest::keyClick(view, Qt::Key_Equal, Qt::ControlModifier);
    EXPECT_DOUBLE_EQ(window->wbrMain()->zoomFactor(), 1.1);
    QTest::keyClick(view, Qt::Key_Minus, Qt::ControlModifier);
    QTest::keyClick(view, Qt::Key_Minus, Qt::ControlModifier);
    EXPECT_DOUBLE_EQ(window->wbrMain()->zoomFactor(), 0.9);
    QTest::keyClick(view, Qt::Key_0, Qt::ControlModifier);
    EXPECT_DOUBLE_EQ(window->wbrMain()->zoomFactor(), 1.0);

    clickPage(window);
    ASSERT_TRUE(
        waitFor([&] { return window->windowTitle() == QStringLiteral("Second page - MarvekBrowser"); }));
    ASSERT_TRUE(waitFor([&] { return window->page()->action(QWebEnginePage::Back)->isEnabled(); }));
    QTest::keyClick(window->wbrMain()->focusProxy(), Qt::Key_Left, Qt::AltModifier);
    ASSERT_TRUE(
        waitFor([&] { return window->windowTitle() == QStringLiteral("Titled page - MarvekBrowser"); }));
    QTest::keyClick(window->wbrMain()->focusProxy(), Qt::Key_Right, Qt::AltModifier);
    ASSERT_TRUE(
        waitFor([&] { return window->windowTitle() == QStringLiteral("Second page - MarvekBrowser"); }));

    QSignalSpy loads(window->page(), &QWebEnginePage::loadFinished);
    QTest::keyClick(window->wbrMain()->focusProxy(), Qt::Key_F5);
    ASSERT_TRUE(loads.wait(kWaitMs));
    EXPECT_EQ(window->page()->history()->count(), 2);
}

TEST_F(WindowEvents, ForwardedRequestLoadsANewSlotZeroWindowFirst) {
    // A forwarded request with no window in slot 0 creates one and updates it at once.
    context->processForwardedRequest(fixturePage(QStringLiteral("titled.html")) + QStringLiteral(";0;0;1"));
    ASSERT_FALSE(context->gfrmBrowser.empty());
    frmMain* window = context->gfrmBrowser[0];
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(
        waitFor([&] { return window->windowTitle() == QStringLiteral("Titled page - MarvekBrowser"); }));
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->tag(), QStringLiteral("0"));
    EXPECT_TRUE(window->pubNoShown());
    EXPECT_EQ(window->button(QStringLiteral("print"))->toolTip(), QStringLiteral("print"));
    EXPECT_FALSE(window->button(QStringLiteral("print"))->icon().isNull());
}

TEST_F(WindowEvents, VersionAndPrintButtonsOpenModalBoxes) {
    frmMain* window = open(fixturePage(QStringLiteral("titled.html")));
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(waitForPage(window, QStringLiteral("titled.html")));

    // Each box is modal to the window; the button is disabled while its box is open.
    const auto answerBox = [&](const char* className, QString* seen, bool* buttonDisabled,
                               const QString& key) {
        QTimer::singleShot(0, window, [=] {
            QTimer* poll = new QTimer(window);
            QObject::connect(poll, &QTimer::timeout, window, [=] {
                QWidget* modal = QApplication::activeModalWidget();
                if (modal == nullptr)
                    return;
                poll->deleteLater();
                *seen = QString::fromLatin1(modal->metaObject()->className()) + QLatin1Char(' ') +
                        modal->windowTitle();
                *buttonDisabled = !window->button(key)->isEnabled() && modal->parentWidget() == window &&
                                  modal->isModal() &&
                                  QLatin1String(className) == QLatin1String(modal->metaObject()->className());
                static_cast<QDialog*>(modal)->reject();
            });
            poll->start(10);
        });
    };
    QString seen;
    bool disabledWhileOpen = false;
    answerBox("marvek::browser::frmVer", &seen, &disabledWhileOpen, QStringLiteral("version"));
    window->button(QStringLiteral("version"))->click();
    EXPECT_EQ(seen, QStringLiteral("marvek::browser::frmVer Version information"));
    EXPECT_TRUE(disabledWhileOpen);
    EXPECT_TRUE(window->button(QStringLiteral("version"))->isEnabled());

    seen.clear();
    disabledWhileOpen = false;
    answerBox("QPrintDialog", &seen, &disabledWhileOpen, QStringLiteral("print"));
    window->button(QStringLiteral("print"))->click();
    EXPECT_TRUE(seen.startsWith(QStringLiteral("QPrintDialog"))) << seen.toStdString();
    EXPECT_TRUE(disabledWhileOpen);
    EXPECT_TRUE(window->button(QStringLiteral("print"))->isEnabled());
}

} // namespace
