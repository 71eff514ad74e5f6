// The browser window on real pages: new windows and their size requests, window.close, the PDF
// rule, captions, the find bar, history buttons, the modal boxes, the code-search rule, bookmarks (the
// frame named "mainFrame" depth first, commas in addresses and titles kept), the version box and the
// publication number.

#include "browser/window/BookmarkMenu.h"
#include "browser/window/FindBar.h"
#include "browser/window/PubNo.h"
#include "browser/window/frmVer.h"
#include "browser_fixture.h"
#include "platform/FileVersion.h"
#include "platform/testing/BuildPath.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPdfWriter>
#include <QSignalSpy>
#include <QToolButton>

using marvek::testing::BuildPath;

namespace marvek::browser::browsertest {
namespace {

class WindowEvents : public BrowserFixture {
protected:
    void SetUp() override { startBrowser(); }

    // Adds a bookmark as the menu does and waits for it.
    static int add(frmMain* window) {
        QSignalSpy added(window, &frmMain::bookmarkAdded);
        window->bookmarks().mnuBMark_Click(0);
        return added.wait(kWaitMs) ? added[0][0].toInt() : -1;
    }

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
    EXPECT_TRUE(opener->page()->url().toString().endsWith(u"opener.html"_s)); // the opener keeps its page
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

TEST_F(WindowEvents, VersionAndPrintBoxesAreModalAndGoWithTheirWindow) {
    // The version box and the print dialog are modal to the window, its button disabled meanwhile; when
    // the page closes its window under one, the window goes, and the box with it.
    for (const auto& [key, expected] :
         {std::pair{u"version"_s, u"marvek::browser::frmVer Version information"_s},
          std::pair{u"print"_s, u"QPrintDialog "_s}}) {
        SCOPED_TRACE(key.toStdString());
        const QPointer<frmMain> window = openLoaded(u"closer.html"_s);
        ASSERT_TRUE(window);
        for (const bool closeFromPage : {false, true}) {
            QString seen;
            bool disabledWhileOpen = false;
            QTimer poll;
            QObject::connect(&poll, &QTimer::timeout, &poll, [&] {
                auto* modal = qobject_cast<QDialog*>(QApplication::activeModalWidget());
                if (modal == nullptr)
                    return;
                poll.stop();
                seen = QString::fromLatin1(modal->metaObject()->className()) + u' ' + modal->windowTitle();
                disabledWhileOpen =
                    !window->button(key)->isEnabled() && modal->parentWidget() == window && modal->isModal();
                if (closeFromPage)
                    window->page()->runJavaScript(u"window.close()"_s);
                else
                    modal->reject();
            });
            poll.start(10);
            window->button(key)->click();
            EXPECT_TRUE(key == u"print"_s ? seen.startsWith(expected) : seen == expected)
                << seen.toStdString();
            EXPECT_TRUE(disabledWhileOpen);
            if (closeFromPage)
                EXPECT_TRUE(waitFor([&] { return window.isNull(); }));
            else
                EXPECT_TRUE(window->button(key)->isEnabled());
        }
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

// A submenu's items as "caption|tag", with "(disabled)" after a disabled one.
QStringList items(const QMenu* menu) {
    QStringList result;
    for (const QAction* action : menu->actions())
        result << action->text() + u'|' + action->data().toString() +
                      (action->isEnabled() ? u""_s : u" (disabled)"_s);
    return result;
}

TEST(BookmarkMenuItems, SubmenusMirrorTheCollectionFromPlaceholderToPlaceholder) {
    QWidget window;
    BookmarkMenu menu(&window);
    EXPECT_EQ(items(menu.removeMenu()), QStringList{u"（なし）| (disabled)"_s});
    EXPECT_EQ(items(menu.openMenu()), QStringList{u"(なし)| (disabled)"_s});
    QSignalSpy opened(&menu, &BookmarkMenu::openRequested);
    menu.mnuBMarkRemove_Click(0); // a placeholder does nothing
    menu.mnuBMarkBMark_Click(0);
    EXPECT_EQ(opened.count(), 0);

    EXPECT_EQ(menu.addBookmark(u"Brakes"_s, u"file:///m/brakes.html"_s), 0);
    EXPECT_EQ(menu.addBookmark(u"Engine"_s, u"file:///m/engine.html"_s), 1);
    EXPECT_EQ(menu.addBookmark(u"Body & paint"_s, u"file:///m/body.html"_s), 2);
    menu.mnuBMarkRemove_Click(1); // the first and third stay, in that order
    const QStringList expected{u"Brakes|0"_s, u"Body && paint|2"_s};
    EXPECT_EQ(items(menu.removeMenu()), expected);
    EXPECT_EQ(items(menu.openMenu()), expected);
    EXPECT_EQ(menu.PFncBMark_GetURL(1), QString());

    menu.mnuBMarkBMark_Click(1); // item 1 is the third bookmark
    ASSERT_EQ(opened.count(), 1);
    EXPECT_EQ(opened[0][0].toString(), u"file:///m/body.html"_s);

    // Removing the rest leaves the disabled "(なし)" in both; a new bookmark takes its place.
    menu.mnuBMarkRemove_Click(0);
    menu.mnuBMarkRemove_Click(0);
    EXPECT_TRUE(menu.mcolBMark().empty());
    EXPECT_EQ(items(menu.removeMenu()), QStringList{u"(なし)| (disabled)"_s});
    EXPECT_EQ(items(menu.openMenu()), QStringList{u"(なし)| (disabled)"_s});
    menu.addBookmark(u"Wheels"_s, u"file:///m/wheels.html"_s);
    EXPECT_EQ(items(menu.openMenu()), QStringList{u"Wheels|0"_s});
}

TEST(BookmarkMenuItems, NumbersStayUniqueAfterRemovals) {
    QWidget window;
    BookmarkMenu menu(&window);
    menu.addBookmark(u"A"_s, u"file:///a"_s);
    menu.addBookmark(u"B"_s, u"file:///b"_s);
    menu.mnuBMarkRemove_Click(0); // A (0) goes; B keeps 1
    // The count (1) is B's number, so C takes the lowest free number.
    EXPECT_EQ(menu.addBookmark(u"C"_s, u"file:///c"_s), 0);
    EXPECT_EQ(menu.addBookmark(u"D"_s, u"file:///d"_s), 2);
    EXPECT_EQ(items(menu.openMenu()), (QStringList{u"B|1"_s, u"C|0"_s, u"D|2"_s})); // tags unique, in order

    // Removing by tag removes that bookmark, not the one at the index of its number.
    menu.mnuBMarkRemove_Click(1); // item 1 is C (number 0)
    EXPECT_EQ(menu.PFncBMark_GetURL(0), QString());
    EXPECT_EQ(menu.PFncBMark_GetURL(1), u"file:///b"_s);
}

TEST_F(WindowEvents, NestedMainFrameIsFoundDepthFirst) {
    frmMain* window = open(fixturePage(u"frames/index.html"_s));
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(waitForCaption(window, u"Service manual"_s));

    // "MainFrame" lies in the frameset of the second frame; its title has a comma.
    EXPECT_EQ(add(window), 0);
    EXPECT_EQ(window->bookmarks().mcolBMark().at(0).Name(), u"Engine, removal and installation"_s);
    EXPECT_TRUE(window->bookmarks().PFncBMark_GetURL(0).endsWith(u"frames/pages/content.html"_s));

    // The contents frame changes the main frame; the next bookmark follows it (a comma in its address).
    window->page()->runJavaScript(u"window.frames[0].document.getElementById('c2').click()"_s);
    ASSERT_TRUE(waitFor([&] {
        bool done = false;
        bool changed = false;
        window->page()->runJavaScript(u"window.frames[1].frames[1].document.title"_s,
                                      [&](const QVariant& title) {
                                          changed = title.toString() == u"Cooling system"_s;
                                          done = true;
                                      });
        return waitFor([&] { return done; }) && changed;
    }));
    EXPECT_EQ(add(window), 1);
    EXPECT_EQ(window->bookmarks().mcolBMark().at(1).Name(), u"Cooling system"_s);
    EXPECT_TRUE(window->bookmarks().PFncBMark_GetURL(1).endsWith(u"frames/pages/content,2.html"_s));

    // Opening the first bookmark shows its page in this window.
    window->bookmarks().mnuBMarkBMark_Click(0);
    ASSERT_TRUE(waitForCaption(window, u"Engine, removal and installation"_s));
    EXPECT_TRUE(window->page()->url().toString().endsWith(u"frames/pages/content.html"_s));
    EXPECT_TRUE(ui->asked().empty());
}

TEST_F(WindowEvents, PlainPagesAndFramesWithoutAMainFrameAreBookmarkedAsThemselves) {
    frmMain* window = openLoaded(u"titled.html"_s);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(add(window), 0);
    EXPECT_EQ(items(window->bookmarks().openMenu()), QStringList{u"Titled page|0"_s});
    EXPECT_EQ(window->bookmarks().PFncBMark_GetURL(0),
              QUrl::fromLocalFile(fixturePage(u"titled.html"_s)).toString());

    window->GSubMain_Update(fixturePage(u"noframe/index.html"_s), false, false, false);
    ASSERT_TRUE(waitForCaption(window, u"Frames without a main frame"_s));
    EXPECT_EQ(add(window), 1);
    EXPECT_EQ(window->bookmarks().mcolBMark().at(1).Name(), u"Frames without a main frame"_s);
    EXPECT_TRUE(window->bookmarks().PFncBMark_GetURL(1).endsWith(u"noframe/index.html"_s));
}

TEST(VersionBox, VersionLineSkipsTheThirdNumberOfTheProgramsRecord) {
    const std::optional<platform::FileVersion> pagora = platform::readFileVersion(BuildPath("PAGORA_EXE"));
    ASSERT_TRUE(pagora.has_value()); // 1.1.0.2
    EXPECT_EQ(frmVer::versionText(pagora), u"Ver.1.1.2"_s);
    EXPECT_EQ(frmVer::versionText(platform::FileVersion{2, 3, 9, 4}), u"Ver.2.3.4"_s);
}

TEST_F(BrowserFixture, PubNoIsTheFirstLineStartingWithDInAnyCaseInTheSystemCodePageShownWhenAsked) {
    startBrowser(0x0411);
    EXPECT_EQ(readPubNo(*os).pubNo, QString()); // no registry value
    ASSERT_TRUE(os->registry().writeString(platform::HKEY_LOCAL_MACHINE, QLatin1String(kManualLinkKey),
                                           QLatin1String(kManualLinkValue), u"C:\\Link"_s));
    EXPECT_EQ(readPubNo(*os).pubNo, QString()); // no file
    for (const auto& [content, expected] : std::vector<std::pair<QByteArray, QString>>{
             {"X=1\nDD=2\r\nd=PUB-1 \r\nD=PUB-2\r\n", u"PUB-1 "_s},
             {platform::encodeCodePage(u"D=整備書-7"_s, platform::CodePageShiftJis), u"整備書-7"_s},
             {"A=1\r\n D=indented\r\n", QString()},
             {"[PUB]\r\nN=1\r\nd=TSM-4471E\r\nD=second\r\n", u"TSM-4471E"_s}}) {
        ASSERT_TRUE(machine.writeFile(u"C:\\Link\\marvek.ci"_s, content));
        const PubNoResult result = readPubNo(*os);
        EXPECT_EQ(result.pubNo, expected);
        EXPECT_TRUE(result.failure.isEmpty());
    }

    // The window shows it with the pubNo flag only.
    frmMain* shown = open(fixturePage(u"titled.html"_s), false, false, true);
    frmMain* plain = open(fixturePage(u"second.html"_s));
    ASSERT_TRUE(shown && plain);
    EXPECT_TRUE(shown->pubNoShown());
    ASSERT_TRUE(waitFor([&] { return shown->statusPanelText(u"pubno"_s) == u"TSM-4471E"_s; }));
    ASSERT_TRUE(waitForCaption(plain, u"Second page"_s));
    EXPECT_EQ(plain->statusPanelText(u"pubno"_s), QString());
    EXPECT_TRUE(ui->asked().empty());
}

} // namespace
} // namespace marvek::browser::browsertest
