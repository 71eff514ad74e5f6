#include "frmVer.h"

#include "ToolbarImages.h"
#include "browser/app/BrowserContext.h"

#include <QCoreApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace marvek::browser {

frmVer::frmVer(const BrowserContext& context, QWidget* parent, std::optional<platform::FileVersion> version)
    : QDialog(parent) {
    setObjectName(QStringLiteral("frmVer"));
    setModal(true);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    m_image1 = new QLabel(this);
    m_image1->setObjectName(QStringLiteral("Image1"));
    m_image1->setPixmap(programImage().pixmap(48, 48));
    m_image1->setAlignment(Qt::AlignTop | Qt::AlignHCenter);

    auto* texts = new QVBoxLayout;
    for (size_t i = 0; i < m_lblVersion.size(); ++i) {
        m_lblVersion[i] = new QLabel(this);
        m_lblVersion[i]->setObjectName(QStringLiteral("lblVersion%1").arg(i));
        m_lblVersion[i]->setTextFormat(Qt::PlainText);
        m_lblVersion[i]->setWordWrap(true);
        texts->addWidget(m_lblVersion[i]);
    }
    QFont nameFont = m_lblVersion[0]->font();
    nameFont.setBold(true);
    m_lblVersion[0]->setFont(nameFont);

    m_cmdOK = new QPushButton(this);
    m_cmdOK->setObjectName(QStringLiteral("cmdOK"));
    m_cmdOK->setDefault(true);
    connect(m_cmdOK, &QPushButton::clicked, this, &QDialog::accept);

    auto* top = new QHBoxLayout;
    top->addWidget(m_image1);
    top->addSpacing(12);
    top->addLayout(texts, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_cmdOK);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addSpacing(8);
    layout->addLayout(buttons);

    Form_Load(context, version);

    // The box has a fixed layout.
    m_lblVersion[2]->setMinimumWidth(320);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void frmVer::Form_Load(const BrowserContext& context, const std::optional<platform::FileVersion>& version) {
    setWindowTitle(context.GFncMsg_Get(QStringLiteral("WC202")));
    m_lblVersion[0]->setText(context.GFncMsg_Get(QStringLiteral("WC201")));
    m_lblVersion[1]->setText(versionText(version));
    m_lblVersion[2]->setText(context.GFncMsg_Get(QStringLiteral("WC203")));
    m_lblVersion[3]->setText(context.GFncMsg_Get(QStringLiteral("WC204")));
    m_lblVersion[4]->setText(context.GFncMsg_Get(QStringLiteral("WC205")));
    m_cmdOK->setText(context.GFncMsg_Get(QStringLiteral("BC401")));
}

QString frmVer::versionText(const std::optional<platform::FileVersion>& version) {
    const platform::FileVersion v = version.value_or(platform::FileVersion{});
    return QStringLiteral("Ver.%1.%2.%3").arg(v.major).arg(v.minor).arg(v.revision);
}

std::optional<platform::FileVersion> frmVer::programVersion() {
    return platform::readFileVersion(QCoreApplication::applicationFilePath());
}

} // namespace marvek::browser
