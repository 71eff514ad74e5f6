#include "setup/window/frmMenu.h"

#include "platform/Shell.h"
#include "setup/engine/Startup.h"
#include "setup/window/FormText.h"
#include "shared/forms/LanguageFont.h"

#include <QCloseEvent>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace marvek::setup {

namespace {

constexpr int TitleSize = 22;
constexpr int ButtonSize = 18;
// ShellExecute results below this are failures.
constexpr int ShellFailureLimit = 32;

} // namespace

frmMenu::frmMenu(SetupContext& ctx, ScreenFlow& flow) : m_ctx(ctx), m_flow(flow) {
    setObjectName(QStringLiteral("frmMenu"));
    m_lblTitle = new QLabel(this);
    m_lblTitle->setObjectName(QStringLiteral("lblTitle"));
    m_lblTitle->setAlignment(Qt::AlignCenter);
    m_lblTitle->setTextFormat(Qt::PlainText);
    auto makeButton = [this](const char* name) {
        auto* button = new QPushButton(this);
        button->setObjectName(QLatin1String(name));
        button->setMinimumHeight(56);
        return button;
    };
    m_cmdDispManual = makeButton("cmdDispManual");
    m_cmdStartInstall = makeButton("cmdStartInstall");
    m_cmdBrowseManual = makeButton("cmdBrowseManual");
    connect(m_cmdDispManual, &QPushButton::clicked, this, &frmMenu::cmdDispManual_Click);
    connect(m_cmdStartInstall, &QPushButton::clicked, this, &frmMenu::cmdStartInstall_Click);
    connect(m_cmdBrowseManual, &QPushButton::clicked, this, &frmMenu::cmdBrowseManual_Click);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(32, 24, 32, 32);
    layout->setSpacing(16);
    layout->addWidget(m_lblTitle);
    layout->addSpacing(8);
    layout->addWidget(m_cmdDispManual);
    layout->addWidget(m_cmdStartInstall);
    layout->addWidget(m_cmdBrowseManual);
    setMinimumWidth(480);

    Form_Load();
}

void frmMenu::Form_Load() {
    const QString& language = m_ctx.shared.LanguageCode;
    shared::ApplyLanguageFont(*m_lblTitle, language, TitleSize);
    for (QPushButton* button : {m_cmdDispManual, m_cmdStartInstall, m_cmdBrowseManual})
        shared::ApplyLanguageFont(*button, language, ButtonSize);
    const QString title = Message(m_ctx, 84);
    setWindowTitle(title);
    m_ctx.shared.AppTitle = title;
    m_lblTitle->setText(title);
    m_cmdDispManual->setText(Message(m_ctx, 85));
    m_cmdStartInstall->setText(Message(m_ctx, 86));
    m_cmdBrowseManual->setText(Message(m_ctx, 93));
}

void frmMenu::showEvent(QShowEvent* event) {
    m_ctx.os().ui().setOwner(this);
    QWidget::showEvent(event);
}

void frmMenu::closeEvent(QCloseEvent* event) {
    // Closing the menu ends the program, as its unloading did.
    event->accept();
    m_flow.endSetup(true);
}

void frmMenu::cmdDispManual_Click() {
    const QString guide = m_ctx.shared.SourceRoot + QStringLiteral("\\install.html");
    if (platform::shellOpen(m_ctx.os().machine(), guide) < ShellFailureLimit)
        m_ctx.os().ui().messageBox(Message(m_ctx, 88), platform::mb::Exclamation, m_ctx.shared.AppTitle);
}

void frmMenu::cmdStartInstall_Click() {
    m_flow.showAgreement();
}

void frmMenu::cmdBrowseManual_Click() {
    OpenStartPage(m_ctx, false);
}

} // namespace marvek::setup
