#include "SpreadModel.h"

#include <QBrush>
#include <QColor>
#include <QPoint>
#include <algorithm>

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
    const SpreadCell* c = index.isValid() ? cell(index.row() + 1, index.column() + 1) : nullptr;
    if (!c)
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return c->cellType == SpreadCell::Picture ? QVariant() : QVariant(c->text);
    case Qt::EditRole:
        return c->cellType == SpreadCell::ComboBox ? QVariant(c->comboCurSel) : QVariant(c->text);
    case Qt::BackgroundRole:
        if (c->backColor == SpreadCell::NoColor)
            return {};
        // The colour value is blue-green-red: red in the low byte.
        return QBrush(QColor(int(c->backColor & 0xFF), int((c->backColor >> 8) & 0xFF),
                             int((c->backColor >> 16) & 0xFF)));
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(alignmentOf(*c));
    case CellTypeRole:
        return c->cellType;
    case ComboItemsRole:
        return c->comboItems();
    case PictureRole:
        return c->picture();
    case PictureScaleRole:
        return QPoint(c->pictMaintainScale() ? 1 : 0, c->pictStretch() ? 1 : 0);
    default:
        return {};
    }
}

bool SpreadModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::EditRole || !index.isValid() || !(flags(index) & Qt::ItemIsEditable))
        return false;
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
    const SpreadCell* c = index.isValid() ? cell(index.row() + 1, index.column() + 1) : nullptr;
    if (!c)
        return Qt::NoItemFlags;
    Qt::ItemFlags result = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    const bool editable = c->cellType == SpreadCell::ComboBox  ? m_editAny
                          : c->cellType == SpreadCell::Picture ? false
                                                               : m_editAny && m_editText;
    if (editable)
        result |= Qt::ItemIsEditable;
    return result;
}

void SpreadModel::setMaxRows(int rows) {
    if (rows < 0 || rows == m_rows)
        return;
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

const SpreadCell* SpreadModel::cell(int row, int col) const {
    if (row < 1 || row > m_rows || col < 1 || col > m_cols)
        return nullptr;
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
