#pragma once

#include "manager/app/ManagerSearch.h"
#include "shared/search/SearchTexts.h"

#include <QTimer>
#include <QWidget>

class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;

namespace marvek::manager {

// The search beside the manual list: a field, the hits as one types (after a short pause), a progress
// bar while manuals are indexed first. Enter or a double click opens the hit in the browser; Enter in the
// field or the list stays with the hits (the window's Enter-moves-on rule is not for them).
class SearchPanel : public QWidget {
    Q_OBJECT
public:
    SearchPanel(ManagerContext& ctx, QWidget* parent = nullptr);

    QLineEdit* T_Search() const { return m_field; }
    QListWidget* L_Hits() const { return m_hits; }
    const std::vector<search::SearchHit>& hits() const { return m_found; }
    // Runs the search now (the pause's end).
    void searchNow();
    // After a delete job: the manual's hits go.
    void forget(const QString& pubNo);

    static constexpr int PauseMs = 250;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void show(const std::vector<search::SearchHit>& hits);
    bool openCurrent();
    void enterPressed(bool inField);

    ManagerContext& m_ctx;
    ManagerSearch m_search;
    search::SearchTexts m_texts;
    QLineEdit* m_field = nullptr;
    QListWidget* m_hits = nullptr;
    QProgressBar* m_progress = nullptr;
    QLabel* m_status = nullptr;
    QTimer m_pause;
    std::vector<search::SearchHit> m_found;
};

} // namespace marvek::manager
