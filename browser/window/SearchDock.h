#pragma once

#include "shared/search/SearchIndex.h"
#include "shared/search/SearchTexts.h"

#include <QDockWidget>
#include <QTimer>
#include <memory>

class QLabel;
class QLineEdit;
class QListWidget;

namespace marvek::platform {
class Platform;
}
namespace marvek::search {
class ManualSearch;
}

namespace marvek::browser {

// "Search all manuals" in the browser window (Ctrl+Shift+F): a field and the hits as one types, in a
// side panel. Activating a hit asks the window to show its page (a PDF at its page).
class SearchDock : public QDockWidget {
    Q_OBJECT
public:
    SearchDock(platform::Platform& os, const QString& languageCode, QWidget* parent = nullptr);
    ~SearchDock() override;

    QLineEdit* field() const { return m_field; }
    QListWidget* list() const { return m_list; }
    // Shows the panel with the field focused.
    void open();
    void searchNow();

    static constexpr int PauseMs = 250;

Q_SIGNALS:
    // The page to show: a Windows path, with "#page=N" for a PDF page.
    void pageChosen(const QString& page);

private:
    void choose();

    platform::Platform& m_os;
    search::SearchTexts m_texts;
    QString m_databasePath;
    std::unique_ptr<search::ManualSearch> m_search;
    QLineEdit* m_field = nullptr;
    QLabel* m_status = nullptr;
    QListWidget* m_list = nullptr;
    QTimer m_pause;
    std::vector<search::SearchHit> m_hits;
};

} // namespace marvek::browser
