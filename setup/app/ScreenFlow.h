#pragma once

#include "setup/engine/SetupContext.h"

#include <functional>
#include <memory>

class QWidget;

namespace marvek::setup {

// Where the installer's screens go next. The program implements it over its windows; each screen gets
// it when it is made and asks it for the screen that follows. A screen that hands over is unloaded
// (hidden at once, deleted once its event handler has returned).
class ScreenFlow {
public:
    virtual ~ScreenFlow() = default;
    virtual void showMenu() = 0;         // frmMenu
    virtual void showAgreement() = 0;    // frmStartUp
    virtual void showInstallation() = 0; // frmMain
    // The result screen: after the installation run, and in the start routine's error form.
    virtual void showResult() = 0;
    virtual void showClosing() = 0; // frmTarm
    // Shows a screen the flow does not make itself (the result screen) in place of the current one;
    // the flow owns it from then on.
    virtual void showScreen(std::unique_ptr<QWidget> screen) = 0;
    // EndSetup(skipCleanup), then every screen unloads and the program ends.
    virtual void endSetup(bool skipCleanup) = 0;
};

// The seam of the result screen: opens it for the run in ctx (ErrorLine1, ErrorLine2,
// InstallSucceeded, CancelRequested, the manual table). From then on the result screen leads: it ends
// with FinishResult (setup/engine/ResultList.h). A window passes itself to flow.showScreen.
using OpenResultScreen = std::function<void(SetupContext& ctx, ScreenFlow& flow)>;

} // namespace marvek::setup
