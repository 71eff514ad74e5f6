#include "setup/window/frmDirectorySelect.h"

#include "setup/window/FormText.h"
#include "shared/forms/LanguageFont.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace marvek::setup {

namespace {

constexpr int PathSize = 9;
constexpr int TextSize = 9;
constexpr int NameSize = 11;

QLabel* makeLabel(QWidget* parent, const QString& name) {
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    return label;
}

} // namespace

frmDirectorySelect::frmDirectorySelect(SetupContext& ctx, QWidget* parent)
    : QDialog(parent), m_ctx(ctx), m_screen(ctx) {
    setObjectName(QStringLiteral("frmDirectorySelect"));
    setModal(true);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    m_msg[0] = makeLabel(this, ArrayName("L_Msg", 0));
    m_name = makeLabel(this, QStringLiteral("L_Name"));
    m_msg[1] = makeLabel(this, ArrayName("L_Msg", 1));
    m_msg[2] = makeLabel(this, ArrayName("L_Msg", 2));
    m_label1 = makeLabel(this, QStringLiteral("Label1"));
    m_label1->hide();
    m_frame = new QGroupBox(this);
    m_frame->setObjectName(QStringLiteral("Frame1"));
    m_installPath = makeLabel(m_frame, QStringLiteral("L_InstalPath"));
    m_installPath->setMinimumWidth(360);
    m_change = new QPushButton(m_frame);
    m_change->setObjectName(QStringLiteral("B_CHANGE"));
    m_ok = new QPushButton(QStringLiteral("OK"), this);
    m_ok->setObjectName(QStringLiteral("B_OK"));
    m_ok->setDefault(true);
    m_cancel = new QPushButton(this);
    m_cancel->setObjectName(QStringLiteral("B_Cancel"));
    connect(m_change, &QPushButton::clicked, this, &frmDirectorySelect::B_CHANGE_Click);
    connect(m_ok, &QPushButton::clicked, this, &frmDirectorySelect::B_OK_Click);
    connect(m_cancel, &QPushButton::clicked, this, &frmDirectorySelect::reject);

    auto* folder = new QHBoxLayout(m_frame);
    folder->addWidget(m_installPath, 1);
    folder->addWidget(m_change);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_ok);
    buttons->addWidget(m_cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_msg[0]);
    layout->addWidget(m_name);
    layout->addSpacing(8);
    layout->addWidget(m_msg[1]);
    layout->addWidget(m_msg[2]);
    layout->addWidget(m_label1);
    layout->addWidget(m_frame);
    layout->addSpacing(8);
    layout->addLayout(buttons);

    // Load
    const QString& language = ctx.shared.LanguageCode;
    for (QLabel* label : m_msg)
        shared::ApplyLanguageFont(*label, language, TextSize);
    shared::ApplyLanguageFont(*m_name, language, NameSize);
    shared::ApplyLanguageFont(*m_label1, language, TextSize);
    shared::ApplyLanguageFont(*m_installPath, language, PathSize);
    shared::ApplyLanguageFont(*m_frame, language, TextSize);
    const FolderScreen::Texts& texts = m_screen.texts();
    setWindowTitle(texts.Caption);
    m_name->setText(texts.L_Name);
    for (size_t i = 0; i < m_msg.size(); ++i)
        m_msg[i]->setText(texts.L_Msg[i]);
    m_change->setText(texts.B_CHANGE);
    m_cancel->setText(texts.B_Cancel);
    m_frame->setTitle(texts.Frame1);
    m_installPath->setText(m_screen.installPath());
}

void frmDirectorySelect::showEvent(QShowEvent* event) {
    m_ctx.os().ui().setOwner(this);
    QDialog::showEvent(event);
    if (!m_activated) {
        m_activated = true;
        m_ok->setFocus();
    }
}

void frmDirectorySelect::B_CHANGE_Click() {
    m_screen.change();
    m_installPath->setText(m_screen.installPath());
    repaint();
}

void frmDirectorySelect::B_OK_Click() {
    if (m_screen.ok())
        accept();
}

void frmDirectorySelect::reject() {
    if (m_screen.cancel())
        QDialog::reject();
}

} // namespace marvek::setup
