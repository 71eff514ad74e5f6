#include "BookmarkMenu.h"

#include <QAction>
#include <QMenu>
#include <algorithm>

namespace marvek::browser {

namespace {
// The menu captions are fixed Japanese texts, whatever the language of the message table.
const QString kMenuCaption = QStringLiteral("BookMark");
const QString kAddCaption = QStringLiteral("ブックマークの追加");
const QString kRemoveCaption = QStringLiteral("ブックマークの削除...");
const QString kOpenCaption = QStringLiteral("ブックマーク...");
const QString kFirstRemovePlaceholder = QStringLiteral("（なし）"); // full-width parentheses
const QString kPlaceholder = QStringLiteral("(なし)");
} // namespace

BookmarkMenu::BookmarkMenu(QWidget* window) : QObject(window) {
    m_mnuBookMark = new QMenu(kMenuCaption, window);
    m_mnuBookMark->setObjectName(QStringLiteral("mnuBookMark"));
    m_addItem = m_mnuBookMark->addAction(kAddCaption);
    m_addItem->setObjectName(QStringLiteral("mnuBMark0"));
    m_removeMenu = m_mnuBookMark->addMenu(kRemoveCaption);
    m_removeMenu->setObjectName(QStringLiteral("mnuBMarkRemove"));
    m_openMenu = m_mnuBookMark->addMenu(kOpenCaption);
    m_openMenu->setObjectName(QStringLiteral("mnuBMarkBMark"));

    // A new window starts with one placeholder in each submenu; choosing it does nothing.
    appendItem(m_removeMenu, kFirstRemovePlaceholder, QString(), false);
    appendItem(m_openMenu, kPlaceholder, QString(), false);

    connect(m_addItem, &QAction::triggered, this, [this] { mnuBMark_Click(0); });
    connect(m_removeMenu, &QMenu::triggered, this,
            [this](QAction* action) { mnuBMarkRemove_Click(indexOf(m_removeMenu, action)); });
    connect(m_openMenu, &QMenu::triggered, this,
            [this](QAction* action) { mnuBMarkBMark_Click(indexOf(m_openMenu, action)); });
}

void BookmarkMenu::PSubBMark_Add(const QString& name, int number, const QString& url) {
    m_bookmarks.emplace_back(name, url, number);
}

void BookmarkMenu::PSubBMark_Remove(int number) {
    const int index = find(number);
    if (index >= 0)
        m_bookmarks.erase(m_bookmarks.begin() + index);
}

QString BookmarkMenu::PFncBMark_GetURL(int number) const {
    const int index = find(number);
    return index >= 0 ? m_bookmarks[static_cast<size_t>(index)].URL() : QString();
}

int BookmarkMenu::nextNumber() const {
    const int count = static_cast<int>(m_bookmarks.size());
    if (find(count) < 0)
        return count;
    int number = 0;
    while (find(number) >= 0)
        ++number;
    return number;
}

int BookmarkMenu::addBookmark(const QString& name, const QString& url) {
    const int number = nextNumber();
    PSubBMark_Add(name, number, url);
    if (m_bookmarks.size() == 1) {
        // The first bookmark takes over item 0 of both submenus (the placeholders).
        m_removeMenu->clear();
        m_openMenu->clear();
    }
    // An item without a caption could not be told apart in the menu: a bookmark without a
    // title is shown by its address.
    const QString caption = name.isEmpty() ? url : name;
    appendItem(m_removeMenu, caption, QString::number(number), true);
    appendItem(m_openMenu, caption, QString::number(number), true);
    return number;
}

void BookmarkMenu::mnuBMark_Click(int index) {
    // Items 1 and 2 only open their submenus.
    if (index == 0)
        Q_EMIT addRequested();
}

void BookmarkMenu::mnuBMarkRemove_Click(int index) {
    if (const std::optional<int> number = numberAt(m_removeMenu, index)) {
        PSubBMark_Remove(*number);
        rebuildItems();
    }
}

void BookmarkMenu::mnuBMarkBMark_Click(int index) {
    if (const std::optional<int> number = numberAt(m_openMenu, index))
        Q_EMIT openRequested(PFncBMark_GetURL(*number));
}

std::optional<int> BookmarkMenu::numberAt(const QMenu* menu, int index) {
    const QList<QAction*> items = menu->actions();
    if (index < 0 || index >= items.size())
        return std::nullopt;
    const QString tag = items[index]->data().toString();
    if (tag.isEmpty()) // a placeholder
        return std::nullopt;
    return tag.toInt();
}

void BookmarkMenu::rebuildItems() {
    // Both submenus mirror the collection, in its order; an empty list leaves a disabled placeholder.
    m_removeMenu->clear();
    m_openMenu->clear();
    if (m_bookmarks.empty()) {
        appendItem(m_removeMenu, kPlaceholder, QString(), false);
        appendItem(m_openMenu, kPlaceholder, QString(), false);
        return;
    }
    for (const clsBMark& bookmark : m_bookmarks) {
        const QString caption = bookmark.Name().isEmpty() ? bookmark.URL() : bookmark.Name();
        appendItem(m_removeMenu, caption, QString::number(bookmark.Number()), true);
        appendItem(m_openMenu, caption, QString::number(bookmark.Number()), true);
    }
}

QAction* BookmarkMenu::appendItem(QMenu* menu, const QString& caption, const QString& tag, bool enabled) {
    // Menu texts treat "&" as a mnemonic marker; a page title shows as it is.
    QString text = caption;
    text.replace(QLatin1Char('&'), QStringLiteral("&&"));
    QAction* action = menu->addAction(text);
    action->setData(tag);
    action->setEnabled(enabled);
    return action;
}

int BookmarkMenu::indexOf(const QMenu* menu, const QAction* action) {
    return static_cast<int>(menu->actions().indexOf(const_cast<QAction*>(action)));
}

int BookmarkMenu::find(int number) const {
    const auto it = std::find_if(m_bookmarks.begin(), m_bookmarks.end(),
                                 [number](const clsBMark& bookmark) { return bookmark.Number() == number; });
    return it == m_bookmarks.end() ? -1 : static_cast<int>(it - m_bookmarks.begin());
}

} // namespace marvek::browser
