#pragma once

#include "browser_setup/app/PagosetContext.h"

#include <QDialog>
#include <array>

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;

namespace marvek::browser_setup {

// The licence agreement: the picture imgSign, the agreement text txtContract ("WC101"), the options
// optContract 0 "agree" ("OB101") and 1 "disagree" ("OB102"), neither selected, and cmdOK ("BC101"),
// enabled once an option is selected. The caption is "Setup".
class frmContract : public QDialog {
    Q_OBJECT

public:
    explicit frmContract(PagosetContext& ctx, QWidget* parent = nullptr);

    // Shows the dialog modally and returns whether the user agreed: OK with option 0 selected. OK
    // with option 1 and the window's close box give false.
    bool GFncCon_Show();

    QLabel* imgSign = nullptr;
    QPlainTextEdit* txtContract = nullptr;
    std::array<QRadioButton*, 2> optContract{};
    QPushButton* cmdOK = nullptr;

private:
    void Form_Load();
    void optContract_Click();
    void cmdOK_Click();

    PagosetContext& m_ctx;
};

} // namespace marvek::browser_setup
