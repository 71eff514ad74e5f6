#pragma once

#include "SpreadModel.h"

#include <QImage>
#include <QString>
#include <QVariant>
#include <QWidget>
#include <array>
#include <map>
#include <optional>

class QTableView;

namespace marvek::shared {

// The spreadsheet grid control of the result screen and the manager window: a QTableView over a
// SpreadModel, driven through the members of a classic spreadsheet control.
//
// Addressing: (Row, Col) is the current cell; with BlockMode on, the block from (Row, Col) to
// (Row2, Col2) (either corner first). The cell properties (BackColor, CellType, TypeHAlign, the
// combo-box and picture properties) write to the current cell, or to every cell of the block while
// BlockMode is on, and read from the current cell. Row -1 or column -1 stands for all rows or all
// columns. Rows and columns count from 1; row 0 is the header row and column 0 the header column.
// Writes outside 1..MaxRows x 1..MaxCols change nothing.
//
// The active cell is the one the user sees selected; Action 0 moves it to (Row, Col). There is no
// active cell while the grid has no rows or no columns; when rows appear it is (1, 1).
class vaSpread : public QWidget {
    Q_OBJECT
public:
    // Behaviour switches kept by the grid. Protect, AllowMultiBlocks, AllowDragDrop, NoBorder and
    // ProcessTab change the view; the others are kept and read back only.
    enum Behaviour {
        EditModePermanent,
        EditModeReplace,
        AutoClipboard,
        ArrowsExitEditMode,
        RetainSelBlock,
        Protect,
        AllowMultiBlocks,
        MoveActiveOnFocus,
        AllowCellOverflow,
        NoBeep,
        AllowDragDrop,
        NoBorder,
        ProcessTab,
        AutoSize,
        AutoCalc,
        AllowUserFormulas,
        FormulaSync,
        AllowEditOverflow,
        BehaviourCount
    };
    // Integer settings kept by the grid. OperationMode and Appearance change the view.
    enum Setting {
        ClipboardOptions,
        Appearance,
        CellNoteIndicator,
        TwoDigitYearMax,
        ButtonDrawMode,
        SelectBlockOptions,
        OperationMode,
        EditEnterAction,
        SettingCount
    };

    static constexpr int CellTypeEdit = SpreadCell::Edit;
    static constexpr int CellTypeComboBox = SpreadCell::ComboBox;
    static constexpr int CellTypePicture = SpreadCell::Picture;

    // Action codes: make (Row, Col) the active cell; clear the text of the block (or the current
    // cell); clear the selection marks (the user's selected rows or cells).
    static constexpr int ActionActiveCell = 0;
    static constexpr int ActionClearText = 12;
    static constexpr int ActionSelModeClear = 29;

    // OperationMode values.
    static constexpr int OperationModeNormal = 0;
    static constexpr int OperationModeRead = 1;
    static constexpr int OperationModeRow = 2;
    static constexpr int OperationModeSingle = 3;
    static constexpr int OperationModeMulti = 4;
    static constexpr int OperationModeExtended = 5;

    explicit vaSpread(QWidget* parent = nullptr);
    ~vaSpread() override;

    bool behaviour(Behaviour which) const {
        return which >= 0 && which < BehaviourCount && m_behaviour[which];
    }
    void setBehaviour(Behaviour which, bool on);
    int setting(Setting which) const { return which >= 0 && which < SettingCount ? m_settings[which] : 0; }
    void setSetting(Setting which, int value);

    int Row() const { return m_row; }
    void setRow(int row) { m_row = row; }
    int Col() const { return m_col; }
    void setCol(int col) { m_col = col; }
    int Row2() const { return m_row2; }
    void setRow2(int row) { m_row2 = row; }
    int Col2() const { return m_col2; }
    void setCol2(int col) { m_col2 = col; }
    bool BlockMode() const { return m_blockMode; }
    void setBlockMode(bool on) { m_blockMode = on; }

    int MaxRows() const;
    void setMaxRows(int rows);
    // Replaces every row by the rows of listing, read from it as they are shown (see SpreadModel);
    // row heights of single rows are dropped with the old rows. The active cell becomes (1, 1).
    void list(std::shared_ptr<const SpreadListing> listing);
    int MaxCols() const;
    void setMaxCols(int cols);
    // Frozen (non-scrolling) leading rows and columns: kept, not drawn; the programs use 0 only.
    int ColsFrozen() const { return m_colsFrozen; }
    void setColsFrozen(int cols) { m_colsFrozen = cols; }
    int RowsFrozen() const { return m_rowsFrozen; }
    void setRowsFrozen(int rows) { m_rowsFrozen = rows; }

    // Runs one of the action codes above; other codes do nothing.
    void setAction(int action);
    int ActiveRow() const { return m_activeRow; }
    int ActiveCol() const { return m_activeCol; }

    // Background colour in blue-green-red order (0xFFD5AA is a light blue). A cell never coloured
    // reads as white, 0xFFFFFF.
    quint32 BackColor() const;
    void setBackColor(quint32 color);
    int CellType() const;
    void setCellType(int type);
    int TypeHAlign() const;
    void setTypeHAlign(int align);
    int TypeVAlign() const;
    void setTypeVAlign(int align);
    bool TypePictMaintainScale() const;
    void setTypePictMaintainScale(bool on);
    bool TypePictStretch() const;
    void setTypePictStretch(bool on);
    QImage TypePictPicture() const;
    void setTypePictPicture(const QImage& picture);
    // The items of a combo-box cell, separated by tab characters. Writing a list makes the cells
    // combo-box cells with their first item selected.
    QString TypeComboBoxList() const;
    void setTypeComboBoxList(const QString& list);
    // The selected item's index (-1 none); an index outside the list selects nothing.
    int TypeComboBoxCurSel() const;
    void setTypeComboBoxCurSel(int index);

    // Painting: off suspends painting and view updates until it is switched on again, when the view
    // takes the whole grid over in one step.
    bool ReDraw() const { return m_reDraw; }
    void setReDraw(bool on);

    // Row heights in pixels. Row 0 is the header row; writing row -1 sets every row, the header row
    // included. Rows added later get the height last written to row -1.
    double RowHeight(int row) const;
    void setRowHeight(int row, double height);
    // Column widths in pixels and hidden columns (column 1 is the first data column).
    double ColWidth(int col) const;
    void setColWidth(int col, double width);
    bool ColHidden(int col) const;
    void setColHidden(int col, bool hidden);

    // The text of a cell: row 0 the column headers, column 0 the row headers. A combo-box cell's
    // text is its selected item; writing one selects the item with that text (none when absent).
    // GetText is false, and value untouched, outside the grid.
    void SetText(int col, int row, const QVariant& value);
    bool GetText(int col, int row, QVariant& value) const;
    // The text of the current cell (Row, Col).
    QString Text() const;
    void setText(const QString& text);

    QTableView* view() const { return m_view; }
    const SpreadModel& model() const { return *m_model; }

Q_SIGNALS:
    // The user made (Col, Row) the active cell, with the mouse or the keyboard.
    void ActiveCellChanged(int Col, int Row);

private:
    SpreadRange addressed() const;
    template <typename Change> void updateAddressed(Change change);
    const SpreadCell& currentCell() const;
    void moveActiveCell(int row, int col);
    void fitActiveCell();
    void showActiveCell();
    void showRowHeights();
    void showHeaderHeight();
    void applyHeaderHeight();
    void applySelectionMode();
    void applyEditing();
    void onCurrentChanged(const QModelIndex& current);
    void onRowResized(int logical, int newSize);

    SpreadModel* m_model = nullptr; // child of this widget
    QTableView* m_view = nullptr;   // child of this widget
    std::array<bool, BehaviourCount> m_behaviour{};
    std::array<int, SettingCount> m_settings{};
    int m_row = 1;
    int m_col = 1;
    int m_row2 = 1;
    int m_col2 = 1;
    bool m_blockMode = false;
    int m_colsFrozen = 0;
    int m_rowsFrozen = 0;
    int m_activeRow = 0;
    int m_activeCol = 0;
    bool m_reDraw = true;
    std::optional<double> m_allRowsHeight;
    std::optional<double> m_headerHeight;
    std::map<int, double> m_rowHeights; // rows whose height differs from m_allRowsHeight
    bool m_headerHeightPending = false;
    bool m_steering = false; // the view changes because this class told it to
};

} // namespace marvek::shared
