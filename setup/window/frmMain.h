#pragma once

#include "setup/app/ScreenFlow.h"
#include "setup/engine/InstallView.h"

#include <QTimer>
#include <QWidget>
#include <array>

class QFrame;
class QLabel;
class QProgressBar;

namespace marvek::setup {

// The installation window: on its first activation it runs the whole installation, showing the
// running step and the progress bars, then hands over to the result screen and unloads. The engine
// lets events run while it works, so the window repaints and its timers tick; the pointer is the
// hourglass meanwhile. Its close box does nothing: the run cannot be left half done.
class frmMain : public QWidget, public InstallView {
    Q_OBJECT

public:
    frmMain(SetupContext& ctx, ScreenFlow& flow);
    ~frmMain() override;

    // Step labels 2, 3 and 4 with their frames.
    QLabel* L_STEP(int step) const { return m_steps.at(slot(step)); }
    // The frames are plain frames: they hold the step text and show the colour.
    QFrame* L_STEP_BORDER_1(int step) const { return m_borders1.at(slot(step)); }
    QFrame* L_STEP_BORDER_2(int step) const { return m_borders2.at(slot(step)); }
    QProgressBar* progressBar(Bar which) const { return m_bars.at(static_cast<size_t>(which)); }
    QTimer& Timer1() { return m_timer1; }
    QTimer& Timer2() { return m_timer2; }

    // InstallView
    void showStep(int step, const QString& text, bool bold, quint32 frameColour) override;
    ProgressBarState& bar(Bar which) override { return m_barStates.at(static_cast<size_t>(which)); }
    void repaint() override;
    void setMousePointer(int pointer) override;
    void showFolderScreen() override;

    // The frame colour a step label shows, as a blue-green-red value.
    quint32 frameColour(int step) const;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    static size_t slot(int step) { return static_cast<size_t>(step - 2); }
    void Form_Load();
    void Form_Activate();
    void Timer1_Timer();
    void Timer2_Timer();
    void setFrameColour(int step, quint32 bgr);
    // Shows the bar states on the bars.
    void applyBars();

    SetupContext& m_ctx;
    ScreenFlow& m_flow;
    bool m_activated = false;
    bool m_hourglass = false;
    std::array<QLabel*, 3> m_steps{};
    std::array<QFrame*, 3> m_borders1{};
    std::array<QFrame*, 3> m_borders2{};
    std::array<quint32, 3> m_frameColours{};
    std::array<QProgressBar*, 3> m_bars{};
    std::array<ProgressBarState, 3> m_barStates{};
    QTimer m_timer1;
    QTimer m_timer2;
};

} // namespace marvek::setup
