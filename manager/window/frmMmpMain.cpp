#include "manager/window/frmMmpMain.h"

#include "manager/app/ManagerActions.h"
#include "manager/app/ManagerStart.h"
#include "manager/window/SearchPanel.h"
#include "shared/forms/ClearButton.h"
#include "shared/forms/LanguageFont.h"
#include "shared/forms/frmTransaction.h"
#include "shared/grid/vaSpread.h"
#include "shared/maintenance/MaintenanceJobs.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>
#include <numeric>

namespace marvek::manager {

namespace {

QPushButton* makeButton(QWidget* parent, const char* name) {
    auto* button = new QPushButton(parent);
    button->setObjectName(QLatin1String(name));
    return button;
}

} // namespace

frmMmpMain::frmMmpMain(ManagerContext& ctx, std::function<void()> onEnd, std::future<ManagerList> firstList)
    : m_ctx(ctx), m_onEnd(std::move(onEnd)), m_spread(ctx.os().machine()) {
    setObjectName(QStringLiteral("frmMmpMain"));
    m_mainTitle = new QLabel(this);
    m_mainTitle->setObjectName(QStringLiteral("L_MainTitle"));
    m_memoTitle = new QLabel(this);
    m_memoTitle->setObjectName(QStringLiteral("L_MemoTitle"));
    m_memo = new QLineEdit(this);
    m_memo->setObjectName(QStringLiteral("T_Memo"));
    m_filter = new QLineEdit(this);
    m_filter->setObjectName(QStringLiteral("T_Filter"));
    shared::ClearButtonOnFirstText(*m_filter);
    m_grid = new shared::vaSpread(this);
    m_grid->setObjectName(QStringLiteral("vaSpread"));
    m_grid->setMinimumSize(720, 360);
    m_display = makeButton(this, "B_Display");
    m_delete = makeButton(this, "B_Delete");
    m_check = makeButton(this, "B_CheckUpdate");
    m_memoUpdate = makeButton(this, "B_MemoUpdate");
    m_end = makeButton(this, "B_End");

    auto* memoRow = new QHBoxLayout;
    memoRow->addWidget(m_memoTitle);
    memoRow->addWidget(m_memo, 1);
    memoRow->addWidget(m_memoUpdate);
    auto* buttons = new QHBoxLayout;
    for (QPushButton* button : {m_display, m_delete, m_check})
        buttons->addWidget(button);
    buttons->addStretch(1);
    buttons->addWidget(m_end);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_mainTitle);
    layout->addWidget(m_filter);
    m_search = new SearchPanel(m_ctx, this);
    auto* listAndSearch = new QHBoxLayout;
    listAndSearch->addWidget(m_grid, 3);
    listAndSearch->addWidget(m_search, 2);
    layout->addLayout(listAndSearch, 1);
    layout->addLayout(memoRow);
    layout->addLayout(buttons);

    connect(m_display, &QPushButton::clicked, this, &frmMmpMain::display);
    connect(m_delete, &QPushButton::clicked, this, &frmMmpMain::deleteManual);
    connect(m_check, &QPushButton::clicked, this, &frmMmpMain::checkManuals);
    connect(m_memoUpdate, &QPushButton::clicked, this, [this] {
        m_memo->setText(SaveMemo(m_ctx, m_memo->text()));
        m_memos.reset();
    });
    connect(m_end, &QPushButton::clicked, this, &frmMmpMain::end);
    connect(m_grid, &shared::vaSpread::ActiveCellChanged, this, [this](int, int row) { selectRow(row); });
    connect(m_filter, &QLineEdit::textChanged, this, &frmMmpMain::applyFilter);
    connect(m_grid->view()->horizontalHeader(), &QHeaderView::sectionClicked, this, &frmMmpMain::sortBy);
    connect(m_grid->view(), &QTableView::doubleClicked, this, [this](const QModelIndex& index) {
        selectRow(index.row() + 1);
        display();
    });

    // Load: fonts, texts, the grid and its rows.
    const QString& language = m_ctx.shared.LanguageCode;
    const bool japanese = language == QLatin1String("11");
    shared::ApplyLanguageFont(*m_mainTitle, language, 11);
    for (QWidget* control :
         std::initializer_list<QWidget*>{m_memoTitle, m_memo, m_grid, m_check, m_delete, m_display, m_end})
        shared::ApplyLanguageFont(*control, language, 9);
    shared::ApplyLanguageFont(*m_memoUpdate, language, japanese ? 9 : 8);
    shared::ApplyLanguageFont(*m_filter, language, 9);

    const ManagerTexts texts = LoadManagerTexts(m_ctx);
    setWindowTitle(texts.Caption);
    m_mainTitle->setText(texts.L_MainTitle);
    m_memoTitle->setText(texts.L_MemoTitle);
    m_memo->clear();
    m_memoUpdate->setText(texts.B_MemoUpdate);
    m_display->setText(texts.B_Display);
    m_delete->setText(texts.B_Delete);
    m_check->setText(texts.B_CheckUpdate);
    m_end->setText(texts.B_End);
    m_filter->setPlaceholderText(texts.FilterHint);

    m_spread.clsSpead_Initialize();
    m_grid->setMaxCols(ManagerColumns);
    m_gridNumber = m_spread.SpdIni(m_grid);
    m_spread.SpdClear(m_gridNumber, 0, -1, -1, -1, -1);
    for (int column = 0; column < ManagerColumns; ++column)
        m_grid->SetText(column + 1, 0, texts.headers[static_cast<size_t>(column)]);
    // The publication number shows in column 6; the install folder and the PDF flag are for the actions.
    for (const int hidden : {1, 2, 8})
        m_grid->setColHidden(hidden, true);
    m_savedLayout = LoadWindowLayout(m_ctx);
    const WindowLayout& saved = m_savedLayout;
    if (!saved.geometry.isEmpty())
        restoreGeometry(saved.geometry);
    for (int column = 0; column < saved.columnWidths.size() && column < ManagerColumns; ++column) {
        if (saved.columnWidths[column] > 0)
            m_grid->setColWidth(column + 1, saved.columnWidths[column]);
    }

    if (!LoadManualGrid(firstList.valid() ? firstList.get() : LoadManagerList(m_ctx))) {
        m_ctx.os().ui().messageBox(QLatin1String(ListReadError), platform::mb::Exclamation,
                                   QLatin1String(ManagerTitle));
        end();
        return;
    }
    SelectFirstManual();
    // Every manual gives the list a row at least (its joins are outer joins): the list just read tells
    // whether there are any, without counting them again.
    if (m_rows->empty())
        DisableManualButtons();
    m_loaded = true;
}

QPushButton* frmMmpMain::button(const char* name) const {
    return findChild<QPushButton*>(QLatin1String(name));
}

bool frmMmpMain::LoadManualGrid(ManagerList rows) {
    if (!rows) {
        // The grid is emptied: so are the rows the window acts on.
        m_spread.SpdClear(m_gridNumber, 0, -1, -1, -1, -1);
        m_rows = std::make_shared<const ManagerRows>();
        m_order.clear();
        m_listing.reset();
        return false;
    }
    m_rows = std::make_shared<const ManagerRows>(std::move(*rows));
    m_order.resize(m_rows->size());
    std::iota(m_order.begin(), m_order.end(), size_t{0});
    if (m_sortColumn >= 0)
        SortManagerRows(*m_rows, m_order, m_sortColumn, m_sortDescending);
    m_memos.reset();
    fillGrid();
    return true;
}

void frmMmpMain::fillGrid() {
    const QString filter = m_filter->text();
    if (!m_memos && !filter.trimmed().isEmpty())
        m_memos = m_ctx.db.ReadAllMemos();
    std::vector<size_t> shown;
    if (!m_memos) {
        shown = m_order;
    } else {
        shown.reserve(m_order.size());
        for (const size_t row : m_order) {
            const QString pubNo = m_rows->text(row, 0);
            if (RowMatchesFilter(m_rows->text(row, 2), pubNo, m_memos->value(pubNo), filter))
                shown.push_back(row);
        }
    }
    m_listing = std::make_shared<const ManagerListing>(m_rows, std::move(shown));
    m_spread.SplListingStart(this);
    m_spread.SpdListRows(m_gridNumber, m_listing);
    m_spread.SplListingEnd(this);
    m_currentRow = 1;
}

void frmMmpMain::applyFilter() {
    fillGrid();
    SelectFirstManual();
    enableForShownRows();
}

void frmMmpMain::enableForShownRows() {
    const bool shown = m_listing && m_listing->rowCount() > 0;
    for (QPushButton* button : {m_display, m_delete, m_memoUpdate})
        button->setEnabled(shown);
    m_memo->setEnabled(shown);
    m_check->setEnabled(!m_rows->empty());
}

void frmMmpMain::sortBy(int column) {
    m_sortDescending = column == m_sortColumn && !m_sortDescending;
    m_sortColumn = column;
    SortManagerRows(*m_rows, m_order, column, m_sortDescending);
    fillGrid();
    SelectFirstManual();
}

QString frmMmpMain::cell(int col, int row) const {
    return m_spread.SpdItemGet(m_gridNumber, row, col).toString();
}

void frmMmpMain::SelectFirstManual() {
    selectRow(1);
}

void frmMmpMain::selectRow(int row) {
    m_currentRow = row;
    m_memo->setText(SelectManual(m_ctx, cell(1, row), cell(2, row)));
}

void frmMmpMain::DisableManualButtons() {
    for (QPushButton* button : {m_display, m_delete, m_check, m_memoUpdate})
        button->setEnabled(false);
    m_memo->clear();
    m_memo->setEnabled(false);
}

void frmMmpMain::ShowRowFlagged() {
    if (m_listing && m_currentRow >= 1 && m_currentRow <= m_listing->rowCount()) {
        auto marked = std::make_shared<ManagerRows>(*m_rows);
        marked->setText(m_listing->rowIndex(m_currentRow), ManagerRows::ColourFlagField, QStringLiteral("1"));
        m_rows = std::move(marked);
    }
    for (int col = 1; col <= 7; ++col)
        m_spread.SpdItemSet(m_gridNumber, m_currentRow, col, QStringLiteral("1"), cell(col, m_currentRow));
}

void frmMmpMain::display() {
    const int row = m_grid->ActiveRow() > 0 ? m_grid->ActiveRow() : m_currentRow;
    m_currentRow = row;
    if (DisplayManual(m_ctx, cell(1, row), cell(2, row), cell(8, row)) == DisplayResult::MissingMarked)
        ShowRowFlagged();
}

void frmMmpMain::deleteManual() {
    const int row = m_grid->ActiveRow() > 0 ? m_grid->ActiveRow() : m_currentRow;
    m_ctx.SelectedPubNo = cell(1, row);
    m_ctx.SelectedInsPath = cell(2, row);
    if (!ConfirmDelete(m_ctx))
        return;
    runJob(shared::DeleteJobMode);
}

void frmMmpMain::checkManuals() {
    if (!DatabaseWritableOrSay(m_ctx))
        return;
    runJob(shared::CheckJobMode);
}

void frmMmpMain::runJob(int mode) {
    {
        shared::frmTransaction job(m_ctx.shared, m_ctx.db, mode, m_ctx.SelectedPubNo, m_ctx.SelectedInsPath,
                                   this);
        job.exec();
    }
    if (mode == shared::DeleteJobMode)
        m_search->forget(m_ctx.SelectedPubNo);
    refresh();
}

void frmMmpMain::refresh() {
    LoadManualGrid(LoadManagerList(m_ctx));
    m_grid->setFocus();
    SelectFirstManual();
    update();
    enableForShownRows();
    if (m_rows->empty())
        DisableManualButtons();
}

void frmMmpMain::keyPressEvent(QKeyEvent* event) {
    // Enter moves on to the next control, as Tab does.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        focusNextChild();
        return;
    }
    QWidget::keyPressEvent(event);
}

void frmMmpMain::closeEvent(QCloseEvent* event) {
    event->accept();
    end();
}

void frmMmpMain::end() {
    if (m_ended)
        return;
    m_ended = true;
    if (m_loaded) {
        WindowLayout layout;
        layout.geometry = saveGeometry();
        for (int column = 0; column < ManagerColumns; ++column)
            layout.columnWidths.append(m_grid->view()->columnWidth(column));
        if (layout != m_savedLayout)
            SaveWindowLayout(m_ctx, layout);
    }
    EndManager(m_ctx);
    hide();
    if (m_onEnd)
        m_onEnd();
}

} // namespace marvek::manager
