#pragma once

#include "setup/engine/InstallView.h"
#include "setup/engine/SetupContext.h"

#include <QString>
#include <QtGlobal>
#include <optional>

namespace marvek::setup {

// Step 2a: the manager program (installed when missing or older than the CD's installer), its start
// menu shortcut and version file, then the database upgrade.
bool InstallManagerStep(SetupContext& ctx, InstallView& view);

// Step 2b: the manual-link component and the viewer, each judged by the result log it leaves; a failed
// one asks whether to go on.
bool InstallLinkAndViewerStep(SetupContext& ctx, InstallView& view);

// Starts a companion installer hidden and waits for it; false when it could not be started.
bool RunInstaller(SetupContext& ctx, const QString& commandLine);

// The last line of a result log as an integer; empty when the file cannot be read or its last line is
// not an integer.
std::optional<qint16> ReadResultLog(const SetupContext& ctx, const QString& path);

// The result in the text of a result log: its last line (a line end after it does not start another)
// as an integer; empty for an empty text or a last line that is not an integer.
std::optional<qint16> ParseResultLog(const QByteArray& content);

// "1.2.5" for the file version 1.2.0.5: the first, second and fourth fields.
QString ManagerVersionText(int major, int minor, int build, int revision);

} // namespace marvek::setup
