#include "shared/forms/frmTransaction.h"

#include "shared/forms/LanguageFont.h"
#include "shared/maintenance/MaintenanceJobs.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QTimer>
#include <QVBoxLayout>

namespace marvek::shared {

frmTransaction::frmTransaction(const SharedContext& ctx, ManualDatabase& db, int mode, QString pubNo,
                               QString insPath, QWidget* parent)
    : QDialog(parent), m_ctx(ctx), m_db(db), m_mode(mode), m_pubNo(std::move(pubNo)),
      m_insPath(std::move(insPath)) {
    setObjectName(QStringLiteral("frmTransaction"));
    setModal(true);
    setWindowFlag(Qt::WindowCloseButtonHint, false);
    setWindowTitle(ctx.AppTitle);
    m_message = new QLabel(this);
    m_message->setObjectName(QStringLiteral("L_Msg"));
    m_message->setTextFormat(Qt::PlainText);
    m_message->setWordWrap(true);
    m_message->setMinimumWidth(320);
    m_label1 = new QLabel(this);
    m_label1->setObjectName(QStringLiteral("Label1"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 20, 24, 20);
    layout->addWidget(m_message);
    layout->addWidget(m_label1);

    // Load
    const bool japanese = ctx.LanguageCode == QLatin1String("11");
    ApplyLanguageFont(*m_message, ctx.LanguageCode, japanese ? 9 : 10);
    ApplyLanguageFont(*m_label1, ctx.LanguageCode, japanese ? 9 : 10);
    m_message->setText(TransactionMessage(ctx, mode));
}

void frmTransaction::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (m_activated)
        return;
    m_activated = true;
    // The job runs once the window is on the screen.
    QTimer::singleShot(0, this, &frmTransaction::runJob);
}

void frmTransaction::runJob() {
    RunTransaction(m_ctx, m_db, m_mode, m_pubNo, m_insPath, [](bool busy) {
        if (busy)
            QApplication::setOverrideCursor(Qt::WaitCursor);
        else
            QApplication::restoreOverrideCursor();
    });
    m_done = true;
    accept();
}

void frmTransaction::closeEvent(QCloseEvent* event) {
    // The job is not left half done.
    if (m_done)
        event->accept();
    else
        event->ignore();
}

void frmTransaction::reject() {
    if (m_done)
        QDialog::reject();
}

} // namespace marvek::shared
