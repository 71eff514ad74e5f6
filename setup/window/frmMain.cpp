#include "setup/window/frmMain.h"

#include "setup/engine/InstallRun.h"
#include "setup/window/FormText.h"
#include "setup/window/frmDirectorySelect.h"
#include "shared/forms/LanguageFont.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFrame>
#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

namespace marvek::setup {

namespace {

constexpr int Timer1Interval = 1000;
constexpr int Timer2Interval = 200;
constexpr int FrameWidth = 3;

QLabel* makeLabel(QWidget* parent, const QString& name) {
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    label->setTextFormat(Qt::PlainText);
    return label;
}

QFrame* makeFrame(QWidget* parent, const QString& name) {
    auto* frame = new QFrame(parent);
    frame->setObjectName(name);
    return frame;
}

void fillBackground(QWidget* widget, const QColor& colour) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, colour);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

} // namespace

frmMain::frmMain(SetupContext& ctx, ScreenFlow& flow) : m_ctx(ctx), m_flow(flow) {
    setObjectName(QStringLiteral("frmMain"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 24, 24, 24);
    layout->setSpacing(12);
    // Each step: the coloured frame (L_STEP_BORDER_1), inside it the white second frame
    // (L_STEP_BORDER_2), inside that the step text (L_STEP).
    for (int step = 2; step <= 4; ++step) {
        QFrame* border1 = makeFrame(this, ArrayName("L_STEP_BORDER_1", step));
        QFrame* border2 = makeFrame(border1, ArrayName("L_STEP_BORDER_2", step));
        QLabel* label = makeLabel(border2, ArrayName("L_STEP", step));
        label->setMinimumWidth(440);
        fillBackground(border2, Qt::white);
        auto* outer = new QVBoxLayout(border1);
        outer->setContentsMargins(FrameWidth, FrameWidth, FrameWidth, FrameWidth);
        outer->addWidget(border2);
        auto* inner = new QVBoxLayout(border2);
        inner->setContentsMargins(12, 8, 12, 8);
        inner->addWidget(label);
        layout->addWidget(border1);
        m_steps.at(slot(step)) = label;
        m_borders1.at(slot(step)) = border1;
        m_borders2.at(slot(step)) = border2;
    }
    layout->addSpacing(8);
    for (const auto& [which, name] : {std::pair{Bar::Extract, "pgBar7zip"}, std::pair{Bar::Copy, "pgBarCopy"},
                                      std::pair{Bar::Pdf, "pgBarPdf"}}) {
        auto* bar = new QProgressBar(this);
        bar->setObjectName(QLatin1String(name));
        bar->setTextVisible(false);
        layout->addWidget(bar);
        m_bars.at(static_cast<size_t>(which)) = bar;
    }
    layout->addStretch(1);
    setMinimumHeight(360);

    m_timer1.setObjectName(QStringLiteral("Timer1"));
    m_timer2.setObjectName(QStringLiteral("Timer2"));
    connect(&m_timer1, &QTimer::timeout, this, &frmMain::Timer1_Timer);
    connect(&m_timer2, &QTimer::timeout, this, &frmMain::Timer2_Timer);

    Form_Load();
}

frmMain::~frmMain() {
    setMousePointer(DefaultPointer);
}

void frmMain::Form_Load() {
    const QString& language = m_ctx.shared.LanguageCode;
    const int size = language == QLatin1String("11") ? 11 : 10;
    for (int step = 2; step <= 4; ++step) {
        for (QWidget* label :
             {static_cast<QWidget*>(L_STEP(step)), static_cast<QWidget*>(L_STEP_BORDER_1(step)),
              static_cast<QWidget*>(L_STEP_BORDER_2(step))})
            shared::ApplyLanguageFont(*label, language, size);
    }
    const QString caption = Message(m_ctx, 34);
    setWindowTitle(caption);
    m_ctx.shared.AppTitle = caption;
    for (int step = 2; step <= 4; ++step) {
        L_STEP(step)->setText(Message(m_ctx, InitialStepMessage(step)));
        setFrameColour(step, StepFrameInitial);
    }
    m_ctx.ErrorLine1.clear();
    m_ctx.ErrorLine2.clear();
    for (ProgressBarState& state : m_barStates) {
        state.Visible = false;
        state.Enabled = false;
    }
    applyBars();
    m_timer1.setInterval(Timer1Interval);
    m_timer1.start();
    m_timer2.setInterval(Timer2Interval);
    m_timer2.start();
}

void frmMain::showEvent(QShowEvent* event) {
    m_ctx.os().ui().setOwner(this);
    QWidget::showEvent(event);
    if (!m_activated) {
        m_activated = true;
        // The run starts once the window is on the screen.
        QTimer::singleShot(0, this, &frmMain::Form_Activate);
    }
}

void frmMain::Form_Activate() {
    RunFirstActivation(m_ctx, *this);
    m_flow.showResult();
}

void frmMain::closeEvent(QCloseEvent* event) {
    event->ignore();
}

void frmMain::Timer1_Timer() {
    Timer1Tick(bar(Bar::Extract), m_ctx.shared.systemParameters.ZIP_ExtractTime);
    applyBars();
}

void frmMain::Timer2_Timer() {
    Timer2Tick(bar(Bar::Pdf), m_ctx.shared.systemParameters.ZIP_ExtractTime);
    repaint();
}

void frmMain::showStep(int step, const QString& text, bool bold, quint32 frameColour) {
    if (step < 2 || step > 4)
        return;
    QLabel* label = L_STEP(step);
    QFont font = label->font();
    font.setBold(bold);
    label->setFont(font);
    label->setText(text);
    setFrameColour(step, frameColour);
}

void frmMain::repaint() {
    applyBars();
    QWidget::repaint();
}

void frmMain::setMousePointer(int pointer) {
    const bool hourglass = pointer == Hourglass;
    if (hourglass == m_hourglass)
        return;
    m_hourglass = hourglass;
    if (hourglass)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

void frmMain::showFolderScreen() {
    frmDirectorySelect screen(m_ctx, this);
    // The screen waits for the user: the normal pointer over it.
    if (m_hourglass)
        QApplication::setOverrideCursor(Qt::ArrowCursor);
    if (screen.exec() != QDialog::Accepted)
        m_ctx.InstallBase.clear();
    if (m_hourglass)
        QApplication::restoreOverrideCursor();
    m_ctx.os().ui().setOwner(this);
}

quint32 frmMain::frameColour(int step) const {
    return m_frameColours.at(slot(step));
}

void frmMain::setFrameColour(int step, quint32 bgr) {
    m_frameColours.at(slot(step)) = bgr;
    fillBackground(L_STEP_BORDER_1(step), ColourFromBgr(bgr));
}

void frmMain::applyBars() {
    for (size_t i = 0; i < m_bars.size(); ++i) {
        const ProgressBarState& state = m_barStates.at(i);
        QProgressBar* bar = m_bars.at(i);
        bar->setRange(state.Min, std::max(state.Min, state.Max));
        bar->setValue(std::clamp(state.Value, state.Min, std::max(state.Min, state.Max)));
        bar->setEnabled(state.Enabled);
        bar->setVisible(state.Visible);
    }
}

} // namespace marvek::setup
