#include "setup/window/frmTarm.h"

#include "setup/window/FormText.h"
#include "shared/forms/LanguageFont.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace marvek::setup {

frmTarm::frmTarm(SetupContext& ctx, ScreenFlow& flow) : m_ctx(ctx), m_flow(flow) {
    setObjectName(QStringLiteral("frmTarm"));
    m_message = new QLabel(this);
    m_message->setObjectName(QStringLiteral("L_TarmMsg"));
    m_message->setTextFormat(Qt::PlainText);
    m_message->setWordWrap(true);
    m_message->setMinimumWidth(360);
    m_end = new QPushButton(this);
    m_end->setObjectName(QStringLiteral("B_END"));
    m_end->setDefault(true);
    // The clean-up already ran on the result screen.
    connect(m_end, &QPushButton::clicked, this, [this] { m_flow.endSetup(true); });

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_end);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 24, 24, 16);
    layout->addWidget(m_message);
    layout->addSpacing(16);
    layout->addLayout(buttons);

    // Load
    const bool japanese = ctx.shared.LanguageCode == QLatin1String("11");
    shared::ApplyLanguageFont(*m_message, ctx.shared.LanguageCode, japanese ? 11 : 10);
    const QString caption = Message(ctx, 34);
    setWindowTitle(caption);
    ctx.shared.AppTitle = caption;
    m_message->setText(Message(ctx, 82));
    m_end->setText(Message(ctx, 6));
}

void frmTarm::showEvent(QShowEvent* event) {
    m_ctx.os().ui().setOwner(this);
    QWidget::showEvent(event);
}

void frmTarm::closeEvent(QCloseEvent* event) {
    event->accept();
    m_flow.endSetup(true);
}

} // namespace marvek::setup
