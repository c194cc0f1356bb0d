#!/usr/bin/env bash
# setupsim previewing the demo installer under valgrind's memcheck: no invalid read or write,
# no use of uninitialised bytes, no definite or indirect leak. The demo is packed with the
# win32 build's stub and programs when they exist, else with the test stub and two small
# stand-in programs (setupsim only needs their "MZ"), so the check runs in the native build
# alone.
# Usage: setupsim_valgrind.sh SOURCE_DIR NATIVE_BUILD_DIR WIN32_BUILD_DIR
# Exits 77 (skipped) when valgrind is not installed.
set -euo pipefail
source=$1 native=$2 win32=$3
command -v valgrind >/dev/null || { echo "skipped: valgrind not installed"; exit 77; }

work=$(mktemp -d /tmp/setupsim-valgrind.XXXXXX)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/pkg/programs"
cp -r "$source/demo/files" "$source/demo/manifest.toml" "$source/demo/product.ico" "$work/pkg/"
stub=$win32/setup-stub.exe
if [ -f "$stub" ] && [ -f "$win32/demo/qvconvrt.exe" ] && [ -f "$win32/demo/qvregfix.exe" ]; then
  cp "$win32/demo/qvconvrt.exe" "$work/pkg/programs/QVCONVRT.EXE"
  cp "$win32/demo/qvregfix.exe" "$work/pkg/programs/QVREGFIX.EXE"
else
  stub=$native/tests/pack_stub/stub_i686.exe
  printf 'MZ stand-in converter' >"$work/pkg/programs/QVCONVRT.EXE"
  printf 'MZ stand-in registration' >"$work/pkg/programs/QVREGFIX.EXE"
fi
"$native/setuppack" build "$work/pkg/manifest.toml" --stub "$stub" -o "$work/setup.exe" >/dev/null

valgrind --tool=memcheck --error-exitcode=99 --leak-check=full \
  --errors-for-leak-kinds=definite,indirect --show-leak-kinds=definite,indirect \
  --log-file="$work/valgrind.log" \
  "$native/setupsim" "$work/setup.exe" --json --root "$work/root" >"$work/transcript.json" || {
  code=$?
  cat "$work/valgrind.log"
  echo "FAILED: setupsim under valgrind exited $code"
  exit 1
}
grep -q '"event": "exit", "code": 0' "$work/transcript.json" || {
  echo "FAILED: the preview did not end with exit code 0"; cat "$work/transcript.json"
  exit 1
}
grep "ERROR SUMMARY" "$work/valgrind.log"
