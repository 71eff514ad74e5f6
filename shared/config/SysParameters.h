#pragma once

#include "shared/Context.h"

namespace marvek::shared {

inline constexpr auto SystemInformationSection = "SYSTEM INFORMATION";
inline constexpr auto ColumnLengthSection = "MDB COLUMN LENGTH";

// Reads every key of SysParameter.ini into ctx.systemParameters, in the file's order, storing each value
// as it is read. An integer key converts when its text is a decimal number (an optional sign, blanks
// around it allowed) that fits its field; the first key that does not convert stops the load (the keys
// read so far keep their new values) and the result is false. True when every key converted.
bool LoadSysParameters(SharedContext& ctx);

} // namespace marvek::shared
