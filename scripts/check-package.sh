#!/usr/bin/env bash
# Checks the runtime package of a build (default build-ci): lintian finds nothing; the package installs
# with apt-get and holds what its notes say; every program on the sample CD finds each of its libraries
# in a package that the runtime package's Depends bring. Installing needs root: without it only
# lintian and the library check (against the Depends as written) run.
#
#   bash scripts/check-package.sh [build folder] [--keep]    (--keep leaves the package installed)
# As root it also runs the main job (scripts/demo.sh) with the installed machine tool on the build's CD image.
set -euo pipefail
cd "$(dirname "$0")/.."

build=build-ci
keep=0
for arg in "$@"; do
    case "$arg" in
        --keep) keep=1 ;;
        *) build=$arg ;;
    esac
done

cmake --build "$build" --target runtime_package sample_cd >/dev/null
deb=$(ls "$build"/package/marvek-runtime_*.deb)
cd_tree="$build/sample-cd"
failed=0
fail() { echo "FAIL: $*" >&2; failed=1; }

echo "== lintian $(basename "$deb") =="
report=$(lintian --pedantic -I "$deb" 2>&1 | grep -v 'running with root privileges' || true)
if [ -n "$report" ]; then
    echo "$report"
    grep -q '^[EW]:' <<<"$report" && fail "lintian reports errors or warnings"
fi
cmp -s "$deb" "$cd_tree/programs/linux/$(basename "$deb")" || fail "the sample CD does not carry $(basename "$deb")"

installed=0
if [ "$(id -u)" -eq 0 ]; then
    echo "== apt-get install ./$(basename "$deb") =="
    machine_was_there=0
    [ -e /var/lib/marvek ] && machine_was_there=1
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q "$PWD/$deb" >/dev/null
    installed=1
    # What README.Debian promises.
    listed=$(dpkg -L marvek-runtime)
    for path in /etc/marvek/machine.conf /etc/xdg/menus/applications-merged/marvek-service-manuals.menu \
                /usr/share/desktop-directories/marvek-service-manuals.directory \
                /usr/share/icons/hicolor/scalable/apps/marvek-service-manuals.svg \
                /usr/share/doc/marvek-runtime/copyright /usr/share/doc/marvek-runtime/README.Debian \
                $(dpkg-deb -c "$deb" | awk '$1 ~ /^-/ && $6 ~ /^\.\/usr\/bin\// {sub(/^\./, "", $6); print $6}'); do
        grep -qx "$path" <<<"$listed" || fail "dpkg -L marvek-runtime does not list $path"
    done
    for tool in marvek-machine marvek-search; do
        "$tool" --help >/dev/null 2>&1 || fail "$tool --help does not run from the package"
        man -w "$tool" >/dev/null 2>&1 || fail "no manual page for $tool"
    done
    getent group marvek >/dev/null || fail "the group marvek was not made"
    [ "$(stat -c '%G %a' /var/lib/marvek 2>/dev/null)" = "marvek 2775" ] || fail "/var/lib/marvek is not the group's setgid folder"
    # What the installed machine tool makes in a machine of the group, as the maintainer script has it
    # make /var/lib/marvek, is the group's, and the group may change it (/var/lib/marvek itself is
    # checked too when this install made it: a purge leaves it, with what an earlier version made).
    shared_machine=$(mktemp -d)
    chgrp marvek "$shared_machine" && chmod 2775 "$shared_machine"
    MARVEK_ROOT="$shared_machine" marvek-machine create >/dev/null || fail "marvek-machine create fails in a machine of the group"
    machines=("$shared_machine")
    [ "$machine_was_there" -eq 0 ] && machines+=(/var/lib/marvek)
    for machine in "${machines[@]}"; do
        [ -z "$(find "$machine" ! -group marvek -print -quit)" ] || fail "$machine holds files of another group"
        [ -z "$(find "$machine" \( -type f ! -perm -g+rw \) -o \( -type d ! -perm -2070 \) -print -quit)" ] ||
            fail "$machine holds files or folders the group may not change"
    done
    rm -rf "$shared_machine"
    env -u MARVEK_ROOT marvek-machine show 2>/dev/null | grep -qx '  named by /etc/marvek/machine.conf (MARVEK_ROOT is not set)' ||
        fail "marvek-machine show does not work in the machine /etc/marvek/machine.conf names"
    closure_of=(--installed marvek-runtime)
else
    echo "(not root: the package is not installed; its Depends are checked as written)"
    depends=$(dpkg-deb -f "$deb" Depends | sed 's/([^)]*)//g; s/|/,/g; s/,/ /g')
    closure_of=($depends)
fi

echo "== the CD's programs against the Depends =="
closure=$(apt-cache depends --recurse --no-recommends --no-suggests --no-conflicts --no-breaks \
              --no-replaces --no-enhances "${closure_of[@]}" 2>/dev/null |
          grep -v '^ ' | grep -v '^<' | sed 's/:.*//' | sort -u)
# Each program's libraries, then the package of each library, asked of dpkg once for them all (a dpkg -S
# each takes a minute over the CD's programs).
declare -A in_closure=()
while IFS= read -r package; do
    [ -n "$package" ] && in_closure[$package]=1
done <<<"$closure"
programs=0
uses=() # "program<TAB>library<TAB>its resolved path" (a missing library: its name and "(not found)")
while IFS= read -r -d '' program; do
    file -b "$program" | grep -q '^ELF' || continue
    programs=$((programs + 1))
    while read -r library; do
        [ -n "$library" ] || continue
        resolved=""
        [ "${library:0:1}" = / ] && resolved=$(readlink -f "$library")
        uses+=("$program"$'\t'"$library"$'\t'"$resolved")
    done < <(ldd "$program" | awk '/not found/ {print "missing:" $1; next} /=> \// {print $3} /^\t\// {print $1}' |
             sed 's/^missing:\(.*\)/\1 (not found)/')
done < <(find "$cd_tree" -type f -perm -u+x -print0)
declare -A owner_of=()
paths=()
for use in "${uses[@]}"; do
    IFS=$'\t' read -r _ library resolved <<<"$use"
    [ -n "$resolved" ] && paths+=("$library" "$resolved")
done
if [ "${#paths[@]}" -gt 0 ]; then
    # "package[:arch][, package...]: path"; the first package is the owner, as dpkg -S lists it first.
    while IFS= read -r line; do
        case "$line" in
            "diversion by"* | *"no path found"*) continue ;;
        esac
        path=${line#*: }
        owner=${line%%: *}
        owner=${owner%%,*}
        owner=${owner%%:*}
        [ -n "${owner_of[$path]:-}" ] || owner_of[$path]=$owner
    done < <(printf '%s\n' "${paths[@]}" | sort -u | xargs -d '\n' dpkg -S 2>/dev/null || true)
fi
for use in "${uses[@]}"; do
    IFS=$'\t' read -r program library resolved <<<"$use"
    owner=""
    [ -n "$resolved" ] && owner=${owner_of[$resolved]:-${owner_of[$library]:-}}
    if [ -z "$owner" ]; then
        fail "${program#"$cd_tree"/}: $library belongs to no package"
    elif [ -z "${in_closure[$owner]:-}" ]; then
        fail "${program#"$cd_tree"/}: $library comes from $owner, which the Depends do not bring"
    fi
done
echo "$programs programs checked"
[ "$programs" -gt 0 ] || fail "no program found on the CD"

if [ "$installed" -eq 1 ]; then
    echo "== the main job with the installed package's machine tool and the CD image =="
    # A check, not the demonstration: the programs' prescribed pauses pass quickly, in the same order
    # (MARVEK_MAX_SLEEP_MS, as in the tests of whole programs).
    if MARVEK_DEMO_BUILD="$build" MARVEK_DEMO_TOOL=/usr/bin/marvek-machine MARVEK_MAX_SLEEP_MS=10 \
        bash scripts/demo.sh >"$build/package/demo.log" 2>&1 &&
        grep -q '^Every file of the CD is unchanged' "$build/package/demo.log" &&
        [ "$(grep -c '^[A-Z0-9]\{7\} ' "$build/package/demo.log")" -eq 5 ]; then
        grep -E '^(Drives|  [A-Z]:|Manual-link|Desktop entries|  demo-desktop|Every file)' "$build/package/demo.log"
    else
        tail -n 40 "$build/package/demo.log"
        fail "the main job did not install the sample CD with the installed package (log: $build/package/demo.log)"
    fi
fi

if [ "$installed" -eq 1 ] && [ "$keep" -eq 0 ]; then
    DEBIAN_FRONTEND=noninteractive apt-get purge -y -q marvek-runtime >/dev/null
fi
if [ "$failed" -ne 0 ]; then
    echo "package check: FAILED" >&2
    exit 1
fi
echo "package check: passed"
