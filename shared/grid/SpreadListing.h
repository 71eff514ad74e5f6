#pragma once

#include <QString>
#include <QtGlobal>

namespace marvek::shared {

// Rows a grid lists without holding a copy of them: a table kept by whoever listed it, read as the
// grid paints or a cell is read. Rows and columns count from 1. What a listing returns must not change
// while a grid lists it; a changed table is listed again.
class SpreadListing {
public:
    virtual ~SpreadListing() = default;

    virtual int rowCount() const = 0;
    // The columns each row fills, from column 1; the grid's further columns stay empty and uncoloured,
    // as a row set does not reach them.
    virtual int columnCount() const = 0;
    // The text of a cell of the listing's columns.
    virtual QString text(int row, int col) const = 0;
    // The background of the row's cells: blue-green-red, 0x00BBGGRR.
    virtual quint32 backColor(int row) const = 0;
};

} // namespace marvek::shared
