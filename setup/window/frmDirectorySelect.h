#pragma once

#include "setup/engine/FolderSelect.h"

#include <QDialog>
#include <array>

class QGroupBox;
class QLabel;
class QPushButton;

namespace marvek::setup {

// The install-folder screen, modal: the manual, the folder it goes into, change / OK / cancel. The
// close box and Escape ask the cancel question as B_Cancel does. exec() answers Accepted when the
// folder was taken (ctx.InstallBase) and Rejected when the run was cancelled (InstallBase empty).
class frmDirectorySelect : public QDialog {
    Q_OBJECT

public:
    frmDirectorySelect(SetupContext& ctx, QWidget* parent = nullptr);

    QLabel* L_Name() const { return m_name; }
    QLabel* L_Msg(int index) const { return m_msg.at(static_cast<size_t>(index)); }
    QLabel* L_InstalPath() const { return m_installPath; }
    QGroupBox* Frame1() const { return m_frame; }
    QPushButton* B_CHANGE() const { return m_change; }
    QPushButton* B_OK() const { return m_ok; }
    QPushButton* B_Cancel() const { return m_cancel; }

public Q_SLOTS:
    // B_Cancel, the close box and Escape.
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void B_CHANGE_Click();
    void B_OK_Click();

    SetupContext& m_ctx;
    FolderScreen m_screen;
    bool m_activated = false;
    QLabel* m_name = nullptr;
    std::array<QLabel*, 3> m_msg{};
    QLabel* m_label1 = nullptr;
    QGroupBox* m_frame = nullptr;
    QLabel* m_installPath = nullptr;
    QPushButton* m_change = nullptr;
    QPushButton* m_ok = nullptr;
    QPushButton* m_cancel = nullptr;
};

} // namespace marvek::setup
