#include "vaSpread.h"

#include "SpreadDelegate.h"
#include "SpreadModel.h"
#include "SpreadRowHeader.h"

#include <QHeaderView>
#include <QScopedValueRollback>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>
#include <utility>

namespace marvek::shared {

namespace {

constexpr quint32 White = 0xFFFFFF;

// The rows (or columns) a property write reaches: -1 stands for all of them; in block mode the span
// between the two ends in either order, else the one given.
std::pair<int, int> span(int first, int second, bool block, int count) {
    if (first == -1 || (block && second == -1))
        return {1, count};
    if (!block)
        return {first, first};
    return std::minmax(first, second);
}

} // namespace

vaSpread::vaSpread(QWidget* parent) : QWidget(parent) {
    m_model = new SpreadModel(this);
    m_view = new QTableView(this);
    m_view->setVerticalHeader(new SpreadRowHeader(m_view));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_view);

    m_view->setModel(m_model);
    m_view->setItemDelegate(new SpreadDelegate(m_view));
    m_view->setWordWrap(false);
    m_view->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::SelectedClicked |
                            QAbstractItemView::EditKeyPressed);
    m_view->verticalHeader()->setMinimumSectionSize(1);
    m_view->verticalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    setFocusProxy(m_view);

    connect(m_view->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) { onCurrentChanged(current); });
    connect(m_view->verticalHeader(), &QHeaderView::sectionResized, this,
            [this](int logical, int, int newSize) { onRowResized(logical, newSize); });

    m_behaviour[Protect] = true;
    applyEditing();
    applySelectionMode();
}

vaSpread::~vaSpread() {
    // The children outlive this part of the object: nothing of theirs may call back into it.
    m_view->selectionModel()->disconnect(this);
    m_view->verticalHeader()->disconnect(this);
}

void vaSpread::setBehaviour(Behaviour which, bool on) {
    if (which < 0 || which >= BehaviourCount)
        return;
    m_behaviour[which] = on;
    switch (which) {
    case Protect:
        applyEditing();
        break;
    case AllowMultiBlocks:
        applySelectionMode();
        break;
    case AllowDragDrop:
        m_view->setDragEnabled(on);
        break;
    case NoBorder:
        m_view->setFrameShape(on ? QFrame::NoFrame : QFrame::StyledPanel);
        break;
    case ProcessTab:
        m_view->setTabKeyNavigation(on);
        break;
    default:
        break;
    }
}

void vaSpread::setSetting(Setting which, int value) {
    if (which < 0 || which >= SettingCount)
        return;
    m_settings[which] = value;
    if (which == OperationMode) {
        applySelectionMode();
        applyEditing();
    } else if (which == Appearance) {
        m_view->setFrameShadow(value == 0 ? QFrame::Plain : QFrame::Sunken);
    }
}

int vaSpread::MaxRows() const {
    return m_model->maxRows();
}

void vaSpread::setMaxRows(int rows) {
    m_model->setMaxRows(rows);
    m_rowHeights.erase(m_rowHeights.upper_bound(m_model->maxRows()), m_rowHeights.end());
    fitActiveCell();
}

void vaSpread::list(std::shared_ptr<const SpreadListing> listing) {
    m_model->list(std::move(listing));
    m_rowHeights.clear();
    fitActiveCell();
}

int vaSpread::MaxCols() const {
    return m_model->maxCols();
}

void vaSpread::setMaxCols(int cols) {
    m_model->setMaxCols(cols);
    fitActiveCell();
}

void vaSpread::setAction(int action) {
    switch (action) {
    case ActionActiveCell:
        moveActiveCell(m_row, m_col);
        break;
    case ActionClearText:
        updateAddressed([](SpreadCell& cell) {
            if (cell.cellType == CellTypeComboBox)
                SpreadModel::selectComboItem(cell, -1);
            else
                cell.text.clear();
        });
        break;
    case ActionSelModeClear:
        // A deferred view loses its selection when it takes the grid over anyway.
        if (!m_model->isDeferred()) {
            QScopedValueRollback steering(m_steering, true);
            m_view->selectionModel()->clearSelection();
        }
        break;
    default:
        break;
    }
}

quint32 vaSpread::BackColor() const {
    const SpreadCell& cell = currentCell();
    return cell.backColor != SpreadCell::NoColor ? cell.backColor : White;
}

void vaSpread::setBackColor(quint32 color) {
    color &= White;
    updateAddressed([color](SpreadCell& cell) { cell.backColor = color; });
}

int vaSpread::CellType() const {
    const SpreadCell& cell = currentCell();
    return cell.cellType;
}

void vaSpread::setCellType(int type) {
    updateAddressed([type](SpreadCell& cell) { cell.cellType = type; });
}

int vaSpread::TypeHAlign() const {
    const SpreadCell& cell = currentCell();
    return cell.hAlign;
}

void vaSpread::setTypeHAlign(int align) {
    updateAddressed([align](SpreadCell& cell) { cell.hAlign = align; });
}

int vaSpread::TypeVAlign() const {
    const SpreadCell& cell = currentCell();
    return cell.vAlign;
}

void vaSpread::setTypeVAlign(int align) {
    updateAddressed([align](SpreadCell& cell) { cell.vAlign = align; });
}

bool vaSpread::TypePictMaintainScale() const {
    const SpreadCell& cell = currentCell();
    return cell.pictMaintainScale();
}

void vaSpread::setTypePictMaintainScale(bool on) {
    updateAddressed([on](SpreadCell& cell) { cell.extrasToWrite().pictMaintainScale = on; });
}

bool vaSpread::TypePictStretch() const {
    const SpreadCell& cell = currentCell();
    return cell.pictStretch();
}

void vaSpread::setTypePictStretch(bool on) {
    updateAddressed([on](SpreadCell& cell) { cell.extrasToWrite().pictStretch = on; });
}

QImage vaSpread::TypePictPicture() const {
    const SpreadCell& cell = currentCell();
    return cell.picture();
}

void vaSpread::setTypePictPicture(const QImage& picture) {
    updateAddressed([&picture](SpreadCell& cell) { cell.extrasToWrite().picture = picture; });
}

QString vaSpread::TypeComboBoxList() const {
    const SpreadCell& cell = currentCell();
    return cell.comboItems().join(u'\t');
}

void vaSpread::setTypeComboBoxList(const QString& list) {
    const QStringList items = list.isEmpty() ? QStringList() : list.split(u'\t');
    updateAddressed([&items](SpreadCell& cell) {
        cell.cellType = CellTypeComboBox;
        cell.extrasToWrite().comboItems = items;
        SpreadModel::selectComboItem(cell, 0);
    });
}

int vaSpread::TypeComboBoxCurSel() const {
    const SpreadCell& cell = currentCell();
    return cell.cellType == CellTypeComboBox ? cell.comboCurSel : -1;
}

void vaSpread::setTypeComboBoxCurSel(int index) {
    updateAddressed([index](SpreadCell& cell) {
        if (cell.cellType == CellTypeComboBox)
            SpreadModel::selectComboItem(cell, index);
    });
}

void vaSpread::setReDraw(bool on) {
    if (on == m_reDraw)
        return;
    m_reDraw = on;
    if (!on) {
        m_view->setUpdatesEnabled(false);
        m_model->beginDeferral();
        return;
    }
    m_model->endDeferral();
    applyHeaderHeight();
    showRowHeights();
    showActiveCell();
    m_view->setUpdatesEnabled(true);
}

double vaSpread::RowHeight(int row) const {
    if (row == 0)
        return m_headerHeight ? *m_headerHeight : m_view->horizontalHeader()->sizeHint().height();
    if (const auto found = m_rowHeights.find(row); found != m_rowHeights.end())
        return found->second;
    return m_allRowsHeight ? *m_allRowsHeight : m_view->verticalHeader()->defaultSectionSize();
}

void vaSpread::setRowHeight(int row, double height) {
    if (height < 0 || row < -1 || row > MaxRows())
        return;
    if (row == -1) {
        const bool unchanged = m_allRowsHeight == height && m_rowHeights.empty();
        m_allRowsHeight = height;
        m_rowHeights.clear();
        m_headerHeight = height;
        showHeaderHeight();
        if (!unchanged)
            showRowHeights();
    } else if (row == 0) {
        m_headerHeight = height;
        showHeaderHeight();
    } else {
        m_rowHeights[row] = height;
        if (!m_model->isDeferred()) {
            QScopedValueRollback steering(m_steering, true);
            m_view->verticalHeader()->resizeSection(row - 1, qRound(height));
        }
    }
}

double vaSpread::ColWidth(int col) const {
    QHeaderView* header = m_view->horizontalHeader();
    return col >= 1 && col <= header->count() ? header->sectionSize(col - 1) : header->defaultSectionSize();
}

void vaSpread::setColWidth(int col, double width) {
    if (col >= 1 && col <= MaxCols() && width >= 0)
        m_view->horizontalHeader()->resizeSection(col - 1, qRound(width));
}

bool vaSpread::ColHidden(int col) const {
    return m_view->isColumnHidden(col - 1);
}

void vaSpread::setColHidden(int col, bool hidden) {
    if (col >= 1 && col <= MaxCols())
        m_view->setColumnHidden(col - 1, hidden);
}

void vaSpread::SetText(int col, int row, const QVariant& value) {
    const QString text = value.toString();
    if (row == 0 || col == 0) {
        if (row == 0 && col >= 1)
            m_model->setHeaderText(Qt::Horizontal, col, text);
        else if (col == 0 && row >= 1)
            m_model->setHeaderText(Qt::Vertical, row, text);
        return;
    }
    m_model->updateCells({row, col, row, col}, [&text](SpreadCell& cell) {
        if (cell.cellType == CellTypeComboBox)
            SpreadModel::selectComboItem(cell, int(cell.comboItems().indexOf(text)));
        else
            cell.text = text;
    });
}

bool vaSpread::GetText(int col, int row, QVariant& value) const {
    if (row < 0 || col < 0 || row > MaxRows() || col > MaxCols())
        return false;
    if (row == 0 && col == 0)
        value = QString();
    else if (row == 0)
        value = m_model->headerData(col - 1, Qt::Horizontal, Qt::DisplayRole).toString();
    else if (col == 0)
        value = m_model->headerData(row - 1, Qt::Vertical, Qt::DisplayRole).toString();
    else
        value = m_model->text(row, col);
    return true;
}

QString vaSpread::Text() const {
    QVariant value;
    return GetText(m_col, m_row, value) ? value.toString() : QString();
}

void vaSpread::setText(const QString& text) {
    SetText(m_col, m_row, text);
}

SpreadRange vaSpread::addressed() const {
    const auto [row1, row2] = span(m_row, m_row2, m_blockMode, MaxRows());
    const auto [col1, col2] = span(m_col, m_col2, m_blockMode, MaxCols());
    return {row1, col1, row2, col2};
}

template <typename Change> void vaSpread::updateAddressed(Change change) {
    m_model->updateCells(addressed(), change);
}

const SpreadCell& vaSpread::currentCell() const {
    static const SpreadCell outside; // what a cell outside the grid reads as
    const SpreadCell* cell = m_model->cell(m_row, m_col);
    return cell ? *cell : outside;
}

void vaSpread::moveActiveCell(int row, int col) {
    if (!m_model->contains(row, col))
        return;
    m_activeRow = row;
    m_activeCol = col;
    showActiveCell();
}

void vaSpread::fitActiveCell() {
    if (MaxRows() == 0 || MaxCols() == 0) {
        m_activeRow = m_activeCol = 0;
    } else if (m_activeRow == 0) {
        m_activeRow = m_activeCol = 1;
    } else {
        m_activeRow = std::min(m_activeRow, MaxRows());
        m_activeCol = std::min(m_activeCol, MaxCols());
    }
    showActiveCell();
}

void vaSpread::showActiveCell() {
    if (m_model->isDeferred())
        return;
    QScopedValueRollback steering(m_steering, true);
    QItemSelectionModel* selection = m_view->selectionModel();
    if (m_activeRow == 0) {
        selection->clear();
        return;
    }
    const QModelIndex index = m_model->index(m_activeRow - 1, m_activeCol - 1);
    if (selection->currentIndex() == index && selection->isSelected(index))
        return;
    QItemSelectionModel::SelectionFlags command = QItemSelectionModel::ClearAndSelect;
    if (m_view->selectionBehavior() == QAbstractItemView::SelectRows)
        command |= QItemSelectionModel::Rows;
    selection->setCurrentIndex(index, command);
}

void vaSpread::showRowHeights() {
    if (m_model->isDeferred())
        return;
    QScopedValueRollback steering(m_steering, true);
    QHeaderView* header = m_view->verticalHeader();
    if (m_allRowsHeight)
        header->setDefaultSectionSize(qRound(*m_allRowsHeight));
    for (const auto& [row, height] : m_rowHeights)
        header->resizeSection(row - 1, qRound(height));
}

void vaSpread::showHeaderHeight() {
    // Each new header height lays the whole view out again, and a row count change writes two heights
    // to the header: the view takes the last one when control returns to the event loop, or when
    // painting is switched on again.
    if (!m_headerHeight || m_model->isDeferred() || m_headerHeightPending)
        return;
    m_headerHeightPending = true;
    QMetaObject::invokeMethod(
        this, [this] { applyHeaderHeight(); }, Qt::QueuedConnection);
}

void vaSpread::applyHeaderHeight() {
    m_headerHeightPending = false;
    if (m_headerHeight && !m_model->isDeferred())
        m_view->horizontalHeader()->setFixedHeight(qRound(*m_headerHeight));
}

void vaSpread::applySelectionMode() {
    using View = QAbstractItemView;
    View::SelectionBehavior behavior = View::SelectRows;
    View::SelectionMode mode = View::SingleSelection;
    switch (m_settings[OperationMode]) {
    case OperationModeNormal:
    case OperationModeRead:
        behavior = View::SelectItems;
        mode = m_behaviour[AllowMultiBlocks] ? View::ExtendedSelection : View::SingleSelection;
        break;
    case OperationModeMulti:
        mode = View::MultiSelection;
        break;
    case OperationModeExtended:
        mode = View::ExtendedSelection;
        break;
    default:
        break;
    }
    m_view->setSelectionBehavior(behavior);
    m_view->setSelectionMode(mode);
    showActiveCell();
}

void vaSpread::applyEditing() {
    const int mode = m_settings[OperationMode];
    m_model->setEditing(!m_behaviour[Protect], mode == OperationModeNormal || mode == OperationModeRow);
}

void vaSpread::onCurrentChanged(const QModelIndex& current) {
    if (m_steering || m_model->isDeferred() || !current.isValid())
        return;
    m_activeRow = current.row() + 1;
    m_activeCol = current.column() + 1;
    Q_EMIT ActiveCellChanged(m_activeCol, m_activeRow);
}

void vaSpread::onRowResized(int logical, int newSize) {
    if (!m_steering && !m_model->isDeferred())
        m_rowHeights[logical + 1] = newSize;
}

} // namespace marvek::shared
