// Bookmarks: the collection and its two submenus, the numbers, and adding and opening bookmarks on
// real pages (the frame named "mainFrame" depth first, commas in addresses and titles kept).

#include "browser/window/BookmarkMenu.h"
#include "browser_fixture.h"

#include <QAction>
#include <QMenu>
#include <QSignalSpy>

namespace marvek::browser::browsertest {
namespace {

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
    EXPECT_EQ(menu.mnuBookMark()->title(), u"BookMark"_s);
    EXPECT_EQ(items(menu.mnuBookMark()),
              (QStringList{u"ブックマークの追加|"_s, u"ブックマークの削除...|"_s, u"ブックマーク...|"_s}));
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

TEST_F(WindowBookmarks, NestedMainFrameIsFoundDepthFirst) {
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

TEST_F(WindowBookmarks, PlainPagesAndFramesWithoutAMainFrameAreBookmarkedAsThemselves) {
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

} // namespace
} // namespace marvek::browser::browsertest
