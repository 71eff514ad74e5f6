#!/usr/bin/env bash
# The suite's main job on a fresh Debian machine, the way a technician with the CD meets it: installs what
# the build needs, builds the suite and the sample service-manual CD as an ISO image, makes a demo
# workshop PC with the machine tool (a machine prefix in out/demo-machine holding only the diagnostic
# software's folder), mounts the image read-only (fuseiso; else an unpacked read-only copy) outside every
# drive, and starts the CD's programs from it: the autostart file (Cdlaunch, which gives the CD the drive
# letter D:), the manual-link component's installer, then the installer `setup`.
#
# With a display the technician clicks through the screens. Without one the screens are answered from a
# script (agree, OK in every folder screen, end) under Xvfb, every screen is saved to out/screens/, and
# the manuals now installed are printed from the database and shown by the manual manager Mandex
# (screenshots out/manager/, the second one a search across the manuals). The CD's start page, opened by Cdlaunch once the browser is installed, goes
# to out/cd-start.png; last, the manual browser opens an installed manual the way a diagnostic tool asks
# for one: through ManualLink.exe (screenshot out/manual.png). The desktop entries of the installer's
# shortcuts go to out/demo-desktop/ (validated), and every file of the CD is checked unchanged.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
source scripts/ccache-env.sh

# MARVEK_DEMO_BUILD names a build folder made already (the package check runs the demo from its build),
# MARVEK_DEMO_TOOL another machine tool (the installed package's).
build=${MARVEK_DEMO_BUILD:-build-demo}
if [ -z "${MARVEK_DEMO_BUILD:-}" ]; then
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMARVEK_BUILD_TESTS=OFF \
        -DMARVEK_BUILD_BENCH=OFF
fi
cmake --build "$build" --target sample_cd_image marvek_machine
image="$(cd "$build" && pwd)/sample-cd.iso"
machine_tool=${MARVEK_DEMO_TOOL:-"$(cd "$build" && pwd)/machine_tool/marvek-machine"}
out="$PWD/out"

display=0
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then display=1; fi
headless() { xvfb-run -a -s "-screen 0 1280x900x24" "$@"; }
[ "$(id -u)" -ne 0 ] || export QTWEBENGINE_DISABLE_SANDBOX=1

# The demo PC and its desktop live in out/: the machine prefix, and the XDG folders where the installer's
# shortcuts appear as desktop entries (they start their programs through the machine tool).
export MARVEK_ROOT="$out/demo-machine"
export MARVEK_MACHINE_TOOL="$machine_tool"
desktop_home="$out/demo-desktop"
export XDG_DATA_HOME="$desktop_home/data" XDG_CONFIG_HOME="$desktop_home/config"
cd_mount="$out/cd"
if mountpoint -q "$cd_mount" 2>/dev/null; then fusermount -u "$cd_mount"; fi
chmod -R u+w "$cd_mount" 2>/dev/null || true
rm -rf "$MARVEK_ROOT" "$desktop_home" "$cd_mount" "$out/screens" "$out/manager" "$out/manual.png" \
    "$out/cd-start.png"
mkdir -p "$XDG_CONFIG_HOME" "$desktop_home/Desktop" "$cd_mount" "$out/screens"
echo "XDG_DESKTOP_DIR=\"$desktop_home/Desktop\"" >"$XDG_CONFIG_HOME/user-dirs.dirs"

# The workshop PC: a new machine, and the diagnostic software's folder (another product's, installed
# before the manuals) recorded in its registry.
"$machine_tool" create
mkdir -p "$MARVEK_ROOT/drives/c/Program Files/Marvek/Scanlux"
"$machine_tool" register-diagnostic 'C:\Program Files\Marvek\Scanlux'

# The CD, mounted read-only where a desktop mounts one: outside every drive of the machine.
# Without a display the programs started on the demo PC end with the demo, so that nothing keeps the CD.
end_demo_programs() {
    local exe
    for exe in /proc/[0-9]*/exe; do
        case "$(readlink "$exe" 2>/dev/null)" in
            "$MARVEK_ROOT"/*) kill "$(basename "$(dirname "$exe")")" 2>/dev/null || true ;;
        esac
    done
}
unmount_cd() {
    [ "$display" -eq 1 ] || { end_demo_programs; sleep 1; }
    fusermount -u "$cd_mount" 2>/dev/null || fusermount -uz "$cd_mount" 2>/dev/null || true
}
if fuseiso "$image" "$cd_mount" 2>/dev/null; then
    trap unmount_cd EXIT
    echo "The CD image is mounted read-only at $cd_mount"
else
    bsdtar -xf "$image" -C "$cd_mount"
    chmod -R a-w "$cd_mount"
    echo "fuseiso cannot mount here: the CD image is unpacked read-only at $cd_mount"
fi
cd_files() { (cd "$cd_mount" && find . -type f -print0 | sort -z | xargs -0 sha256sum); }
cd_sums=$(cd_files)

# The CD is inserted: the desktop runs its autostart file from the mount point. Cdlaunch gives the CD the
# first free drive letter (D:) and opens the start page; with no manual browser installed yet that goes
# to the system web browser, where the machine has one.
if [ "$display" -eq 1 ]; then
    (cd "$cd_mount" && ./autorun.sh) || true
else
    (cd "$cd_mount" && headless ./autorun.sh) >/dev/null 2>&1 || true
fi
"$machine_tool" show | sed -n '/^Drives:/,/^Registry/p' | sed '$d'

# The manual-link component, installed by the CD's own installer (it also makes the empty database).
"$machine_tool" run 'D:\programs\manual_link\setup.exe 1'
link_dir="$MARVEK_ROOT/drives/c/Program Files/Marvek/Scanlux/ManualLink"
echo "Manual-link component installed in $link_dir (result $(tail -n 1 "$link_dir/setup.log"))"

if [ "$display" -eq 1 ]; then
    "$machine_tool" run 'D:\programs\setup\setup.exe'
else
    echo "No display: running setup under Xvfb with scripted answers; screens go to out/screens/"
    printf '%s\n' 'frmMenu cmdStartInstall' 'frmStartUp O_Value(1)' 'frmStartUp B_OK' \
        'frmDirectorySelect B_OK *' 'frmResult B_END' 'frmTarm B_END' >"$out/screen-script.txt"
    MARVEK_SCREEN_SCRIPT="$out/screen-script.txt" MARVEK_SCREENSHOT_DIR="$out/screens" \
        MARVEK_SCREEN_LOG="$out/screen.log" MARVEK_UI_LOG="$out/boxes.log" \
        headless "$machine_tool" run 'D:\programs\setup\setup.exe'
    ls "$out/screens"
fi

echo "Manuals installed on the demo PC:"
sqlite3 -header -column "$link_dir/ManualLink.mdb" \
    "SELECT M.Pub_No, M.Model_desc, M.Version, T.Pdf_flg, M.InsDate, M.InsPath
     FROM M_manage M LEFT JOIN M_type T ON M.Pub_No = T.Pub_No ORDER BY M.Pub_No"

echo "Desktop entries of the installer's shortcuts:"
for entry in "$XDG_DATA_HOME"/applications/marvek-*.desktop "$desktop_home"/Desktop/marvek-*.desktop; do
    [ -e "$entry" ] || continue
    desktop-file-validate "$entry" | grep -v 'hint:' || true
    echo "  ${entry#"$out"/}: $(grep -m1 '^Name=' "$entry")"
done

# The manual manager, installed by setup beside the database, lists them: started as its menu entry does.
if [ "$display" -eq 0 ]; then
    # Its window, then a search across every installed manual.
    printf '%s\n' 'frmMmpMain T_Search = brake' 'frmMmpMain B_End' >"$out/manager-script.txt"
    MARVEK_SCREEN_SCRIPT="$out/manager-script.txt" MARVEK_SCREENSHOT_DIR="$out/manager" \
        headless "$machine_tool" run 'C:\Program Files\Marvek\Scanlux\ManualLink\Mandex.exe'
    mv "$out/manager/02-frmMmpMain.png" "$out/manager/02-search.png"
    echo "The manual manager's window and a search for \"brake\": out/manager/"
fi

# The CD inserted again: now the start page opens in the suite's own browser.
if [ "$display" -eq 1 ]; then
    (cd "$cd_mount" && ./autorun.sh)
else
    (cd "$cd_mount" && headless bash -c './autorun.sh; sleep 10; import -window root "$0"' "$out/cd-start.png")
    echo "The CD's start page opened by Cdlaunch in Pagora: out/cd-start.png"
fi

# A diagnostic tool asks for a manual: ManualLink.exe opens it in Pagora.
if [ "$display" -eq 1 ]; then
    "$link_dir/ManualLink.exe" RM011EN
else
    headless bash -c '"$0" RM011EN; sleep 10; import -window root "$1"' "$link_dir/ManualLink.exe" "$out/manual.png"
    echo "The manual RM011EN opened through ManualLink.exe in Pagora: out/manual.png"
fi

if [ "$cd_sums" = "$(cd_files)" ]; then
    echo "Every file of the CD is unchanged."
else
    echo "A file of the CD changed." >&2
    exit 1
fi
