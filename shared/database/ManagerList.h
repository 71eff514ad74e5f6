#pragma once

#include "shared/database/clsMDB.h"

#include <QtGlobal>
#include <array>
#include <functional>
#include <string_view>
#include <vector>

namespace marvek::shared {

// The fields of a row of the manager's list.
enum ManagerListField {
    ListPubNo,
    ListInsPath,
    ListModelDesc,
    ListYearOrClass, // Year; Kubun in the Japanese list
    ListLanguage,
    ListAdjustFlag,
    ListPdfFlag,
    ListVersion,
    ManagerListFieldCount
};
using ManagerListRow = std::array<std::string_view, ManagerListFieldCount>;

// The manager's list: every M_manage row with the PDF flag of its M_type row, in the order of its model
// in M_order, then by year (and class in the Japanese list), then by publication number. The rows are
// those of
//     SELECT ... FROM (M_manage MM LEFT JOIN M_type MT ON MM.Pub_No = MT.Pub_No)
//         LEFT JOIN M_order MO ON MM.Model_ID = MO.Model_ID ORDER BY OrderNo, Year[, Kubun], MM.Pub_No
// with the engine's comparisons and collations, but joined and sorted here from one plain scan of each
// table (the engine's join and sorter are most of the manager's start on a long list). The fields are
// the values' texts in UTF-8 (NULL an empty text) and last until the visit returns. False when a read
// fails.
bool ReadManagerListRows(clsMDB& db, bool japanese, const std::function<void(const ManagerListRow&)>& visit);

// The list in one pass, for a caller that keeps it: the rows as they are read (not yet in the list's
// order), then the order. expect, when set, is told before the first row about how many rows come (at
// most a million: a hint for making room, never a limit).
struct ManagerListReading {
    std::function<void(size_t rows)> expect;
    std::function<void(const ManagerListRow&)> row;
};
// The tables are read in one read transaction. order[i] is the place, in reading order, of the list's
// row i. When it returns false the rows it gave
// are not the list and must be dropped.
bool ReadManagerListRows(clsMDB& db, bool japanese, const ManagerListReading& reading,
                         std::vector<quint32>& order);

} // namespace marvek::shared
