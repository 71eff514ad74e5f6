#pragma once

#include "setup/app/ScreenFlow.h"
#include "setup/engine/SetupContext.h"
#include "shared/grid/clsSpread.h"

#include <QWidget>
#include <array>

class QLabel;
class QPushButton;

namespace marvek::shared {
class vaSpread;
}

namespace marvek::setup {

// The result screen: the manuals the run processed, in display order, with their outcome, and the two
// message lines. Its button finishes the installation (scratch folder, repair, closing screen) or,
// after a run that neither succeeded nor was cancelled, ends the program with the clean-up.
class frmResult : public QWidget {
    Q_OBJECT

public:
    frmResult(SetupContext& ctx, ScreenFlow& flow);

    QLabel* L_NormalMsg() const { return m_normal; }
    QLabel* L_ErrorMsg(int index) const { return m_errors.at(static_cast<size_t>(index - 1)); }
    shared::vaSpread* grid() const { return m_grid; }
    QPushButton* B_END() const { return m_end; }

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void fillGrid();
    void finish();

    SetupContext& m_ctx;
    ScreenFlow& m_flow;
    shared::clsSpread m_spread;
    qint16 m_gridNumber = 0;
    QLabel* m_normal = nullptr;
    std::array<QLabel*, 2> m_errors{};
    shared::vaSpread* m_grid = nullptr;
    QPushButton* m_end = nullptr;
    bool m_firstActivation = true;
    bool m_finishing = false;
};

// The result screen for the program's screen flow.
void ShowResultForm(SetupContext& ctx, ScreenFlow& flow);

} // namespace marvek::setup
