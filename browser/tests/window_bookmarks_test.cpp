// Bookmarks: the collection and its two submenus, the numbers, the choice of the frame named
// "mainFrame", and adding, opening and removing bookmarks on real framed pages.

#include "browser/window/BookmarkLocation.h"
#include "browser/window/BookmarkMenu.h"
#include "window_fixture.h"

#include <QAction>
#include <QMenu>
#include <QSignalSpy>
#include <QToolButton>
#include <QWidget>

using namespace marvek;
using namespace marvek::browser;
using namespace marvek::browser::windowtest;

namespace {

struct Item {
    QString caption;
    QString tag;
    bool enabled;
    friend bool operator==(const Item&, const Item&) = default;
    friend std::ostream& operator<<(std::ostream& os, const Item& item) {
        return os << '{' << item.caption.toStdString() << ", \"" << item.tag.toStdString() << "\", "
                  << item.enabled << '}';
    }
};

std::vector<Item> items(const QMenu* menu) {
    std::vector<Item> result;
    for (const QAction* action : menu->actions())
        result.push_back({action->text(), action->data().toString(), action->isEnabled()});
    return result;
}

TEST(BookmarkMenuItems, NewWindowShowsTheTwoPlaceholders) {
    QWidget window;
    BookmarkMenu menu(&window);
    EXPECT_EQ(menu.mnuBookMark()->title(), QStringLiteral("BookMark"));
    const QList<QAction*> top = menu.mnuBookMark()->actions();
    ASSERT_EQ(top.size(), 3);
    EXPECT_EQ(top[0]->text(), QStringLiteral("ブックマークの追加"));
    EXPECT_EQ(top[1]->text(), QStringLiteral("ブックマークの削除..."));
    EXPECT_EQ(top[2]->text(), QStringLiteral("ブックマーク..."));
    EXPECT_EQ(items(menu.removeMenu()), (std::vector<Item>{{QStringLiteral("（なし）"), QString(), false}}));
    EXPECT_EQ(items(menu.openMenu()), (std::vector<Item>{{QStringLiteral("(なし)"), QString(), false}}));

    // Choosing a placeholder does nothing.
    QSignalSpy opened(&menu, &BookmarkMenu::openRequested);
    menu.mnuBMarkRemove_Click(0);
    menu.mnuBMarkBMark_Click(0);
    EXPECT_EQ(opened.count(), 0);
    EXPECT_TRUE(menu.mcolBMark().empty());
}

TEST(BookmarkMenuItems, SubmenusMirrorTheCollectionThroughAddAndRemove) {
    QWidget window;
    BookmarkMenu menu(&window);
    EXPECT_EQ(menu.addBookmark(QStringLiteral("Brakes"), QStringLiteral("file:///m/brakes.html")), 0);
    EXPECT_EQ(items(menu.removeMenu()),
              (std::vector<Item>{{QStringLiteral("Brakes"), QStringLiteral("0"), true}}));
    EXPECT_EQ(items(menu.openMenu()), items(menu.removeMenu()));
    EXPECT_EQ(menu.addBookmark(QStringLiteral("Engine"), QStringLiteral("file:///m/engine.html")), 1);
    EXPECT_EQ(menu.addBookmark(QStringLiteral("Body & paint"), QStringLiteral("file:///m/body.html")), 2);
    EXPECT_EQ(menu.PFncBMark_GetURL(1), QStringLiteral("file:///m/engine.html"));

    // Remove the second: the first and third stay, in that order.
    menu.mnuBMarkRemove_Click(1);
    const std::vector<Item> expected{{QStringLiteral("Brakes"), QStringLiteral("0"), true},
                                     {QStringLiteral("Body && paint"), QStringLiteral("2"), true}};
    EXPECT_EQ(items(menu.removeMenu()), expected);
    EXPECT_EQ(items(menu.openMenu()), expected);
    EXPECT_EQ(menu.PFncBMark_GetURL(1), QString());

    // Opening item 1 opens the third bookmark.
    QSignalSpy opened(&menu, &BookmarkMenu::openRequested);
    menu.mnuBMarkBMark_Click(1);
    ASSERT_EQ(opened.count(), 1);
    EXPECT_EQ(opened[0][0].toString(), QStringLiteral("file:///m/body.html"));

    // Removing the rest leaves the disabled "(なし)" in both.
    menu.mnuBMarkRemove_Click(0);
    menu.mnuBMarkRemove_Click(0);
    EXPECT_TRUE(menu.mcolBMark().empty());
    EXPECT_EQ(items(menu.removeMenu()), (std::vector<Item>{{QStringLiteral("(なし)"), QString(), false}}));
    EXPECT_EQ(items(menu.openMenu()), (std::vector<Item>{{QStringLiteral("(なし)"), QString(), false}}));

    // And a new first bookmark takes the placeholders' place.
    menu.addBookmark(QStringLiteral("Wheels"), QStringLiteral("file:///m/wheels.html"));
    EXPECT_EQ(items(menu.openMenu()),
              (std::vector<Item>{{QStringLiteral("Wheels"), QStringLiteral("0"), true}}));
}

TEST(BookmarkMenuItems, NumbersStayUniqueAfterRemovals) {
    QWidget window;
    BookmarkMenu menu(&window);
    menu.addBookmark(QStringLiteral("A"), QStringLiteral("file:///a"));
    menu.addBookmark(QStringLiteral("B"), QStringLiteral("file:///b"));
    menu.mnuBMarkRemove_Click(0); // A (0) goes; B keeps 1
    // The count (1) is B's number, so C takes the lowest free number.
    EXPECT_EQ(menu.addBookmark(QStringLiteral("C"), QStringLiteral("file:///c")), 0);
    EXPECT_EQ(menu.addBookmark(QStringLiteral("D"), QStringLiteral("file:///d")), 2);
    EXPECT_EQ(menu.PFncBMark_GetURL(1), QStringLiteral("file:///b"));
    EXPECT_EQ(menu.PFncBMark_GetURL(0), QStringLiteral("file:///c"));
    std::vector<QString> keys;
    for (const clsBMark& bookmark : menu.mcolBMark())
        keys.push_back(BookmarkMenu::key(bookmark.Number()));
    EXPECT_EQ(keys, (std::vector<QString>{QStringLiteral("KEY:1"), QStringLiteral("KEY:0"),
                                          QStringLiteral("KEY:2")}));

    // Removing by tag removes that bookmark, not the one at the index of its number.
    menu.mnuBMarkRemove_Click(1); // item 1 is C (number 0)
    EXPECT_EQ(menu.PFncBMark_GetURL(0), QString());
    EXPECT_EQ(menu.PFncBMark_GetURL(1), QStringLiteral("file:///b"));
}

TEST(BookmarkTarget, FramedPagesTakeTheMainFrameElseTheDocument) {
    DocumentLocation plain;
    plain.url = QStringLiteral("file:///m/a.html");
    plain.title = QStringLiteral("Page A");
    EXPECT_EQ(bookmarkTarget(plain)->url, plain.url);
    EXPECT_EQ(bookmarkTarget(plain)->name, plain.title);

    DocumentLocation framed = plain;
    framed.frameCount = 2;
    framed.found = true;
    framed.frameUrl = QStringLiteral("file:///m/pages/x,1.html");
    framed.frameTitle = QStringLiteral("Engine, removal");
    // Commas in the address or the title do not cut them.
    EXPECT_EQ(bookmarkTarget(framed)->url, framed.frameUrl);
    EXPECT_EQ(bookmarkTarget(framed)->name, framed.frameTitle);

    // A framed page without a "mainFrame" is bookmarked as itself.
    DocumentLocation noMain = plain;
    noMain.frameCount = 2;
    EXPECT_EQ(bookmarkTarget(noMain)->url, plain.url);
    EXPECT_EQ(bookmarkTarget(noMain)->name, plain.title);

    DocumentLocation nothing;
    EXPECT_FALSE(bookmarkTarget(nothing).has_value());
}

class WindowBookmarks : public BrowserFixture {
protected:
    void SetUp() override { startBrowser(); }

    // Adds a bookmark as the menu does and waits for it.
    static int add(frmMain* window) {
        QSignalSpy added(window, &frmMain::bookmarkAdded);
        window->bookmarks().mnuBMark_Click(0);
        if (!added.wait(kWaitMs))
            return -1;
        return added[0][0].toInt();
    }
};

TEST_F(WindowBookmarks, PageWithoutFramesGivesItsTitle) {
    frmMain* window = open(fixturePage(QStringLiteral("titled.html")));
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(waitForPage(window, QStringLiteral("titled.html")));
    EXPECT_EQ(add(window), 0);
    const std::vector<Item> expected{{QStringLiteral("Titled page"), QStringLiteral("0"), true}};
    EXPECT_EQ(items(window->bookmarks().removeMenu()), expected);
    EXPECT_EQ(items(window->bookmarks().openMenu()), expected);
    EXPECT_EQ(window->bookmarks().PFncBMark_GetURL(0),
              QUrl::fromLocalFile(fixturePage(QStringLiteral("titled.html"))).toString());
}

TEST_F(WindowBookmarks, NestedMainFrameIsFoundDepthFirst) {
    frmMain* window = open(fixturePage(QStringLiteral("frames/index.html")));
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(
        waitFor([&] { return window->windowTitle() == QStringLiteral("Service manual - MarvekBrowser"); }));

    // "MainFrame" lies in the frameset of the second frame; its title has a comma.
    EXPECT_EQ(add(window), 0);
    EXPECT_EQ(window->bookmarks().mcolBMark().at(0).Name(),
              QStringLiteral("Engine, removal and installation"));
    EXPECT_TRUE(
        window->bookmarks().PFncBMark_GetURL(0).endsWith(QStringLiteral("frames/pages/content.html")));

    // The contents frame changes the main frame; the next bookmark follows it.
    window->page()->runJavaScript(QStringLiteral("window.frames[0].document.getElementById('c2').click()"));
    ASSERT_TRUE(waitFor([&] {
        bool done = false;
        bool changed = false;
        window->page()->runJavaScript(QStringLiteral("window.frames[1].frames[1].document.title"),
                                      [&](const QVariant& title) {
                                          changed = title.toString() == QStringLiteral("Cooling system");
                                          done = true;
                                      });
        if (!waitFor([&] { return done; }))
            return false;
        return changed;
    }));
    EXPECT_EQ(add(window), 1);
    EXPECT_EQ(window->bookmarks().mcolBMark().at(1).Name(), QStringLiteral("Cooling system"));

    // Opening the first bookmark shows its page in this window.
    window->bookmarks().mnuBMarkBMark_Click(0);
    ASSERT_TRUE(waitFor([&] {
        return window->windowTitle() == QStringLiteral("Engine, removal and installation - MarvekBrowser");
    }));
    EXPECT_TRUE(window->page()->url().toString().endsWith(QStringLiteral("frames/pages/content.html")));
    EXPECT_TRUE(ui->asked().empty());
}

TEST_F(WindowBookmarks, FramedPageWithoutMainFrameIsBookmarkedAsItself) {
    frmMain* window = open(fixturePage(QStringLiteral("noframe/index.html")));
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(waitFor([&] {
        return window->windowTitle() == QStringLiteral("Frames without a main frame - MarvekBrowser");
    }));
    EXPECT_EQ(add(window), 0);
    EXPECT_EQ(window->bookmarks().mcolBMark().at(0).Name(), QStringLiteral("Frames without a main frame"));
    EXPECT_TRUE(window->bookmarks().PFncBMark_GetURL(0).endsWith(QStringLiteral("noframe/index.html")));
}

TEST_F(WindowBookmarks, EachWindowKeepsItsOwnList) {
    frmMain* first = open(fixturePage(QStringLiteral("titled.html")));
    frmMain* second = open(fixturePage(QStringLiteral("second.html")));
    ASSERT_TRUE(first && second);
    ASSERT_TRUE(waitForPage(first, QStringLiteral("titled.html")));
    ASSERT_TRUE(waitForPage(second, QStringLiteral("second.html")));
    EXPECT_EQ(add(first), 0);
    EXPECT_EQ(first->bookmarks().mcolBMark().size(), 1u);
    EXPECT_TRUE(second->bookmarks().mcolBMark().empty());

    // Opening a bookmark navigates its own window only.
    first->GSubMain_Update(fixturePage(QStringLiteral("untitled.html")), false, false, false);
    ASSERT_TRUE(waitFor([&] { return first->windowTitle() == QStringLiteral(" - MarvekBrowser"); }));
    first->bookmarks().mnuBMarkBMark_Click(0);
    ASSERT_TRUE(
        waitFor([&] { return first->windowTitle() == QStringLiteral("Titled page - MarvekBrowser"); }));
    EXPECT_EQ(second->windowTitle(), QStringLiteral("Second page - MarvekBrowser"));
}

TEST_F(WindowBookmarks, BookmarkButtonWaitsForTheDocument) {
    frmMain* window = open(fixturePage(QStringLiteral("titled.html")));
    ASSERT_NE(window, nullptr);
    QToolButton* bookmark = window->button(QStringLiteral("bookmark"));
    ASSERT_TRUE(waitForPage(window, QStringLiteral("titled.html")));
    EXPECT_TRUE(bookmark->isEnabled());
    // Disabled from the start of the navigation until the document is complete.
    std::vector<bool> enabledAtStart;
    QObject::connect(window->page(), &QWebEnginePage::loadStarted, window,
                     [&] { enabledAtStart.push_back(bookmark->isEnabled()); });
    window->GSubMain_Update(fixturePage(QStringLiteral("second.html")), false, false, false);
    ASSERT_TRUE(
        waitFor([&] { return window->windowTitle() == QStringLiteral("Second page - MarvekBrowser"); }));
    EXPECT_EQ(enabledAtStart, std::vector<bool>{false});
    EXPECT_TRUE(bookmark->isEnabled());
}

} // namespace
