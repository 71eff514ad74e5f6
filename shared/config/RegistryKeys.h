#pragma once

namespace marvek::shared {

// The suite's keys under HKEY_LOCAL_MACHINE, and the value that names a program's folder in them.
// Key names compare without regard to case.
inline constexpr auto ScanluxKey = "SOFTWARE\\MARVEK\\Scanlux";
inline constexpr auto ManualLinkKey = "SOFTWARE\\Marvek\\Scanlux\\ManualLink";
inline constexpr auto ViewerKey = "SOFTWARE\\Marvek\\Scanlux\\MarvekView";
inline constexpr auto InstallDirValue = "InstallDir";

} // namespace marvek::shared
