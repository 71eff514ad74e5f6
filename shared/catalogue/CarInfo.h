#pragma once

#include "shared/Context.h"
#include "shared/SystemParameters.h"
#include "shared/catalogue/ManualTable.h"

#include <QString>

namespace marvek::shared {

// The catalogue file of a CD manual folder and its one section.
inline constexpr auto CarInfoFileName = "car_info.ci";
inline constexpr auto CarInfoSection = "CAR_INFO";

// The first error line of a failed catalogue check.
inline constexpr auto CatalogueErrorLine1 = "car_info.ci data length Error program abort";

// Reads the nine catalogue values of ctx.SourceRoot + folder + "\car_info.ci" (section "CAR_INFO",
// each through ReadIniValue: trimmed, at most 255 characters, empty when absent) into the entry, in the
// order Pub_No, Version, Model_desc, Model_ID, Lang, Ldup, Year, Kubun, Country.
void ReadCarInfo(const SharedContext& ctx, const QString& folder, ManualEntry& entry);

// The length rule of one value: with blanks trimmed, not empty unless allowEmpty, and at most limit
// characters (a length equal to the limit passes).
bool CheckColumnLength(const QString& value, int limit, bool allowEmpty);

// Checks the nine values of the entry against ColumnLengths in the order Pub_No, Model_desc, Model_ID,
// Version, Year, Kubun, Country, Lang, Ldup; only Kubun may be empty. At the first failing field it sets
// the installer's two error lines:
//   ErrorLine1 = "car_info.ci data length Error program abort"
//   ErrorLine2 = "PubNo = " + Pub_No + " [ " + field + " length = " + length + " ]"
// and returns false without looking at the later fields. When all pass the lines are not touched.
bool ValidateCatalogueEntry(const ManualEntry& entry, const SystemParameters& parameters, QString& ErrorLine1,
                            QString& ErrorLine2);

} // namespace marvek::shared
