#!/usr/bin/env bash
# Installs every Debian package the build, the tests, the fuzzers and the sample CD need.
# dpkg-dev (dpkg-shlibdeps) names the runtime package's Depends; lintian checks the package.
# libclang-rt-dev brings libFuzzer (libclang_rt.fuzzer); llvm brings llvm-symbolizer for readable reports;
# lld links the builds' many programs faster.
# fuseiso mounts the sample CD's ISO image without root (the read-only CD test, the demonstration).
# Safe to run again: apt-get skips what is already there.
set -euo pipefail

packages=(
  build-essential cmake ninja-build ccache pkg-config git
  qt6-base-dev qt6-base-dev-tools qt6-webengine-dev qt6-webengine-dev-tools
  qt6-pdf-dev libqt6webenginecore6-bin qt6-l10n-tools
  libgl-dev libxkbcommon-dev libvulkan-dev
  libsqlite3-dev sqlite3 libarchive-dev libarchive-tools libacl1-dev acl
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth x11-utils xdg-utils desktop-file-utils imagemagick
  fonts-noto-cjk fonts-dejavu-core
  zip unzip fuseiso
  dpkg-dev lintian file
  clang-format
  clang libclang-rt-dev llvm lld
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if [ "${#missing[@]}" -gt 0 ]; then
  sudo_cmd=""
  [ "$(id -u)" -eq 0 ] || sudo_cmd="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $sudo_cmd apt-get update -q
  $sudo_cmd apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
