// The installation window during a run on a copy of the sample CD: its step labels and frame colours,
// the pointer, the hand-over to the result screen, and the progress bars' timer rules.
#include "ScreensFixture.h"
#include "platform/ScreenScript.h"
#include "setup/window/frmMain.h"

#include <QApplication>
#include <QCursor>
#include <QLabel>
#include <QProgressBar>
#include <QTest>

using namespace marvek;
using namespace marvek::testing;

namespace {

// What one step label shows.
struct StepState {
    QString text;
    bool bold = false;
    quint32 frame = 0;

    friend bool operator==(const StepState&, const StepState&) = default;
};

class InstallationWindowTest : public ScreensFixture {
protected:
    StepState stepState(int step, int offset, bool bold, quint32 frame) const {
        return {message(9 + (step - 2) * 3 + offset), bold, frame};
    }
    StepState initial(int step) const { return stepState(step, 0, false, setup::StepFrameInitial); }
    StepState running(int step) const { return stepState(step, 1, true, setup::StepFrameRunning); }
    StepState done(int step) const { return stepState(step, 2, false, setup::StepFrameDone); }
    static StepState shown(const setup::frmMain& window, int step) {
        return {window.L_STEP(step)->text(), window.L_STEP(step)->font().bold(), window.frameColour(step)};
    }

    // Runs the window's first activation to its hand-over, answering every folder screen with OK.
    // Returns, per step, the distinct states the labels showed whenever the engine waited.
    std::map<int, std::vector<StepState>> runWindow(setup::frmMain& window) {
        std::map<int, std::vector<StepState>> seen;
        clock().onSleep = [&] {
            for (int step = 2; step <= 4; ++step) {
                const StepState state = shown(window, step);
                // The frame shows the colour the state names, converted from blue-green-red.
                EXPECT_EQ(window.L_STEP_BORDER_1(step)->palette().color(QPalette::Window),
                          setup::ColourFromBgr(state.frame));
                std::vector<StepState>& states = seen[step];
                if (states.empty() || !(states.back() == state))
                    states.push_back(state);
            }
            const QCursor* pointer = QApplication::overrideCursor();
            EXPECT_TRUE(pointer != nullptr && pointer->shape() == Qt::WaitCursor);
        };
        const platform::ScreenScript answers(
            {{QStringLiteral("frmDirectorySelect"), QStringLiteral("B_OK"), true}}, {}, {});
        window.show();
        EXPECT_TRUE(QTest::qWaitFor([this] { return !flow.calls.empty(); }, 60000));
        clock().onSleep = nullptr;
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
        EXPECT_EQ(flow.calls, std::vector<std::string>{"result"});
        return seen;
    }
};

TEST_F(InstallationWindowTest, StepLabelsDuringASuccessfulRun) {
    startIn("0409");
    ctx.ErrorLine1 = QStringLiteral("left over");
    setup::frmMain window(ctx, flow);
    EXPECT_TRUE(ctx.ErrorLine1.isEmpty());
    EXPECT_EQ(setup::ColourFromBgr(setup::StepFrameInitial), QColor(0, 0, 255));
    EXPECT_EQ(setup::ColourFromBgr(setup::StepFrameRunning), QColor(255, 0, 0));
    EXPECT_EQ(setup::ColourFromBgr(setup::StepFrameDone), QColor(0x40, 0x40, 0x40));

    std::map<int, std::vector<StepState>> seen = runWindow(window);
    EXPECT_TRUE(ctx.InstallSucceeded) << ctx.ErrorLine1.toStdString();
    // Each step went from its initial text through running to done, never back.
    for (int step = 2; step <= 4; ++step) {
        SCOPED_TRACE(step);
        std::vector<StepState> expected{initial(step), running(step), done(step)};
        const std::vector<StepState>& states = seen[step];
        auto next = expected.begin();
        for (const StepState& state : states) {
            next = std::find(next, expected.end(), state);
            ASSERT_NE(next, expected.end()) << state.text.toStdString();
        }
        EXPECT_EQ(states.back(), done(step));
    }
    // The survey and the installation wait while they show as running.
    EXPECT_NE(std::find(seen[3].begin(), seen[3].end(), running(3)), seen[3].end());
    EXPECT_NE(std::find(seen[4].begin(), seen[4].end(), running(4)), seen[4].end());
    for (setup::Bar which : {setup::Bar::Extract, setup::Bar::Copy, setup::Bar::Pdf})
        EXPECT_TRUE(window.progressBar(which)->isHidden());
}

TEST_F(InstallationWindowTest, AFailedStepStaysRunning) {
    startIn("0411");
    setCdValue(QStringLiteral("NCF00EN"), QStringLiteral("Model_desc"), QString(60, QLatin1Char('x')));
    setup::frmMain window(ctx, flow);
    runWindow(window);
    EXPECT_FALSE(ctx.InstallSucceeded);
    EXPECT_EQ(shown(window, 2), done(2));
    EXPECT_EQ(shown(window, 3), running(3));
    EXPECT_EQ(shown(window, 4), initial(4));
}

// Timer1 moves an enabled extraction bar on by 1 up to ZIP_ExtractTime, Timer2 the PDF bar by 5; neither
// goes past the bar's maximum, a disabled bar stays.
TEST_F(InstallationWindowTest, BarTimers) {
    startIn("0409");
    ASSERT_EQ(ctx.shared.systemParameters.ZIP_ExtractTime, 60);
    setup::frmMain window(ctx, flow); // not shown: no run
    EXPECT_EQ(window.Timer1().interval(), 1000);
    EXPECT_EQ(window.Timer2().interval(), 200);
    EXPECT_TRUE(window.Timer1().isActive() && window.Timer2().isActive());
    for (setup::Bar which : {setup::Bar::Extract, setup::Bar::Copy, setup::Bar::Pdf}) {
        EXPECT_TRUE(window.progressBar(which)->isHidden());
        EXPECT_FALSE(window.progressBar(which)->isEnabled());
    }

    struct Case {
        setup::Bar bar;
        qint32 zipExtractTime;
        setup::ProgressBarState start;
        int ticks;
        qint32 expected;
    };
    const Case cases[] = {
        {setup::Bar::Extract, 60, {0, 60, 0, true, true}, 60, 60}, // full after ZIP_ExtractTime ticks
        {setup::Bar::Extract, 60, {0, 60, 0, true, true}, 75, 60}, // and no further
        {setup::Bar::Extract, 60, {0, 30, 0, true, true}, 60, 30}, // never past the maximum
        {setup::Bar::Extract, 60, {0, 60, 0, true, false}, 10, 0}, // disabled: no move
        {setup::Bar::Pdf, 60, {0, 60, 0, true, true}, 12, 60},     // 5 a tick
        {setup::Bar::Pdf, 60, {0, 60, 0, true, true}, 20, 60},
        {setup::Bar::Pdf, 62, {0, 62, 0, true, true}, 20, 62},  // the last step cut at the maximum
        {setup::Bar::Pdf, 60, {0, 100, 58, true, true}, 3, 63}, // below the limit: one more step
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.bar) * 1000 + c.ticks);
        ctx.shared.systemParameters.ZIP_ExtractTime = c.zipExtractTime;
        window.bar(c.bar) = c.start;
        QTimer& timer = c.bar == setup::Bar::Pdf ? window.Timer2() : window.Timer1();
        QTimer& other = c.bar == setup::Bar::Pdf ? window.Timer1() : window.Timer2();
        other.stop();
        int ticks = 0;
        const QMetaObject::Connection counting = QObject::connect(&timer, &QTimer::timeout, [&] {
            if (++ticks == c.ticks)
                timer.stop();
        });
        timer.start(1);
        EXPECT_TRUE(QTest::qWaitFor([&] { return !timer.isActive(); }, 10000));
        QObject::disconnect(counting);
        EXPECT_EQ(window.bar(c.bar).Value, c.expected);
        EXPECT_EQ(window.progressBar(c.bar)->value(), c.expected);
        EXPECT_EQ(window.progressBar(c.bar)->isEnabled(), c.start.Enabled);
        EXPECT_FALSE(window.progressBar(c.bar)->isHidden());
        window.bar(c.bar) = {};
    }
}

} // namespace
