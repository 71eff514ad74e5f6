#pragma once

#include "clsBMark.h"

#include <QObject>
#include <QString>
#include <optional>
#include <vector>

class QAction;
class QMenu;
class QWidget;

namespace marvek::browser {

// The bookmarks of one browser window (mcolBMark) and the pop-up menu that shows them: mnuBookMark
// with "add" (mnuBMark item 0), the remove submenu (mnuBMarkRemove items) and the open submenu
// (mnuBMarkBMark items). Item k of both submenus belongs to the k-th bookmark; its tag (the
// action's data) is the bookmark's number in decimal, empty for a placeholder. The list lives in
// memory only and ends with the window.
class BookmarkMenu : public QObject {
    Q_OBJECT

public:
    explicit BookmarkMenu(QWidget* window);

    QMenu* mnuBookMark() const { return m_mnuBookMark; }
    QAction* addItem() const { return m_addItem; }
    QMenu* removeMenu() const { return m_removeMenu; }
    QMenu* openMenu() const { return m_openMenu; }

    // The collection, keyed "KEY:" & number, in the order of adding.
    static QString key(int number) { return QStringLiteral("KEY:") + QString::number(number); }
    void PSubBMark_Add(const QString& name, int number, const QString& url);
    void PSubBMark_Remove(int number);
    QString PFncBMark_GetURL(int number) const;
    const std::vector<clsBMark>& mcolBMark() const { return m_bookmarks; }

    // Adds a bookmark for the page found by the window (steps after the location is known):
    // chooses a number, appends the bookmark and its two menu items. Returns the number.
    int addBookmark(const QString& name, const QString& url);

    // Menu clicks by index, as the user makes them.
    void mnuBMark_Click(int index);
    void mnuBMarkRemove_Click(int index);
    void mnuBMarkBMark_Click(int index);

    // The number a new bookmark gets: the count of bookmarks held, unless a remaining bookmark
    // already has it; then the lowest number no bookmark has.
    int nextNumber() const;

Q_SIGNALS:
    // "Add" was chosen: the window finds the page's location and calls addBookmark.
    void addRequested();
    // A bookmark was chosen: the window navigates to its address.
    void openRequested(const QString& url);

private:
    void rebuildItems();
    QAction* appendItem(QMenu* menu, const QString& caption, const QString& tag, bool enabled);
    static int indexOf(const QMenu* menu, const QAction* action);
    // The number in the tag of item index of a submenu; nothing for a placeholder or no such item.
    static std::optional<int> numberAt(const QMenu* menu, int index);
    int find(int number) const;

    QMenu* m_mnuBookMark = nullptr;
    QAction* m_addItem = nullptr;
    QMenu* m_removeMenu = nullptr;
    QMenu* m_openMenu = nullptr;
    std::vector<clsBMark> m_bookmarks;
};

} // namespace marvek::browser
