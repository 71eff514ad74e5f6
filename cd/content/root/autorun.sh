#!/bin/sh
# Started by a Linux desktop when the CD is mounted (the freedesktop autostart rules for removable media:
# the first of .autorun, autorun and autorun.sh at the medium's root, run after asking the user, with the
# root as the working folder): starts the CD launcher beside this file. The launcher gives the medium a
# drive letter of its own (the first free one from D:) and opens the CD's start page from it.
cd "$(dirname "$0")" || exit 1
exec ./Cdlaunch.exe
