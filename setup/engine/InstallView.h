#pragma once

#include "setup/engine/SetupContext.h"

#include <QString>
#include <QtGlobal>

namespace marvek::setup {

// One progress bar of the installation window as the flows set it.
struct ProgressBarState {
    qint32 Min = 0;
    qint32 Max = 100;
    qint32 Value = 0;
    bool Visible = false;
    bool Enabled = false;

    friend bool operator==(const ProgressBarState&, const ProgressBarState&) = default;
};

// The three bars: archive extraction (pgBar7zip), file copying (pgBarCopy), PDF copying (pgBarPdf).
enum class Bar { Extract, Copy, Pdf };

// Mouse pointers the flows set: the hourglass while they work, the default otherwise.
inline constexpr int DefaultPointer = 0;
inline constexpr int Hourglass = 11;

// The installation window (frmMain) and the folder screen it opens, as the flows see them. The form
// implements it; tests record what the flows asked.
class InstallView {
public:
    virtual ~InstallView() = default;
    // Shows step label n (2, 3 or 4) with its text, weight and frame colour (a blue-green-red value).
    virtual void showStep(int step, const QString& text, bool bold, quint32 frameColour) = 0;
    virtual ProgressBarState& bar(Bar which) = 0;
    // Shows the current bar states and labels at once.
    virtual void repaint() = 0;
    virtual void setMousePointer(int pointer) = 0;
    // The folder screen, modal. On return ctx.InstallBase holds the chosen folder, or is empty when the
    // user cancelled the run.
    virtual void showFolderScreen() = 0;
};

// Frame colours of the step labels.
inline constexpr quint32 StepFrameInitial = 0xFF0000; // blue
inline constexpr quint32 StepFrameRunning = 0x0000FF; // red
inline constexpr quint32 StepFrameDone = 0x404040;    // dark grey

// The steps' texts: step 2 uses M009 (initial), M010 (running), M011 (done); step 3 M012-M014; step 4
// M015-M017.
int InitialStepMessage(int step);
void MarkStepRunning(SetupContext& ctx, InstallView& view, int step);
void MarkStepDone(SetupContext& ctx, InstallView& view, int step);

// Hides and disables the three bars and repaints.
void HideProgressBars(InstallView& view);

// The two timers' work on the bars (Timer1 every second on the extraction bar, Timer2 every 200 ms on
// the PDF bar): an enabled bar below ZIP_ExtractTime moves on by 1 (Timer1) or 5 (Timer2), never past
// its maximum. The caller lets pending events run afterwards.
void Timer1Tick(ProgressBarState& extractBar, qint32 zipExtractTime);
void Timer2Tick(ProgressBarState& pdfBar, qint32 zipExtractTime);

} // namespace marvek::setup
