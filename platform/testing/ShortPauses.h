#pragma once

#include "platform/testing/ScopedEnvironment.h"

namespace marvek::testing {

// The cap on every sleep of the programs a test starts (RealClock::fromEnvironment), passed on to the
// programs they start in turn: their prescribed pauses keep their order, not their length.
inline constexpr char MaxSleepVariable[] = "MARVEK_MAX_SLEEP_MS";
inline constexpr char ShortPauseMs[] = "10";

// For tests of whole programs: short pauses in every program started while the object lives.
class ShortPauses {
private:
    ScopedEnvironment m_cap{MaxSleepVariable, ShortPauseMs};
};

} // namespace marvek::testing
