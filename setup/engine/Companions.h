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

// A result is a short number: a last line longer than this is no result, and a log is never read further
// back than this from its end, whatever its size.
inline constexpr qint64 MaxResultLineBytes = 4096;

// The last line of a result log as an integer (ParseResultLog's rule), read from the end of the file;
// empty when the file cannot be read or its last line is not an integer.
std::optional<qint16> ReadResultLog(const SetupContext& ctx, const QString& path);

// The result in the text of a result log: its last line as an integer. Lines end at CR LF, LF or CR, and
// a line end after the last line does not start another. Empty for an empty text, a last line that is
// not an integer, or one longer than MaxResultLineBytes.
std::optional<qint16> ParseResultLog(const QByteArray& content);

// "1.2.5" for the file version 1.2.0.5: the first, second and fourth fields.
QString ManagerVersionText(int major, int minor, int build, int revision);

} // namespace marvek::setup
