#include "SpreadModel.h"

#include <QBrush>
#include <QColor>
#include <QPoint>
#include <algorithm>
#include <utility>

namespace marvek::shared {

namespace {

Qt::Alignment alignmentOf(const SpreadCell& cell) {
    Qt::Alignment horizontal = Qt::AlignLeft;
    if (cell.hAlign == 1)
        horizontal = Qt::AlignRight;
    else if (cell.hAlign == 2)
        horizontal = Qt::AlignHCenter;
    Qt::Alignment vertical = Qt::AlignVCenter;
    if (cell.vAlign == 0)
        vertical = Qt::AlignTop;
    else if (cell.vAlign == 1)
        vertical = Qt::AlignBottom;
    return horizontal | vertical;
}

QVariant cellData(const SpreadCell& cell, int role) {
    switch (role) {
    case Qt::DisplayRole:
        return cell.cellType == SpreadCell::Picture ? QVariant() : QVariant(cell.text);
    case Qt::EditRole:
        return cell.cellType == SpreadCell::ComboBox ? QVariant(cell.comboCurSel) : QVariant(cell.text);
    case Qt::BackgroundRole:
        if (cell.backColor == SpreadCell::NoColor)
            return {};
        // The colour value is blue-green-red: red in the low byte.
        return QBrush(QColor(int(cell.backColor & 0xFF), int((cell.backColor >> 8) & 0xFF),
                             int((cell.backColor >> 16) & 0xFF)));
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(alignmentOf(cell));
    case SpreadModel::CellTypeRole:
        return cell.cellType;
    case SpreadModel::ComboItemsRole:
        return cell.comboItems();
    case SpreadModel::PictureRole:
        return cell.picture();
    case SpreadModel::PictureScaleRole:
        return QPoint(cell.pictMaintainScale() ? 1 : 0, cell.pictStretch() ? 1 : 0);
    default:
        return {};
    }
}

} // namespace

const QStringList& SpreadCell::comboItems() const {
    static const QStringList none;
    return extras ? extras->comboItems : none;
}

const QImage& SpreadCell::picture() const {
    static const QImage none;
    return extras ? extras->picture : none;
}

SpreadCellExtras& SpreadCell::extrasToWrite() {
    if (!extras)
        extras = std::make_unique<SpreadCellExtras>();
    return *extras;
}

int SpreadModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_rows;
}

int SpreadModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_cols;
}

QVariant SpreadModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || !contains(index.row() + 1, index.column() + 1))
        return {};
    if (m_listing) {
        SpreadCell listed;
        if (index.column() < m_listing->columnCount()) {
            listed.text = m_listing->text(index.row() + 1, index.column() + 1);
            listed.backColor = m_listing->backColor(index.row() + 1);
        }
        return cellData(listed, role);
    }
    return cellData(m_cells[offset(index.row() + 1, index.column() + 1)], role);
}

bool SpreadModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::EditRole || !index.isValid() || !(flags(index) & Qt::ItemIsEditable))
        return false;
    holdCells();
    SpreadCell& c = m_cells[offset(index.row() + 1, index.column() + 1)];
    if (c.cellType == SpreadCell::ComboBox)
        selectComboItem(c, value.toInt());
    else
        c.text = value.toString();
    notifyChanged({index.row() + 1, index.column() + 1, index.row() + 1, index.column() + 1});
    return true;
}

QVariant SpreadModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    if (const auto text = headerText(orientation, section + 1))
        return *text;
    return orientation == Qt::Horizontal ? columnLetters(section + 1) : QString::number(section + 1);
}

Qt::ItemFlags SpreadModel::flags(const QModelIndex& index) const {
    if (!index.isValid() || !contains(index.row() + 1, index.column() + 1))
        return Qt::NoItemFlags;
    return flagsFor(m_listing ? SpreadCell::Edit
                              : m_cells[offset(index.row() + 1, index.column() + 1)].cellType);
}

Qt::ItemFlags SpreadModel::flagsFor(int cellType) const {
    Qt::ItemFlags result = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    const bool editable = cellType == SpreadCell::ComboBox  ? m_editAny
                          : cellType == SpreadCell::Picture ? false
                                                            : m_editAny && m_editText;
    if (editable)
        result |= Qt::ItemIsEditable;
    return result;
}

void SpreadModel::setMaxRows(int rows) {
    if (rows < 0 || rows == m_rows)
        return;
    holdCells();
    const int old = m_rows;
    if (!m_deferred) {
        if (rows > old)
            beginInsertRows({}, old, rows - 1);
        else
            beginRemoveRows({}, rows, old - 1);
    }
    m_rows = rows;
    m_cells.resize(size_t(rows) * size_t(m_cols));
    if (m_rowHeaders.size() > size_t(rows) + 1)
        m_rowHeaders.resize(size_t(rows) + 1);
    if (!m_deferred) {
        if (rows > old)
            endInsertRows();
        else
            endRemoveRows();
    }
}

void SpreadModel::setMaxCols(int cols) {
    if (cols < 0 || cols == m_cols)
        return;
    holdCells();
    const int old = m_cols;
    if (!m_deferred) {
        if (cols > old)
            beginInsertColumns({}, old, cols - 1);
        else
            beginRemoveColumns({}, cols, old - 1);
    }
    std::vector<SpreadCell> cells(size_t(m_rows) * size_t(cols));
    const int kept = std::min(old, cols);
    for (int row = 0; row < m_rows; ++row)
        for (int col = 0; col < kept; ++col)
            cells[size_t(row) * size_t(cols) + size_t(col)] =
                std::move(m_cells[size_t(row) * size_t(old) + size_t(col)]);
    m_cells = std::move(cells);
    m_cols = cols;
    if (m_colHeaders.size() > size_t(cols) + 1)
        m_colHeaders.resize(size_t(cols) + 1);
    if (!m_deferred) {
        if (cols > old)
            endInsertColumns();
        else
            endRemoveColumns();
    }
}

void SpreadModel::list(std::shared_ptr<const SpreadListing> listing) {
    if (!m_deferred)
        beginResetModel();
    m_cells.clear();
    m_cells.shrink_to_fit();
    m_listing = std::move(listing);
    m_rows = m_listing ? std::max(m_listing->rowCount(), 0) : 0;
    m_rowHeaders.clear();
    if (!m_deferred)
        endResetModel();
}

void SpreadModel::holdCells() const {
    if (!m_listing)
        return;
    const std::shared_ptr<const SpreadListing> listing = std::exchange(m_listing, nullptr);
    m_cells.resize(size_t(m_rows) * size_t(m_cols));
    const int listedCols = std::min(m_cols, listing->columnCount());
    for (int row = 1; row <= m_rows; ++row) {
        const quint32 color = listing->backColor(row);
        for (int col = 1; col <= listedCols; ++col) {
            SpreadCell& cell = m_cells[offset(row, col)];
            cell.text = listing->text(row, col);
            cell.backColor = color;
        }
    }
}

QString SpreadModel::text(int row, int col) const {
    if (!contains(row, col))
        return {};
    if (m_listing)
        return col <= m_listing->columnCount() ? m_listing->text(row, col) : QString();
    return m_cells[offset(row, col)].text;
}

const SpreadCell* SpreadModel::cell(int row, int col) const {
    if (!contains(row, col))
        return nullptr;
    holdCells();
    return &m_cells[offset(row, col)];
}

void SpreadModel::setHeaderText(Qt::Orientation orientation, int section, const QString& text) {
    const int count = orientation == Qt::Horizontal ? m_cols : m_rows;
    if (section < 1 || section > count)
        return;
    auto& headers = orientation == Qt::Horizontal ? m_colHeaders : m_rowHeaders;
    if (headers.size() <= size_t(section))
        headers.resize(size_t(section) + 1);
    headers[size_t(section)] = text;
    if (!m_deferred)
        Q_EMIT headerDataChanged(orientation, section - 1, section - 1);
}

std::optional<QString> SpreadModel::headerText(Qt::Orientation orientation, int section) const {
    const auto& headers = orientation == Qt::Horizontal ? m_colHeaders : m_rowHeaders;
    if (section < 1 || size_t(section) >= headers.size())
        return std::nullopt;
    return headers[size_t(section)];
}

void SpreadModel::setEditing(bool textCells, bool anyCell) {
    m_editText = textCells;
    m_editAny = anyCell;
}

void SpreadModel::beginDeferral() {
    if (m_deferred)
        return;
    beginResetModel();
    m_deferred = true;
}

void SpreadModel::endDeferral() {
    if (!m_deferred)
        return;
    m_deferred = false;
    endResetModel();
}

QString SpreadModel::columnLetters(int col) {
    QString letters;
    for (int n = col; n > 0; n = (n - 1) / 26)
        letters.prepend(QChar(u'A' + (n - 1) % 26));
    return letters;
}

void SpreadModel::selectComboItem(SpreadCell& cell, int index) {
    if (index < 0 || index >= cell.comboItems().size()) {
        cell.comboCurSel = -1;
        cell.text.clear();
        return;
    }
    cell.comboCurSel = index;
    cell.text = cell.comboItems().at(index);
}

SpreadRange SpreadModel::clipped(SpreadRange range) const {
    return {std::max(range.row1, 1), std::max(range.col1, 1), std::min(range.row2, m_rows),
            std::min(range.col2, m_cols)};
}

void SpreadModel::notifyChanged(const SpreadRange& range) {
    if (m_deferred)
        return;
    Q_EMIT dataChanged(index(range.row1 - 1, range.col1 - 1), index(range.row2 - 1, range.col2 - 1));
}

} // namespace marvek::shared
