#pragma once

#include "setup/app/ScreenFlow.h"

#include <QString>
#include <utility>

namespace marvek::setup {

// The two lines the result screen shows: ErrorLine1 and ErrorLine2, or M064 and M065 when both are
// empty (the run went well).
std::pair<QString, QString> ResultLines(const SetupContext& ctx);

// What the result screen's end button does once its closing text shows: a run that neither
// succeeded nor was cancelled ends the program with the clean-up (EndSetup(False)); otherwise the
// clean-up batch runs on UnzipTempDir, the installed manuals are repaired and the closing screen opens.
void FinishResult(SetupContext& ctx, ScreenFlow& flow);

// A stand-in for the result screen until its grid exists: on the next turn of the event loop it shows
// the two result lines in a plain box (OK, information icon, titled AppTitle = M034) and then finishes
// as the result screen does.
void OpenResultStandIn(SetupContext& ctx, ScreenFlow& flow);

} // namespace marvek::setup
