#include "manager/window/ManagerListing.h"

#include "shared/grid/clsSpread.h"

namespace marvek::manager {

ManagerListing::ManagerListing(std::shared_ptr<const ManagerRows> rows, std::vector<size_t> shown)
    : m_rows(std::move(rows)), m_shown(std::move(shown)) {
}

QString ManagerListing::text(int row, int col) const {
    return m_rows->text(rowIndex(row), col - 1);
}

quint32 ManagerListing::backColor(int row) const {
    return shared::clsSpread::RowColor(m_rows->text(rowIndex(row), ManagerRows::ColourFlagField));
}

} // namespace marvek::manager
