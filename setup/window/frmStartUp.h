#pragma once

#include "setup/app/ScreenFlow.h"

#include <QString>
#include <QWidget>
#include <array>

class QGroupBox;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;

namespace marvek::setup {

// The agreement text: SysDir\Licence_<LanguageCode>.txt, else SysDir\Licence_09.txt, read line by line
// in the system's ANSI code page, each line followed by CR LF (a line ends at CR LF, CR or LF); empty
// when neither file can be read.
QString LoadAgreementText(const SetupContext& ctx);
// The lines of the file's text, each followed by CR LF.
QString AgreementLines(const QString& fileText);

// The agreement screen: the agreement text, agree / disagree, OK.
class frmStartUp : public QWidget {
    Q_OBJECT

public:
    frmStartUp(SetupContext& ctx, ScreenFlow& flow);

    // index 1 agree, 2 disagree
    QRadioButton* O_Value(int index) const { return m_options.at(static_cast<size_t>(index - 1)); }
    QPlainTextEdit* T_CONTRACT() const { return m_contract; }
    QGroupBox* Frame1() const { return m_frame; }
    QPushButton* B_OK() const { return m_ok; }
    // The text box's text as loaded (lines ending in CR LF).
    const QString& contractText() const { return m_contractText; }

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void Form_Load();
    void O_Value_Click(int index);
    void B_OK_Click();

    SetupContext& m_ctx;
    ScreenFlow& m_flow;
    QGroupBox* m_frame = nullptr;
    QPlainTextEdit* m_contract = nullptr;
    std::array<QRadioButton*, 2> m_options{};
    QPushButton* m_ok = nullptr;
    QString m_contractText;
};

} // namespace marvek::setup
