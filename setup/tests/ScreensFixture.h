#pragma once

#include "SetupTestFixture.h"
#include "platform/testing/ScopedEnvironment.h"
#include "setup/app/ScreenFlow.h"
#include "setup/window/FormText.h"

#include <QByteArray>
#include <QWidget>
#include <memory>
#include <vector>

namespace marvek::testing {

// The screen flow as the screen tests see it: every hand-over the screens ask for, in order
// ("menu", "agreement", "installation", "result", "closing", "end 0", "end 1").
class RecordingFlow : public setup::ScreenFlow {
public:
    void showMenu() override { calls.emplace_back("menu"); }
    void showAgreement() override { calls.emplace_back("agreement"); }
    void showInstallation() override { calls.emplace_back("installation"); }
    void showResult() override { calls.emplace_back("result"); }
    void showClosing() override { calls.emplace_back("closing"); }
    void showScreen(std::unique_ptr<QWidget> screen) override {
        calls.emplace_back("screen");
        shown = std::move(screen);
    }
    void endSetup(bool skipCleanup) override { calls.emplace_back(skipCleanup ? "end 1" : "end 0"); }

    std::vector<std::string> calls;
    std::unique_ptr<QWidget> shown;
};

// The installer on a copy of the sample CD, started on a machine of the given language ("0409",
// "0411") up to its menu; the screens hand over to a recording flow.
class ScreensFixture : public SetupFixture {
protected:
    void startIn(const char* langId) {
        ASSERT_TRUE(base.setLocale(langId));
        ASSERT_EQ(start(), setup::StartOutcome::ShowMenu) << ctx.ErrorLine1.toStdString();
    }

    QString message(int number) const { return setup::Message(ctx, number); }

    RecordingFlow flow;
};

} // namespace marvek::testing
