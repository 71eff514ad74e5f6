#include "setup/engine/InstallView.h"

#include "shared/config/Messages.h"

#include <algorithm>

namespace marvek::setup {

namespace {

const QString MessageSection = QStringLiteral("MESSAGE");

int stepBase(int step) {
    return 9 + (step - 2) * 3;
}

void showStepState(SetupContext& ctx, InstallView& view, int step, int offset, bool bold, quint32 frame) {
    view.showStep(step, shared::GetMessage(ctx.shared, MessageSection, stepBase(step) + offset), bold, frame);
}

void advance(ProgressBarState& bar, qint32 limit, qint32 step) {
    if (bar.Enabled && bar.Value < limit)
        bar.Value = std::min(bar.Value + step, std::max(bar.Max, bar.Value));
}

} // namespace

int InitialStepMessage(int step) {
    return stepBase(step);
}

void MarkStepRunning(SetupContext& ctx, InstallView& view, int step) {
    showStepState(ctx, view, step, 1, true, StepFrameRunning);
    ctx.os().clock().processEvents();
}

void MarkStepDone(SetupContext& ctx, InstallView& view, int step) {
    showStepState(ctx, view, step, 2, false, StepFrameDone);
}

void HideProgressBars(InstallView& view) {
    for (const Bar which : {Bar::Extract, Bar::Copy, Bar::Pdf}) {
        ProgressBarState& bar = view.bar(which);
        bar.Visible = false;
        bar.Enabled = false;
    }
    view.repaint();
}

void Timer1Tick(ProgressBarState& extractBar, qint32 zipExtractTime) {
    advance(extractBar, zipExtractTime, 1);
}

void Timer2Tick(ProgressBarState& pdfBar, qint32 zipExtractTime) {
    advance(pdfBar, zipExtractTime, 5);
}

} // namespace marvek::setup
