#include "SearchDock.h"

#include "shared/Context.h"
#include "shared/search/ManualSearch.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QVBoxLayout>

namespace marvek::browser {

SearchDock::SearchDock(platform::Platform& os, const QString& languageCode, QWidget* parent)
    : QDockWidget(parent), m_os(os), m_texts(search::LoadSearchTexts(languageCode)) {
    setObjectName(QStringLiteral("D_Search"));
    setWindowTitle(m_texts.caption);
    auto* body = new QWidget(this);
    m_field = new QLineEdit(body);
    m_field->setObjectName(QStringLiteral("T_Search"));
    m_field->setPlaceholderText(m_texts.field);
    m_field->setClearButtonEnabled(true);
    m_status = new QLabel(body);
    m_list = new QListWidget(body);
    m_list->setObjectName(QStringLiteral("L_Hits"));
    m_list->setWordWrap(true);
    auto* layout = new QVBoxLayout(body);
    layout->addWidget(m_field);
    layout->addWidget(m_status);
    layout->addWidget(m_list, 1);
    setWidget(body);

    m_pause.setSingleShot(true);
    m_pause.setInterval(PauseMs);
    connect(&m_pause, &QTimer::timeout, this, &SearchDock::searchNow);
    connect(m_field, &QLineEdit::textChanged, this, [this] { m_pause.start(); });
    connect(m_field, &QLineEdit::returnPressed, this, [this] {
        if (m_pause.isActive())
            searchNow();
        choose();
    });
    connect(m_list, &QListWidget::itemActivated, this, [this] { choose(); });
}

SearchDock::~SearchDock() = default;

void SearchDock::open() {
    show();
    raise();
    m_field->setFocus();
    m_field->selectAll();
}

void SearchDock::searchNow() {
    m_pause.stop();
    m_list->clear();
    m_hits.clear();
    if (m_field->text().trimmed().isEmpty()) {
        m_status->clear();
        return;
    }
    // The database is read for each search (a connection opened and closed again), so that setup and
    // the manager are never kept from it.
    const shared::SharedContext ctx(m_os, QStringLiteral("Pagora"));
    if (m_databasePath.isEmpty())
        m_databasePath = search::InstalledDatabasePath(ctx);
    const auto installed = search::ReadInstalledManuals(ctx, m_databasePath);
    if (!m_search && installed)
        m_search = std::make_unique<search::ManualSearch>(m_os, m_databasePath);
    search::QueryOptions options;
    options.lastWordIsPrefix = true;
    const auto hits = installed
                          ? m_search->search(*installed, m_field->text(), options,
                                             [this](int done, int total, const QString&) {
                                                 m_status->setText(m_texts.indexing.arg(done + 1).arg(total));
                                                 m_os.clock().processEvents();
                                             })
                          : std::nullopt;
    if (!hits) {
        m_status->setText(m_texts.failed);
        return;
    }
    m_hits = *hits;
    m_status->setText(search::ResultStatus(m_texts, m_hits.size(), m_search->readOnly()));
    for (const search::SearchHit& hit : m_hits) {
        auto* item = new QListWidgetItem(m_list);
        auto* label =
            new QLabel(QStringLiteral("<small>%1 &middot; %2</small><br><u>%3</u><br>%4")
                           .arg(hit.model.toHtmlEscaped(), hit.pubNo.toHtmlEscaped(),
                                search::HighlightedHtml(hit.title), search::HighlightedHtml(hit.snippet)),
                       m_list);
        label->setWordWrap(true);
        label->setAttribute(Qt::WA_TransparentForMouseEvents);
        label->setFixedWidth(std::max(180, m_list->viewport()->width() - 8));
        item->setSizeHint(QSize(label->width(), label->sizeHint().height() + 4));
        m_list->setItemWidget(item, label);
    }
    if (!m_hits.empty())
        m_list->setCurrentRow(0);
}

void SearchDock::choose() {
    const int row = m_list->currentRow();
    if (row < 0 || size_t(row) >= m_hits.size())
        return;
    const search::SearchHit& hit = m_hits[size_t(row)];
    QString page = hit.pageFile();
    if (hit.pdfPage > 0)
        page += QStringLiteral("#page=") + QString::number(hit.pdfPage);
    Q_EMIT pageChosen(page);
}

} // namespace marvek::browser
