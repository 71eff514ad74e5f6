#pragma once

#include "manager/app/ManagerActions.h"
#include "manager/app/ManagerContext.h"
#include "manager/window/ManagerListing.h"
#include "shared/grid/clsSpread.h"

#include <QWidget>
#include <functional>
#include <future>
#include <memory>
#include <optional>

class QLabel;
class QLineEdit;
class QPushButton;

namespace marvek::shared {
class vaSpread;
}

namespace marvek::manager {

class SearchPanel;

// The manager's only window: the installed manuals in a grid, opening, deleting and checking them,
// and a memo per manual. Every control is wired to the actions of manager/app.
class frmMmpMain : public QWidget {
    Q_OBJECT

public:
    // onEnd runs after EndManager when the window ends the program. firstList, when given, is the
    // manual list being read meanwhile (LoadManagerList on another thread): the window touches the
    // database only after taking it.
    frmMmpMain(ManagerContext& ctx, std::function<void()> onEnd, std::future<ManagerList> firstList = {});

    // Load: false when the list could not be read ("MDB READ ERROR" was shown and the program ended).
    bool loaded() const { return m_loaded; }

    shared::vaSpread* grid() const { return m_grid; }
    QLineEdit* T_Memo() const { return m_memo; }
    QLineEdit* T_Filter() const { return m_filter; }
    SearchPanel* searchPanel() const { return m_search; }
    QPushButton* button(const char* name) const;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    bool LoadManualGrid(ManagerList rows);
    void fillGrid();
    void applyFilter();
    void enableForShownRows();
    void sortBy(int column);
    void SelectFirstManual();
    void selectRow(int row);
    void DisableManualButtons();
    void ShowRowFlagged();
    void refresh();
    void display();
    void deleteManual();
    void checkManuals();
    void runJob(int mode);
    QString cell(int col, int row) const;
    void end();

    ManagerContext& m_ctx;
    std::function<void()> m_onEnd;
    shared::clsSpread m_spread;
    qint16 m_gridNumber = 0;
    int m_currentRow = 1;
    QLabel* m_mainTitle = nullptr;
    QLabel* m_memoTitle = nullptr;
    QLineEdit* m_memo = nullptr;
    QLineEdit* m_filter = nullptr;
    SearchPanel* m_search = nullptr;
    // The rows read (a mark makes new ones, as a listing may still read the old ones) and their order
    // after the sorts by column header.
    std::shared_ptr<const ManagerRows> m_rows = std::make_shared<ManagerRows>();
    std::vector<size_t> m_order;
    std::shared_ptr<const ManagerListing> m_listing; // what the grid lists
    // Every manual's memo, for the filter: read on the first filtering after a load or a memo change.
    std::optional<QHash<QString, QString>> m_memos;
    WindowLayout m_savedLayout; // as read at the start: written back only when it changed
    int m_sortColumn = -1;
    bool m_sortDescending = false;
    shared::vaSpread* m_grid = nullptr;
    QPushButton* m_display = nullptr;
    QPushButton* m_delete = nullptr;
    QPushButton* m_check = nullptr;
    QPushButton* m_memoUpdate = nullptr;
    QPushButton* m_end = nullptr;
    bool m_loaded = false;
    bool m_ended = false;
};

} // namespace marvek::manager
