#pragma once

#include "browser_setup/app/PagosetContext.h"

#include <QString>

namespace marvek::browser_setup {

// The browser's installer package in the "Param" folder beside the program, by language.
inline constexpr auto PackageJapanese = "PG002JP.exe";
inline constexpr auto PackageOther = "PG002.exe";
inline constexpr auto PackageFolder = "Param";
// The package's whole command line: a silent installation without cancel and without restart.
inline constexpr auto InstallerSwitches = "/SP- /VERYSILENT /NOCANCEL /NORESTART";

// "PG002JP.exe" for the language code "11", else "PG002.exe".
QString PackageName(const QString& languageCode);

// Runs the package (Windows path) with the installer switches and waits for its end, letting pending
// events run at every turn; there is no time limit and the exit code is not looked at. False when no
// file is at the path or it cannot be started.
bool GFncSetup_Run(const PagosetContext& ctx, const QString& packagePath);

} // namespace marvek::browser_setup
