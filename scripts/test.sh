#!/usr/bin/env bash
# Sets up a fresh Debian machine and runs every test: a plain build, a sanitizer build and a small clang
# build of the fuzz harnesses only.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

# Each section's heading carries the time since the start, so a slow step shows in the log.
section() { echo "== $* == (at $((SECONDS / 60))m$((SECONDS % 60))s)"; }

section "format check"
git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror

export QT_QPA_PLATFORM=offscreen
export QTWEBENGINE_DISABLE_SANDBOX=1
export QTWEBENGINE_CHROMIUM_FLAGS="--disable-gpu --no-sandbox"
source scripts/ccache-env.sh
jobs=$(nproc)

build() {
    local dir=$1
    shift
    cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DMARVEK_WERROR=ON "$@"
    cmake --build "$dir" -j "$jobs"
}
run_tests() {
    ctest --test-dir "$1" --output-on-failure -j "$jobs" --timeout 300
}

section "plain build"
build build-ci
run_tests build-ci

# The package check mostly waits (lintian, apt-get, the main job's programs): it runs while the sanitizer
# and fuzz builds compile and the fuzz harnesses run, and its report follows them. The tests after it
# wait for it, as the package and the tests make accounts and groups on this machine.
section "runtime package (checked during the next builds; report below)"
package_log=build-ci/package-check.log
bash scripts/check-package.sh build-ci >"$package_log" 2>&1 &
package_check=$!
# Whatever ends this script, the check is not left half done (an installed package, a mounted CD).
trap 'wait "$package_check" 2>/dev/null || true' EXIT

# new_delete_type_mismatch: a false report inside libQt6WebEngineCore (its own sized deletes),
# not in the suite's code; every test that shows a web page meets it. (The build runs the test programs
# too, to list their tests.)
sanitizers=(ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:new_delete_type_mismatch=0
            LSAN_OPTIONS=suppressions=$PWD/scripts/lsan.supp UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1)
section "sanitizer build (ASan + UBSan)"
(export "${sanitizers[@]}"; build build-ci-asan -DMARVEK_SANITIZE=ON -DMARVEK_BUILD_BENCH=OFF)
# Only the harnesses and what they link; each one replays its corpus, then tries 1,000 inputs from a fixed
# seed (the same on every run).
# Clang writes the full paths of its precompiled header's sources into it, and the compiler cache knows
# the header's users by their bytes: the fuzz build is made at one fixed path per user, from a fixed link
# to this checkout, so that the cache serves a clone made anywhere. (The build folder is a real one: the
# relative paths the build writes go up from it.) build-ci-fuzz links to it. The lock keeps two
# checkouts from building there at once.
fuzz_home="${XDG_CACHE_HOME:-$HOME/.cache}/marvek-fuzz"
fuzz_build="$fuzz_home/build"
mkdir -p "$fuzz_build"
rm -rf build-ci-fuzz
ln -s "$fuzz_build" build-ci-fuzz
(
    flock 9
    ln -sfn "$PWD" "$fuzz_home/src"
    section "fuzz harnesses: build (clang, libFuzzer, ASan + UBSan)"
    CC=clang CXX=clang++ cmake -S "$fuzz_home/src" -B "$fuzz_build" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
        -DMARVEK_WERROR=ON -DMARVEK_SANITIZE=ON -DMARVEK_BUILD_BENCH=OFF \
        -DMARVEK_FUZZ_SECONDS="${MARVEK_FUZZ_SECONDS:-60}" -DMARVEK_FUZZ_RUNS="${MARVEK_FUZZ_RUNS:-1000}"
    cmake --build "$fuzz_build" -j "$jobs" --target marvek_fuzz
    section "fuzz harnesses: runs"
    ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 LSAN_OPTIONS=suppressions=$PWD/scripts/lsan.supp \
        UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
        ctest --test-dir "$fuzz_build" -L fuzz --output-on-failure -j "$jobs" --timeout 600
) 9>"$fuzz_home.lock"
section "runtime package report"
package_status=0
wait "$package_check" || package_status=$?
cat "$package_log"
[ "$package_status" -eq 0 ] || { echo "runtime package check failed" >&2; exit 1; }
section "sanitizer tests (ASan + UBSan)"
(export "${sanitizers[@]}"; run_tests build-ci-asan)
section "done"
