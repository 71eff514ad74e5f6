#include "setup/app/SetupScreens.h"

#include "setup/engine/Startup.h"
#include "setup/window/frmMain.h"
#include "setup/window/frmMenu.h"
#include "setup/window/frmStartUp.h"
#include "setup/window/frmTarm.h"

namespace marvek::setup {

SetupScreens::SetupScreens(SetupContext& ctx, OpenResultScreen openResult, std::function<void()> onEnd)
    : m_ctx(ctx), m_openResult(std::move(openResult)), m_onEnd(std::move(onEnd)) {
}

SetupScreens::~SetupScreens() {
    unloadCurrent();
    for (const QPointer<QWidget>& screen : std::as_const(m_unloaded))
        delete screen.data();
}

void SetupScreens::showMenu() {
    showScreen(std::make_unique<frmMenu>(m_ctx, *this));
}

void SetupScreens::showAgreement() {
    showScreen(std::make_unique<frmStartUp>(m_ctx, *this));
}

void SetupScreens::showInstallation() {
    showScreen(std::make_unique<frmMain>(m_ctx, *this));
}

void SetupScreens::showResult() {
    unloadCurrent();
    m_openResult(m_ctx, *this);
}

void SetupScreens::showClosing() {
    showScreen(std::make_unique<frmTarm>(m_ctx, *this));
}

void SetupScreens::showScreen(std::unique_ptr<QWidget> screen) {
    if (m_ended)
        return;
    unloadCurrent();
    m_current = screen.release();
    m_current->show();
}

void SetupScreens::endSetup(bool skipCleanup) {
    if (m_ended)
        return;
    EndSetup(m_ctx, skipCleanup);
    m_ended = true;
    unloadCurrent();
    if (m_onEnd)
        m_onEnd();
}

void SetupScreens::unloadCurrent() {
    if (m_current.isNull())
        return;
    QWidget* screen = m_current.data();
    m_current.clear();
    screen->hide();
    m_unloaded.removeIf([](const QPointer<QWidget>& p) { return p.isNull(); });
    m_unloaded.append(screen);
    screen->deleteLater();
}

} // namespace marvek::setup
