#!/bin/sh
# Clean-up batch of the service-manual CD: removes the folder given as the only argument, with
# everything in it. The suite runs it with /bin/sh and passes host paths.
#
# Refused, with a message and exit status 2, so that a wrong argument never removes more than meant:
# an empty argument, a path that is not absolute, "/", a Windows drive path left unmapped ("C:",
# "C:\") and the root of any drive of the machine prefix (drives/<letter>).
# A folder that does not exist is not an error.

refuse() {
    echo "RmDir.bat: refused to remove '$1': $2" >&2
    exit 2
}

target=$1

[ -n "$target" ] || refuse "$target" "no folder given"
case $target in
    [A-Za-z]:|[A-Za-z]:[\\/]*) refuse "$target" "not a host path" ;;
    /*) ;;
    *) refuse "$target" "not an absolute path" ;;
esac

# Drop trailing slashes; "/" (or "//") becomes empty.
trimmed=$(printf '%s' "$target" | sed -e 's#/*$##')
[ -n "$trimmed" ] || refuse "$target" "the root folder"

# A drive root of the machine prefix, as named or as reached through its symlink.
parent=$(dirname -- "$trimmed")
name=$(basename -- "$trimmed")
if [ "$(basename -- "$parent")" = "drives" ]; then
    case $name in
        [A-Za-z]) refuse "$target" "a drive root" ;;
    esac
fi

[ -e "$trimmed" ] || [ -L "$trimmed" ] || exit 0

if [ -d "$trimmed" ] && [ ! -L "$trimmed" ]; then
    real=$(cd -P -- "$trimmed" 2>/dev/null && pwd -P)
    [ "$real" != "/" ] || refuse "$target" "the root folder"
    root=${MARVEK_ROOT:-${XDG_DATA_HOME:-$HOME/.local/share}/marvek}
    for drive in "$root"/drives/*; do
        [ -d "$drive" ] || continue
        if [ "$(cd -P -- "$drive" 2>/dev/null && pwd -P)" = "$real" ]; then
            refuse "$target" "a drive root"
        fi
    done
fi

rm -rf -- "$trimmed"
