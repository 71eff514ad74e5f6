#pragma once

#include "setup/app/ScreenFlow.h"

#include <QList>
#include <QPointer>
#include <QWidget>
#include <memory>

namespace marvek::setup {

// The program's screens: one top-level screen at a time, made when the flow moves to it. The screen
// that hands over is hidden at once and deleted once the event handler that handed over has returned;
// what is left is deleted with this object.
class SetupScreens : public ScreenFlow {
public:
    // openResult: the result screen (ShowResultForm). onEnd runs after
    // EndSetup and the last screen has unloaded (the program quits its event loop there).
    SetupScreens(SetupContext& ctx, OpenResultScreen openResult, std::function<void()> onEnd);
    ~SetupScreens() override;
    SetupScreens(const SetupScreens&) = delete;
    SetupScreens& operator=(const SetupScreens&) = delete;

    void showMenu() override;
    void showAgreement() override;
    void showInstallation() override;
    void showResult() override;
    void showClosing() override;
    void showScreen(std::unique_ptr<QWidget> screen) override;
    void endSetup(bool skipCleanup) override;

    // True once endSetup has run.
    bool ended() const { return m_ended; }
    // The screen shown now (null once the program has ended).
    QWidget* current() const { return m_current.data(); }

private:
    void unloadCurrent();

    SetupContext& m_ctx;
    OpenResultScreen m_openResult;
    std::function<void()> m_onEnd;
    QPointer<QWidget> m_current;
    QList<QPointer<QWidget>> m_unloaded; // deleted later; what is left, with this object
    bool m_ended = false;
};

} // namespace marvek::setup
