#pragma once

#include "SpreadListing.h"

#include <QAbstractTableModel>
#include <QImage>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>
#include <vector>

namespace marvek::shared {

// What only combo-box and picture cells use, kept apart so that the many plain text cells stay small.
struct SpreadCellExtras {
    QStringList comboItems;
    QImage picture;
    bool pictMaintainScale = false;
    bool pictStretch = false;
};

// One cell of the grid. A combo-box cell's text is its selected item (empty when none is selected).
struct SpreadCell {
    static constexpr quint32 NoColor = 0xFFFFFFFFu; // the view's own background
    // Cell types.
    static constexpr int Edit = 1;
    static constexpr int ComboBox = 8;
    static constexpr int Picture = 9;

    QString text;
    std::unique_ptr<SpreadCellExtras> extras; // none until a combo list or a picture property is set
    quint32 backColor = NoColor;              // blue-green-red: 0x00BBGGRR
    int comboCurSel = -1;
    int cellType = Edit;
    int hAlign = 0; // 0 left, 1 right, 2 centre
    int vAlign = 2; // 0 top, 1 bottom, 2 centre

    const QStringList& comboItems() const;
    const QImage& picture() const;
    bool pictMaintainScale() const { return extras && extras->pictMaintainScale; }
    bool pictStretch() const { return extras && extras->pictStretch; }
    SpreadCellExtras& extrasToWrite();
};

// A block of cells, rows and columns counted from 1, both ends included; empty when row1 > row2
// or col1 > col2.
struct SpreadRange {
    int row1 = 1;
    int col1 = 1;
    int row2 = 0;
    int col2 = 0;

    bool isEmpty() const { return row1 > row2 || col1 > col2; }
};

// The cells of one grid, kept in one row-major vector. Rows and columns are counted from 1 in every
// member taking a row or a column; the model's own indexes start at 0.
//
// The rows may instead come from a listing (list): plain text cells in the listing's row colours, read
// from it as the views ask, so that a long list costs nothing until it is shown. The first change to
// a listed grid, or the first look at one of its cells as a whole (cell), copies the listing into
// cells; from then on the grid holds its rows as if they had been written one by one.
//
// While deferred (the grid's painting is switched off) the model changes without telling its views
// one change at a time: the deferral is one model reset from its start to its end, so a fill of
// thousands of rows costs one view update.
class SpreadModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // Roles beyond Qt's, read by the delegate.
    enum Role {
        CellTypeRole = Qt::UserRole + 1,
        ComboItemsRole,
        PictureRole,
        PictureScaleRole, // QPoint(maintain scale, stretch)
    };

    using QAbstractTableModel::QAbstractTableModel;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    int maxRows() const { return m_rows; }
    int maxCols() const { return m_cols; }
    // Row and column counts; a negative count is ignored. Cells beyond a shrunk count are dropped, so
    // rows added again start empty.
    void setMaxRows(int rows);
    void setMaxCols(int cols);

    // Replaces every row by the rows of listing (none: no rows); row headers written before are gone.
    void list(std::shared_ptr<const SpreadListing> listing);
    bool isListed() const { return m_listing != nullptr; }

    bool contains(int row, int col) const { return row >= 1 && row <= m_rows && col >= 1 && col <= m_cols; }
    // The text of the cell at (row, col); empty outside the grid.
    QString text(int row, int col) const;
    // The cell at (row, col), or nullptr outside 1..maxRows x 1..maxCols.
    const SpreadCell* cell(int row, int col) const;
    // Applies change to every cell of range (clipped to the grid) and tells the views once.
    template <typename Change> void updateCells(SpreadRange range, Change change) {
        range = clipped(range);
        if (range.isEmpty())
            return;
        holdCells();
        for (int row = range.row1; row <= range.row2; ++row)
            for (int col = range.col1; col <= range.col2; ++col)
                change(m_cells[offset(row, col)]);
        notifyChanged(range);
    }

    // Header texts: row 0 holds the column headers, column 0 the row headers. A header without a
    // text of its own shows the column letter or the row number.
    void setHeaderText(Qt::Orientation orientation, int section, const QString& text);
    std::optional<QString> headerText(Qt::Orientation orientation, int section) const;

    // Whether the user may type into text cells (combo cells always offer their list unless
    // the whole grid is read-only).
    void setEditing(bool textCells, bool anyCell);

    void beginDeferral();
    void endDeferral();
    bool isDeferred() const { return m_deferred; }

    static QString columnLetters(int col);
    static void selectComboItem(SpreadCell& cell, int index);

private:
    size_t offset(int row, int col) const { return size_t(row - 1) * size_t(m_cols) + size_t(col - 1); }
    SpreadRange clipped(SpreadRange range) const;
    void notifyChanged(const SpreadRange& range);
    Qt::ItemFlags flagsFor(int cellType) const;
    // Copies a listing into cells; nothing when the grid holds its cells already. The grid's content
    // stays what it was, so a const reader may do it too.
    void holdCells() const;

    // Either the listing or the cells hold the rows: m_cells is empty while m_listing is set.
    mutable std::vector<SpreadCell> m_cells;
    mutable std::shared_ptr<const SpreadListing> m_listing;
    std::vector<std::optional<QString>> m_colHeaders; // index 0 unused
    std::vector<std::optional<QString>> m_rowHeaders; // index 0 unused; grows only when written
    int m_rows = 0;
    int m_cols = 0;
    bool m_deferred = false;
    bool m_editText = false;
    bool m_editAny = true;
};

} // namespace marvek::shared
