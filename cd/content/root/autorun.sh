#!/bin/sh
# Started by a Linux desktop when the CD is mounted (the freedesktop autostart convention for
# removable media), with the CD's root as the working folder: starts the CD launcher, which opens the
# start page. The launcher lies beside this file.
cd "$(dirname "$0")" || exit 1
exec ./Cdlaunch.exe
