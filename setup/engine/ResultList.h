#pragma once

#include "setup/engine/SetupContext.h"

#include <QString>
#include <QStringList>
#include <array>
#include <vector>

namespace marvek::setup {

// The fixed text of status "9", the same in every language.
inline constexpr char NotImportedText[] = "取込対象外";

inline constexpr int ResultColumnCount = 6;
using ResultRow = std::array<QString, ResultColumnCount>;

// The header texts of the six columns: M035, M037, M038, M068, M069, M055.
ResultRow ResultHeaders(const shared::SharedContext& ctx);

// The sort key of manual-table entry `index`: OrderNo "00", Year as a whole number "0000", Kubun, the
// index "00" (as many digits as the table's largest index needs, at least two).
QString ResultSortKey(const shared::ManualEntry& entry, int index, int count);

// The table's indexes (from 1) in display order: ascending text order of the sort keys.
std::vector<int> ResultOrder(const shared::ManualTable& table);

// M052, M053, M054 for status "1", "2", "3"; NotImportedText for "9"; empty otherwise.
QString ResultStatusText(const shared::SharedContext& ctx, const QString& status);

// The grid rows in display order, one per entry whose Done is "1": Model_desc, Year (Kubun when the
// language is "11"), Lang, Pub_No, Version, the status text.
std::vector<ResultRow> ResultRows(const SetupContext& ctx);

// The two message lines: ErrorLine1 and ErrorLine2 when either is set, else M064 and M065.
std::array<QString, 2> ResultMessageLines(const SetupContext& ctx);

// What the result screen does after its button's work.
enum class ResultNext {
    EndProgram,        // the run neither succeeded nor was cancelled: EndSetup(False)
    ShowClosingScreen, // the scratch folder is removed and the repair done: show frmTarm, unload
};

// The button's flow after the form has shown M030: when the run neither succeeded nor was cancelled,
// nothing is done here and the form ends the program with clean-up. Otherwise the clean-up batch
// removes UnzipTempDir (through the batch's refusals) and the post-installation repair runs.
ResultNext FinishResult(SetupContext& ctx);

} // namespace marvek::setup
