#include "setup/window/frmResult.h"

#include "setup/engine/ResultList.h"
#include "setup/window/FormText.h"
#include "shared/forms/LanguageFont.h"
#include "shared/grid/vaSpread.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace marvek::setup {

frmResult::frmResult(SetupContext& ctx, ScreenFlow& flow)
    : m_ctx(ctx), m_flow(flow), m_spread(ctx.os().machine()) {
    setObjectName(QStringLiteral("frmResult"));
    m_normal = new QLabel(this);
    m_normal->setObjectName(QStringLiteral("L_NormalMsg"));
    for (int i = 0; i < 2; ++i) {
        m_errors[static_cast<size_t>(i)] = new QLabel(this);
        m_errors[static_cast<size_t>(i)]->setObjectName(ArrayName("L_ErrorMsg", i + 1));
    }
    for (QLabel* label : {m_normal, m_errors[0], m_errors[1]}) {
        label->setTextFormat(Qt::PlainText);
        label->setWordWrap(true);
    }
    m_grid = new shared::vaSpread(this);
    m_grid->setObjectName(QStringLiteral("vaSpread"));
    m_grid->setMinimumSize(640, 260);
    m_end = new QPushButton(this);
    m_end->setObjectName(QStringLiteral("B_END"));
    connect(m_end, &QPushButton::clicked, this, &frmResult::finish);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_end);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_grid, 1);
    layout->addWidget(m_normal);
    layout->addWidget(m_errors[0]);
    layout->addWidget(m_errors[1]);
    layout->addLayout(buttons);

    // Load
    const QString& language = ctx.shared.LanguageCode;
    const int size = language == QLatin1String("11") ? 11 : 10;
    for (QLabel* label : {m_errors[0], m_errors[1], m_normal})
        shared::ApplyLanguageFont(*label, language, size);
    QFont gridFont = m_grid->font();
    gridFont.setFamily(shared::ResolvedFontFamily(language));
    m_grid->setFont(gridFont);
    const QString caption = Message(ctx, 34);
    setWindowTitle(caption);
    ctx.shared.AppTitle = caption;
    m_end->setText(Message(ctx, 6));

    m_spread.clsSpead_Initialize();
    m_grid->setMaxCols(ResultColumnCount);
    m_gridNumber = m_spread.SpdIni(m_grid);
    m_spread.SpdClear(m_gridNumber, 0, -1, -1, -1, -1);
    const ResultRow headers = ResultHeaders(ctx.shared);
    for (int column = 0; column < ResultColumnCount; ++column)
        m_grid->SetText(column + 1, 0, headers[static_cast<size_t>(column)]);
    fillGrid();

    m_normal->hide();
    const std::array<QString, 2> lines = ResultMessageLines(ctx);
    for (size_t i = 0; i < 2; ++i) {
        m_errors[i]->setText(lines[i]);
        m_errors[i]->show();
    }
}

void frmResult::fillGrid() {
    m_spread.SplListingStart(this);
    int rows = 0;
    for (const ResultRow& row : ResultRows(m_ctx)) {
        m_spread.SpdMaxRowsChg(m_gridNumber, ++rows);
        m_spread.SpdItemRowSet(m_gridNumber, rows, QStringLiteral("1"), QVariantList(row.begin(), row.end()));
    }
    m_spread.SplListingEnd(this);
}

void frmResult::showEvent(QShowEvent* event) {
    m_ctx.os().ui().setOwner(this);
    QWidget::showEvent(event);
    if (m_firstActivation) {
        m_firstActivation = false;
        m_end->setFocus();
    }
}

void frmResult::keyPressEvent(QKeyEvent* event) {
    // Enter moves on to the next control, as Tab does.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        focusNextChild();
        return;
    }
    QWidget::keyPressEvent(event);
}

void frmResult::finish() {
    if (m_finishing)
        return;
    m_finishing = true;
    m_normal->setText(Message(m_ctx, 30));
    m_normal->show();
    for (QLabel* label : m_errors) {
        label->clear();
        label->hide();
    }
    m_ctx.os().clock().processEvents();
    if (!m_ctx.InstallSucceeded && !m_ctx.CancelRequested) {
        m_flow.endSetup(false);
        return;
    }
    FinishResult(m_ctx);
    m_flow.showClosing();
}

void frmResult::closeEvent(QCloseEvent* event) {
    // The close box finishes as the button does, so the scratch folder never stays behind.
    event->ignore();
    finish();
}

void ShowResultForm(SetupContext& ctx, ScreenFlow& flow) {
    flow.showScreen(std::make_unique<frmResult>(ctx, flow));
}

} // namespace marvek::setup
