#!/bin/sh
# Runs an x86_64 Windows test program under wine64 (ctest's cross-compiling emulator).
# scripts/test brings the prefix up beforehand (QV_WINE_READY=1, WINEPREFIX set). Run by hand,
# the prefix is made or started first with its output on /dev/null: wine's services inherit
# the output of the process that starts them, and ctest would wait on that pipe for ever.
: "${WINEPREFIX:=${TMPDIR:-/tmp}/quorvane-wineprefix}"
: "${WINEDEBUG:=-all}"
: "${WINEDLLOVERRIDES:=mscoree,mshtml=}"
: "${TZ:=UTC}"
export WINEPREFIX WINEDEBUG WINEDLLOVERRIDES TZ
if [ "${QV_WINE_READY:-}" != 1 ]; then
  /usr/lib/wine/wine64 wineboot </dev/null >/dev/null 2>&1
fi
exec /usr/lib/wine/wine64 "$@"
