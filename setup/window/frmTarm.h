#pragma once

#include "setup/app/ScreenFlow.h"

#include <QWidget>

class QLabel;
class QPushButton;

namespace marvek::setup {

// The closing screen after a completed installation; its button ends the program.
class frmTarm : public QWidget {
    Q_OBJECT

public:
    frmTarm(SetupContext& ctx, ScreenFlow& flow);

    QLabel* L_TarmMsg() const { return m_message; }
    QPushButton* B_END() const { return m_end; }

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    SetupContext& m_ctx;
    ScreenFlow& m_flow;
    QLabel* m_message = nullptr;
    QPushButton* m_end = nullptr;
};

} // namespace marvek::setup
