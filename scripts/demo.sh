#!/usr/bin/env bash
# The suite's main job on a fresh Debian machine: installs what the build needs, builds the suite and the
# sample service-manual CD, prepares a demo workshop PC (a machine prefix in out/demo-machine: the
# diagnostic software's folder in the registry, the CD as drive D:, the manual-link component installed
# by the CD's own installer), and runs the installer `setup` from the CD.
#
# With a display the technician clicks through the screens. Without one the screens are answered from a
# script (agree, OK in every folder screen, end) under Xvfb, every screen is saved to out/screens/, and
# the manuals now installed are printed from the database and shown by the manual manager Mandex
# (screenshot out/manager/). Last, the manual browser opens an installed manual the way a diagnostic tool
# asks for one: through ManualLink.exe (screenshot out/manual.png).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

build=build-demo
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMARVEK_BUILD_TESTS=OFF \
    -DMARVEK_BUILD_BENCH=OFF
cmake --build "$build" --target sample_cd

cd_root="$PWD/$build/sample-cd"
export MARVEK_ROOT="$PWD/out/demo-machine"
rm -rf "$MARVEK_ROOT" out/screens out/manager out/manual.png
mkdir -p "$MARVEK_ROOT/drives/c" out/screens
ln -sfn "$cd_root" "$MARVEK_ROOT/drives/d"
[ "$(id -u)" -ne 0 ] || export QTWEBENGINE_DISABLE_SANDBOX=1

# The workshop PC: the diagnostic software's folder and the Program Files folder in the registry.
program_files="$MARVEK_ROOT/drives/c/Program Files"
mkdir -p "$program_files/Marvek/Scanlux"
cat > "$MARVEK_ROOT/registry.ini" <<'EOF'
[SOFTWARE\MARVEK\Scanlux]
ProgramPath=C:\Program Files\Marvek\Scanlux

[SOFTWARE\Microsoft\Windows\CurrentVersion]
ProgramFilesDir=C:\Program Files
EOF

# The manual-link component, installed by the CD's own installer (it also makes the empty database).
"$cd_root/programs/manual_link/setup.exe" 1
link_dir="$program_files/Marvek/Scanlux/ManualLink"
echo "Manual-link component installed in $link_dir (result $(tail -n 1 "$link_dir/setup.log"))"

setup_program="$cd_root/programs/setup/setup.exe"
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
    "$setup_program"
else
    echo "No display: running setup under Xvfb with scripted answers; screens go to out/screens/"
    cat > out/screen-script.txt <<'EOF'
frmMenu cmdStartInstall
frmStartUp O_Value(1)
frmStartUp B_OK
frmDirectorySelect B_OK *
frmResult B_END
frmTarm B_END
EOF
    MARVEK_SCREEN_SCRIPT="$PWD/out/screen-script.txt" MARVEK_SCREENSHOT_DIR="$PWD/out/screens" \
        MARVEK_SCREEN_LOG="$PWD/out/screen.log" MARVEK_UI_LOG="$PWD/out/boxes.log" \
        xvfb-run -a -s "-screen 0 1280x900x24" "$setup_program"
    ls out/screens
fi

echo "Manuals installed on the demo PC:"
sqlite3 -header -column "$link_dir/ManualLink.mdb" \
    "SELECT M.Pub_No, M.Model_desc, M.Version, T.Pdf_flg, M.InsDate, M.InsPath
     FROM M_manage M LEFT JOIN M_type T ON M.Pub_No = T.Pub_No ORDER BY M.Pub_No"

# The manual manager, installed by setup beside the database, lists them.
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "frmMmpMain B_End" > out/manager-script.txt
    MARVEK_SCREEN_SCRIPT="$PWD/out/manager-script.txt" MARVEK_SCREENSHOT_DIR="$PWD/out/manager" \
        xvfb-run -a -s "-screen 0 1280x900x24" "$link_dir/Mandex.exe"
    echo "The manual manager's window: out/manager/"
fi

# A diagnostic tool asks for a manual: ManualLink.exe opens it in Pagora.
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
    "$link_dir/ManualLink.exe" RM011EN
else
    xvfb-run -a -s "-screen 0 1280x900x24" bash -c '
        "$0" RM011EN
        sleep 10
        import -window root out/manual.png
    ' "$link_dir/ManualLink.exe"
    echo "The manual RM011EN opened through ManualLink.exe in Pagora: out/manual.png"
fi
