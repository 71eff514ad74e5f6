#include "setup/window/frmStartUp.h"

#include "platform/TextCodec.h"
#include "setup/window/FormText.h"
#include "shared/forms/LanguageFont.h"

#include <QCloseEvent>
#include <QFile>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace marvek::setup {

namespace {

constexpr int TextSize = 9;
// An agreement is a few pages; a file beyond this is not an agreement text.
constexpr qint64 MaxAgreementBytes = 16 * 1024 * 1024;

std::optional<QByteArray> readFile(const SetupContext& ctx, const QString& path) {
    if (!ctx.os().files().fileExists(path))
        return std::nullopt;
    QFile file(ctx.os().machine().toHost(path));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.read(MaxAgreementBytes);
}

} // namespace

QString AgreementLines(const QString& fileText) {
    QString text;
    text.reserve(fileText.size() + fileText.size() / 16);
    qsizetype start = 0;
    const qsizetype size = fileText.size();
    while (start < size) {
        qsizetype end = start;
        while (end < size && fileText.at(end) != QLatin1Char('\r') && fileText.at(end) != QLatin1Char('\n'))
            ++end;
        text += QStringView(fileText).sliced(start, end - start);
        text += QStringLiteral("\r\n");
        if (end < size && fileText.at(end) == QLatin1Char('\r') && end + 1 < size &&
            fileText.at(end + 1) == QLatin1Char('\n'))
            ++end;
        start = end + 1;
    }
    return text;
}

QString LoadAgreementText(const SetupContext& ctx) {
    const QString folder = ctx.shared.SysDirPath + QStringLiteral("\\Licence_");
    std::optional<QByteArray> bytes =
        readFile(ctx, folder + ctx.shared.LanguageCode + QStringLiteral(".txt"));
    if (!bytes)
        bytes = readFile(ctx, folder + QStringLiteral("09.txt"));
    if (!bytes)
        return {};
    return AgreementLines(platform::decodeCodePage(*bytes, ctx.os().machineInfo().ansiCodePage()));
}

frmStartUp::frmStartUp(SetupContext& ctx, ScreenFlow& flow) : m_ctx(ctx), m_flow(flow) {
    setObjectName(QStringLiteral("frmStartUp"));
    m_contract = new QPlainTextEdit(this);
    m_contract->setObjectName(QStringLiteral("T_CONTRACT"));
    m_contract->setMinimumSize(560, 320);
    m_frame = new QGroupBox(this);
    m_frame->setObjectName(QStringLiteral("Frame1"));
    auto* options = new QVBoxLayout(m_frame);
    for (int index = 1; index <= 2; ++index) {
        auto* option = new QRadioButton(m_frame);
        option->setObjectName(ArrayName("O_Value", index));
        connect(option, &QRadioButton::clicked, this, [this, index] { O_Value_Click(index); });
        options->addWidget(option);
        m_options.at(static_cast<size_t>(index - 1)) = option;
    }
    m_ok = new QPushButton(this);
    m_ok->setObjectName(QStringLiteral("B_OK"));
    m_ok->setDefault(true);
    connect(m_ok, &QPushButton::clicked, this, &frmStartUp::B_OK_Click);

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(m_frame, 1);
    bottom->addWidget(m_ok, 0, Qt::AlignBottom);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_contract, 1);
    layout->addLayout(bottom);

    Form_Load();
}

void frmStartUp::Form_Load() {
    const QString& language = m_ctx.shared.LanguageCode;
    for (QWidget* control : {static_cast<QWidget*>(m_options[0]), static_cast<QWidget*>(m_options[1]),
                             static_cast<QWidget*>(m_frame), static_cast<QWidget*>(m_contract)})
        shared::ApplyLanguageFont(*control, language, TextSize);
    const QString caption = Message(m_ctx, 34);
    setWindowTitle(caption);
    m_ctx.shared.AppTitle = caption;
    m_ok->setText(Message(m_ctx, 6));

    m_contractText = LoadAgreementText(m_ctx);
    // The text box keeps CR LF as one line break.
    m_contract->setPlainText(QString(m_contractText).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    m_contract->setReadOnly(true);
    m_contract->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);

    m_options[0]->setText(Message(m_ctx, 56));
    m_options[1]->setText(Message(m_ctx, 57));
    for (QRadioButton* option : m_options)
        option->setChecked(false);
    m_ok->setEnabled(false);
}

void frmStartUp::showEvent(QShowEvent* event) {
    m_ctx.os().ui().setOwner(this);
    QWidget::showEvent(event);
}

void frmStartUp::closeEvent(QCloseEvent* event) {
    event->accept();
    m_flow.endSetup(true);
}

void frmStartUp::O_Value_Click(int index) {
    m_ok->setEnabled(true);
    O_Value(index)->setChecked(true);
    O_Value(3 - index)->setChecked(false);
}

void frmStartUp::B_OK_Click() {
    if (O_Value(1)->isChecked())
        m_flow.showInstallation();
    else
        m_flow.endSetup(true);
}

} // namespace marvek::setup
