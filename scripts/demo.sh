#!/usr/bin/env bash
# Sets up a fresh Debian machine, builds the suite and the sample service-manual CD, puts the CD in
# drive D: of a demo machine prefix and opens the CD's start page in the manual browser Pagora.
# Without a display it runs under Xvfb and saves a screenshot to out/demo.png instead.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

build=build-demo
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMARVEK_BUILD_TESTS=OFF -DMARVEK_BUILD_BENCH=OFF
cmake --build "$build" --target Pagora sample_cd

export MARVEK_ROOT="${MARVEK_ROOT:-$PWD/out/demo-machine}"
mkdir -p "$MARVEK_ROOT/drives/c" out
ln -sfn "$PWD/$build/sample-cd" "$MARVEK_ROOT/drives/d"
[ "$(id -u)" -ne 0 ] || export QTWEBENGINE_DISABLE_SANDBOX=1

pagora="$PWD/$build/browser/Pagora"
page="$PWD/$build/sample-cd/index.html"

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
    exec "$pagora" "$page"
fi

echo "No display: running under Xvfb and saving a screenshot to out/demo.png"
xvfb-run -a -s "-screen 0 1280x900x24" bash -c '
    "$0" "$1" &
    pid=$!
    sleep 8
    import -window root out/demo.png
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
' "$pagora" "$page"
echo "Screenshot: out/demo.png"
