#include "browser_setup/window/frmContract.h"

#include "browser_setup/window/SignPicture.h"

#include <QBoxLayout>
#include <QButtonGroup>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>

namespace marvek::browser_setup {

namespace {

constexpr int PictureSize = 48;
constexpr int TextWidth = 520;
constexpr int TextHeight = 300;

} // namespace

frmContract::frmContract(PagosetContext& ctx, QWidget* parent) : QDialog(parent), m_ctx(ctx) {
    setObjectName(QStringLiteral("frmContract"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    setWindowTitle(QStringLiteral("Setup"));

    imgSign = new QLabel(this);
    imgSign->setObjectName(QStringLiteral("imgSign"));
    imgSign->setPixmap(drawSignPicture(PictureSize, devicePixelRatio()));
    imgSign->setAlignment(Qt::AlignTop | Qt::AlignHCenter);

    txtContract = new QPlainTextEdit(this);
    txtContract->setObjectName(QStringLiteral("txtContract"));
    txtContract->setReadOnly(true);
    txtContract->setMinimumSize(TextWidth, TextHeight);

    auto* options = new QButtonGroup(this);
    for (int index = 0; index < int(optContract.size()); ++index) {
        optContract[index] = new QRadioButton(this);
        optContract[index]->setObjectName(QStringLiteral("optContract%1").arg(index));
        options->addButton(optContract[index], index);
    }
    connect(options, &QButtonGroup::idClicked, this, [this] { optContract_Click(); });

    cmdOK = new QPushButton(this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setDefault(true);
    connect(cmdOK, &QPushButton::clicked, this, [this] { cmdOK_Click(); });

    auto* top = new QHBoxLayout;
    top->addWidget(imgSign, 0, Qt::AlignTop);
    top->addWidget(txtContract, 1);
    auto* bottom = new QHBoxLayout;
    auto* choices = new QVBoxLayout;
    for (QRadioButton* option : optContract)
        choices->addWidget(option);
    bottom->addLayout(choices, 1);
    bottom->addWidget(cmdOK, 0, Qt::AlignBottom);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addLayout(bottom);

    Form_Load();
}

void frmContract::Form_Load() {
    QString contract = m_ctx.GFncMsg_Get(QStringLiteral("WC101"));
    contract.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    txtContract->setPlainText(contract);
    optContract[0]->setText(m_ctx.GFncMsg_Get(QStringLiteral("OB101")));
    optContract[1]->setText(m_ctx.GFncMsg_Get(QStringLiteral("OB102")));
    cmdOK->setText(m_ctx.GFncMsg_Get(QStringLiteral("BC101")));
    cmdOK->setEnabled(false);
}

void frmContract::optContract_Click() {
    cmdOK->setEnabled(true);
}

void frmContract::cmdOK_Click() {
    if (optContract[0]->isChecked())
        m_ctx.mbolAgree = true;
    else if (optContract[1]->isChecked())
        m_ctx.mbolAgree = false;
    accept();
}

bool frmContract::GFncCon_Show() {
    m_ctx.mbolAgree = false;
    exec();
    return m_ctx.mbolAgree;
}

} // namespace marvek::browser_setup
