#pragma once

#include <QPointer>
#include <QString>
#include <QVariant>
#include <QVariantList>
#include <QtGlobal>
#include <memory>
#include <vector>

class QWidget;

namespace marvek::platform {
class Machine;
}

namespace marvek::shared {

class vaSpread;
class SpreadListing;

// The grid wrapper of the screens that list manuals: it registers each grid of a screen under a
// number (from 1) and gives the fill, clear and combo-box operations one fixed behaviour. Every
// method returns normally; a grid number that names no registered grid changes nothing.
class clsSpread {
public:
    // The background of a row written with colour flag "0", and of every other row.
    static constexpr quint32 FlaggedColor = 16766378; // 0xFFD5AA, light blue
    static constexpr quint32 PlainColor = 16777215;   // 0xFFFFFF, white

    // Picture cells load their picture files through machine (Windows paths); without one a
    // picture cell gets an empty picture.
    clsSpread();
    explicit clsSpread(const platform::Machine& machine);

    // Empties the table of grids.
    void clsSpead_Initialize();
    // Registers the grid and applies the behaviour settings; the grid's number, or 0 for no grid.
    qint16 SpdIni(vaSpread* SpdObj);
    // Clears the text of a block (-1: from the first row / column, up to the last one) and sets the
    // row count unless ChangeMaxRow is -1; row 1 becomes the active row when rows remain.
    void SpdClear(qint16 grid, int ChangeMaxRow, int Row1, int Col1, int Row2, int Col2);
    // Writes Items into columns 1, 2, 3, ... of row Row with SpdItemSet.
    void SpdItemRowSet(qint16 grid, int Row, const QString& SellColer, const QVariantList& Items);
    // Writes one cell: light blue when SellColer is "0", else white; a picture cell gets the picture
    // from the file vItem names, any other cell vItem as its text.
    void SpdItemSet(qint16 grid, int Row, int Col, const QString& SellColer, const QVariant& vItem);
    // The background of a row written with the colour flag SellColer.
    static quint32 RowColor(const QString& SellColer) {
        return SellColer == u"0" ? FlaggedColor : PlainColor;
    }
    // For a long list of text rows: the grid's rows become the listing's rows, as SpdClear (no rows),
    // SpdMaxRowsChg and one SpdItemRowSet per row would make them (the listing's colours coming from
    // RowColor), without copying them into the grid; row 1 becomes the active row.
    void SpdListRows(qint16 grid, std::shared_ptr<const SpreadListing> listing);
    // The cell's text; the empty text when there is none.
    QVariant SpdItemGet(qint16 grid, int Row, int Col) const;
    // Sets the row count; every row gets the row-1 height of registration, the header row keeps its own.
    void SpdMaxRowsChg(qint16 grid, int ChangeMaxRow);
    // Makes rows sRow..eRow (negative: the first / the last row) of column ColNo drop-down lists of
    // the tab-separated items CmbList, each with its first item selected.
    void SpdCmboSet(qint16 grid, int ColNo, const QString& CmbList, int sRow, int eRow);
    // Painting off (start) and on again (end) for every grid on the form, around a long fill.
    void SplListingStart(const QWidget* MyForm) const;
    void SplListingEnd(const QWidget* MyForm) const;

private:
    struct Entry {
        QPointer<vaSpread> control; // null once the grid is gone; the entry stays taken
        bool taken = false;
        double rowHeight1 = 0; // row 1's height at registration
    };

    Entry* entry(qint16 grid);
    const Entry* entry(qint16 grid) const;
    vaSpread* spread(qint16 grid) const;

    const platform::Machine* m_machine = nullptr;
    std::vector<Entry> m_entries; // entry 0 is never used
};

} // namespace marvek::shared
