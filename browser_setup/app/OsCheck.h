#pragma once

#include "browser_setup/app/PagosetContext.h"
#include "platform/MachineInfo.h"

#include <QString>
#include <optional>

namespace marvek::browser_setup {

// The box of a version query that failed.
inline constexpr auto OsQueryFailedText = "関数が失敗しました。";

// The number of a service-pack text: from its first digit on, blanks trimmed, cut before the first
// ",", when that is a whole number ("Service Pack 2, build note" gives 2; "Service Pack 1a" and a text
// without a digit give none). A number too large for 64 bits gives the largest one.
std::optional<quint64> ServicePackNumber(const QString& servicePack);

// Whether the system is Windows XP with service pack 2 or a later version: versions compare as an
// ordering, so 5.2, 6.0 and 10.0 pass; 5.0 and 5.1 before service pack 2 do not.
bool IsSupportedOs(const platform::OsVersion& version);

// 1 when the system is supported, else 0; a failed version query shows OsQueryFailedText (OK, titled
// with the program's name) and gives 0.
int GFncOS_Check(const PagosetContext& ctx);

} // namespace marvek::browser_setup
