#pragma once

#include "setup/app/ScreenFlow.h"

#include <QWidget>

class QLabel;
class QPushButton;

namespace marvek::setup {

// The main menu: the installation guide, the installation, the CD's manuals.
class frmMenu : public QWidget {
    Q_OBJECT

public:
    frmMenu(SetupContext& ctx, ScreenFlow& flow);

    QLabel* lblTitle() const { return m_lblTitle; }
    QPushButton* cmdDispManual() const { return m_cmdDispManual; }
    QPushButton* cmdStartInstall() const { return m_cmdStartInstall; }
    QPushButton* cmdBrowseManual() const { return m_cmdBrowseManual; }

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void Form_Load();
    void cmdDispManual_Click();
    void cmdStartInstall_Click();
    void cmdBrowseManual_Click();

    SetupContext& m_ctx;
    ScreenFlow& m_flow;
    QLabel* m_lblTitle = nullptr;
    QPushButton* m_cmdDispManual = nullptr;
    QPushButton* m_cmdStartInstall = nullptr;
    QPushButton* m_cmdBrowseManual = nullptr;
};

} // namespace marvek::setup
