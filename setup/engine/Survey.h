#pragma once

#include "setup/engine/SetupContext.h"

#include <QString>
#include <QtGlobal>
#include <optional>

namespace marvek::setup {

// The manual survey: every CD folder holding a catalogue file becomes an entry of ctx.ManualTable with
// its install decision. True when no entry aborted the survey (a catalogue value too long, a database
// error; the error lines are then set).
bool SurveyManuals(SetupContext& ctx);

// Appends and decides the entry of one CD folder; false when the survey must stop.
bool SurveyManual(SetupContext& ctx, const QString& folder);

// True when the database holds a later revision (character 5 of the publication number, 1-9) of the
// entry's publication. A revision character that is not a digit has no later revision.
bool NewerRevisionInstalled(SetupContext& ctx, int index);

// How a CD's copy of an installed manual compares with it, by their versions: as 16-bit whole numbers
// (one ahead is OneAhead), else as decimal numbers of any length (newer is FarAhead), else as texts
// (another text is FarAhead).
enum class VersionStep { NotNewer, OneAhead, FarAhead };
VersionStep CompareVersions(const QString& cdVersion, const QString& installedVersion);

// The installed copy of ctx.db.CurrentManual is complete for a CD entry of the given PDF flag.
bool InstalledCopyIntact(const SetupContext& ctx, const QString& cdPdfFlag);

// A version or revision as the survey compares it: a decimal integer (blanks around it and a sign
// allowed) that fits 16 bits; empty otherwise.
std::optional<qint16> SurveyNumber(const QString& text);

} // namespace marvek::setup
