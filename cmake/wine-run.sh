#!/bin/sh
# Runs an x86_64 Windows test program under wine64 (ctest's cross-compiling emulator).
: "${WINEPREFIX:=${TMPDIR:-/tmp}/quorvane-wineprefix}"
: "${WINEDEBUG:=-all}"
: "${WINEDLLOVERRIDES:=mscoree,mshtml=}"
export WINEPREFIX WINEDEBUG WINEDLLOVERRIDES
exec /usr/lib/wine/wine64 "$@"
