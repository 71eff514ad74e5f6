#include "manager/window/SearchPanel.h"

#include "shared/forms/ClearButton.h"
#include "shared/forms/LanguageFont.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QVBoxLayout>

namespace marvek::manager {

SearchPanel::SearchPanel(ManagerContext& ctx, QWidget* parent)
    : QWidget(parent), m_ctx(ctx), m_search(ctx), m_texts(search::LoadSearchTexts(ctx.shared.LanguageCode)) {
    setObjectName(QStringLiteral("SearchPanel"));
    m_field = new QLineEdit(this);
    m_field->setObjectName(QStringLiteral("T_Search"));
    m_field->setPlaceholderText(m_texts.field);
    shared::ClearButtonOnFirstText(*m_field);
    m_progress = new QProgressBar(this);
    m_progress->setObjectName(QStringLiteral("P_Indexing"));
    m_progress->setVisible(false);
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("L_SearchStatus"));
    m_hits = new QListWidget(this);
    m_hits->setObjectName(QStringLiteral("L_Hits"));
    m_hits->setMinimumWidth(320);
    m_hits->setWordWrap(true);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_field);
    layout->addWidget(m_progress);
    layout->addWidget(m_status);
    layout->addWidget(m_hits, 1);

    const int size = 9;
    for (QWidget* widget : std::initializer_list<QWidget*>{m_field, m_status, m_hits})
        shared::ApplyLanguageFont(*widget, ctx.shared.LanguageCode, size);

    m_pause.setSingleShot(true);
    m_pause.setInterval(PauseMs);
    connect(&m_pause, &QTimer::timeout, this, &SearchPanel::searchNow);
    // Typed words wait for the pause; a text put in by the program (a screen script, the clear button) is
    // searched at once.
    connect(m_field, &QLineEdit::textChanged, this, [this] {
        if (m_field->isModified())
            m_pause.start();
        else
            searchNow();
    });
    connect(m_hits, &QListWidget::itemActivated, this, [this] { openCurrent(); });
    m_field->installEventFilter(this);
    m_hits->installEventFilter(this);
}

bool SearchPanel::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress || (watched != m_field && watched != m_hits))
        return QWidget::eventFilter(watched, event);
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key != Qt::Key_Return && key != Qt::Key_Enter)
        return QWidget::eventFilter(watched, event);
    enterPressed(watched == m_field);
    return true; // taken here: it goes neither to the window nor to the list's own activation
}

// Enter opens the current hit (the field's words searched first when the pause is still running); the
// focus is on the hits afterwards, so the next one is a key away.
void SearchPanel::enterPressed(bool inField) {
    if (inField && m_pause.isActive())
        searchNow();
    if (openCurrent())
        m_hits->setFocus(Qt::OtherFocusReason);
}

void SearchPanel::searchNow() {
    m_pause.stop();
    const QString words = m_field->text();
    if (words.trimmed().isEmpty()) {
        m_found.clear();
        m_hits->clear();
        m_status->clear();
        return;
    }
    const auto hits = m_search.find(words, [this](int done, int total, const QString&) {
        m_progress->setVisible(done < total);
        m_progress->setRange(0, total);
        m_progress->setValue(done);
        m_status->setText(m_texts.indexing.arg(done + 1).arg(total));
        m_ctx.os().clock().processEvents();
    });
    m_progress->setVisible(false);
    if (!hits) {
        m_found.clear();
        m_hits->clear();
        m_status->setText(m_texts.failed);
        return;
    }
    show(*hits);
}

void SearchPanel::show(const std::vector<search::SearchHit>& hits) {
    m_found = hits;
    m_hits->clear();
    m_status->setText(search::ResultStatus(m_texts, hits.size(), m_search.readOnly()));
    for (const search::SearchHit& hit : hits) {
        auto* item = new QListWidgetItem(m_hits);
        QString where = hit.model.toHtmlEscaped() + QStringLiteral(" &middot; ") + hit.pubNo.toHtmlEscaped();
        if (hit.pdfPage > 0)
            where += QStringLiteral(" &middot; ") + m_texts.pdfPage.arg(hit.pdfPage);
        auto* label = new QLabel(
            QStringLiteral("<small>%1</small><br><u>%2</u><br>%3")
                .arg(where, search::HighlightedHtml(hit.title), search::HighlightedHtml(hit.snippet)),
            m_hits);
        label->setWordWrap(true);
        label->setTextFormat(Qt::RichText);
        label->setFont(m_hits->font());
        label->setAttribute(Qt::WA_TransparentForMouseEvents);
        label->setContentsMargins(4, 3, 4, 3);
        label->setFixedWidth(std::max(200, m_hits->viewport()->width() - 8));
        item->setSizeHint(QSize(label->width(), label->sizeHint().height() + 4));
        m_hits->setItemWidget(item, label);
    }
    if (!hits.empty())
        m_hits->setCurrentRow(0);
}

bool SearchPanel::openCurrent() {
    const int row = m_hits->currentRow();
    if (row < 0 || size_t(row) >= m_found.size())
        return false;
    OpenSearchHit(m_ctx, m_found[size_t(row)]);
    return true;
}

void SearchPanel::forget(const QString& pubNo) {
    m_search.forget(pubNo);
    if (!m_field->text().trimmed().isEmpty())
        searchNow();
}

} // namespace marvek::manager
