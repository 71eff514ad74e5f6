#pragma once

#include "manager/app/ManagerRows.h"
#include "shared/grid/SpreadListing.h"

#include <memory>
#include <vector>

namespace marvek::manager {

// The manuals as the grid lists them: the rows read from the database (shared, never changed while
// listed) and the ones the filter lets through, in grid order. Grid row r is row shown[r - 1] of rows.
class ManagerListing final : public shared::SpreadListing {
public:
    ManagerListing(std::shared_ptr<const ManagerRows> rows, std::vector<size_t> shown);

    int rowCount() const override { return static_cast<int>(m_shown.size()); }
    int columnCount() const override { return ManagerColumns; }
    QString text(int row, int col) const override;
    quint32 backColor(int row) const override;

    // The index in rows of grid row r (1..rowCount()).
    size_t rowIndex(int row) const { return m_shown[static_cast<size_t>(row - 1)]; }

private:
    std::shared_ptr<const ManagerRows> m_rows;
    std::vector<size_t> m_shown;
};

} // namespace marvek::manager
