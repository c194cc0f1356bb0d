# Shared by scripts/test, scripts/demo and scripts/screenshots: installs what a brand-new
# Debian 12 machine lacks, builds presets, and brings Wine up and down for the tests that run
# the Windows builds (one throw-away prefix per bitness, one virtual display).
# Wine's loaders are always called by their full paths (Debian 12 has no /usr/bin/wine64, and a
# /usr/bin/wine would pick a loader by itself).

QV_PACKAGES=(
  cmake make g++ libgtest-dev libbenchmark-dev
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
  wine64 xvfb
  python3-pefile libtomlplusplus-dev valgrind libcli11-dev mtools osslsigncode openssl
  clang-format
  chromium fonts-dejavu-core fonts-dejavu-extra
)

QV_WINE64=/usr/lib/wine/wine64
QV_WINE32=/usr/lib/wine/wine
# One server binary for both loaders: the prefixes are 64-bit, 32-bit programs run in WoW64.
QV_WINESERVER=/usr/lib/wine/wineserver64

qv_sudo() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

qv_missing_packages() {
  local package
  for package in "$@"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
      echo "$package"
  done
}

qv_install_packages() {
  local missing
  mapfile -t missing < <(qv_missing_packages "$@")
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  qv_sudo apt-get update
  DEBIAN_FRONTEND=noninteractive qv_sudo apt-get install -y --no-install-recommends "${missing[@]}"
}

# The packages of every build and test, and any extra ones given (one apt-get update at most).
qv_ensure_packages() {
  qv_install_packages "${QV_PACKAGES[@]}" "$@"
}

# Whether the kernel runs 32-bit x86 programs: a 96-byte i386 ELF that only exits with 42.
qv_runs_32bit_code() {
  local probe rc=0
  probe=$(mktemp /tmp/qv-probe32.XXXXXX)
  printf '\177ELF\001\001\001\000\000\000\000\000\000\000\000\000\002\000\003\000\001\000\000\000'\
'\124\200\004\010\064\000\000\000\000\000\000\000\000\000\000\000\064\000\040\000\001\000\000\000'\
'\000\000\000\000\001\000\000\000\000\000\000\000\000\200\004\010\000\200\004\010\140\000\000\000'\
'\140\000\000\000\005\000\000\000\000\020\000\000\270\001\000\000\000\273\052\000\000\000\315\200' \
    >"$probe"
  chmod +x "$probe"
  "$probe" 2>/dev/null || rc=$?
  rm -f "$probe"
  [ "$rc" -eq 42 ]
}

# Where the kernel runs 32-bit x86 code: the i386 architecture added (the next install updates
# the package lists) and QV_WINE32_PACKAGES=(wine32:i386), to be installed next to wine64.
# Elsewhere QV_WINE32_SKIP says why the PE32 cannot run here.
qv_prepare_wine32() {
  QV_WINE32_SKIP="" QV_WINE32_PACKAGES=()
  if ! qv_runs_32bit_code; then
    QV_WINE32_SKIP="this kernel does not run 32-bit x86 code"
    return 0
  fi
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    qv_sudo dpkg --add-architecture i386
  fi
  QV_WINE32_PACKAGES=(wine32:i386)
}

# Wine for the tests: a virtual display and one throw-away prefix per bitness, each with a
# persistent wineserver, so that a test's wine process starts in a few hundredths of a second.
# Exports DISPLAY, QV_WINE64_PREFIX, QV_WINE32_PREFIX (empty when the PE32 cannot run; then
# QV_WINE32_SKIP says why) and QV_WINE_READY. qv_wine_down undoes all of it; call it from a trap.
qv_wine_env() {
  export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" TZ=UTC WINESERVER=$QV_WINESERVER
  export QV_WINE64=$QV_WINE64 QV_WINE32=$QV_WINE32
}

# Xvfb picks a free display number itself and writes it to the file behind -displayfd.
qv_start_display() {
  local number_file=$QV_WINE_ROOT/display
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$number_file" >/dev/null 2>&1 &
  QV_XVFB_PID=$!
  local tries
  for tries in $(seq 100); do
    [ -s "$number_file" ] && break
    sleep 0.1
  done
  [ -s "$number_file" ] || { echo "Xvfb did not start" >&2; return 1; }
  export DISPLAY=:$(head -n1 "$number_file")
}

# The first process of a prefix starts wine's services, which inherit its output: it must
# write to /dev/null, or whoever reads that output waits for ever. Managed=N: wine draws the
# captions and maximises windows itself, no window manager needed.
qv_wine_prefix() {
  local prefix=$1 loader=$2
  mkdir -p "$prefix"
  WINEPREFIX=$prefix "$QV_WINESERVER" -p
  WINEPREFIX=$prefix "$loader" wineboot -i </dev/null >/dev/null 2>&1
  WINEPREFIX=$prefix "$loader" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ \
    /d N /f </dev/null >/dev/null 2>&1
}

qv_wine_up() {
  qv_wine_env
  QV_WINE_ROOT=$(mktemp -d /tmp/qv-wine.XXXXXX)
  qv_start_display
  export QV_WINE64_PREFIX=$QV_WINE_ROOT/wine64 QV_WINE32_PREFIX="" QV_WINE32_SKIP=${QV_WINE32_SKIP:-}
  qv_wine_prefix "$QV_WINE64_PREFIX" "$QV_WINE64" &
  local wine64_pid=$!
  if [ -z "$QV_WINE32_SKIP" ]; then
    QV_WINE32_PREFIX=$QV_WINE_ROOT/wine32
    qv_wine_prefix "$QV_WINE32_PREFIX" "$QV_WINE32"
  fi
  wait "$wine64_pid"
  export QV_WINE_READY=1
}

qv_wine_down() {
  [ -n "${QV_WINE_ROOT:-}" ] || return 0
  local prefix started=$SECONDS
  for prefix in "${QV_WINE64_PREFIX:-}" "${QV_WINE32_PREFIX:-}"; do
    [ -n "$prefix" ] && [ -d "$prefix" ] || continue
    WINEPREFIX=$prefix "$QV_WINESERVER" -k 2>/dev/null || true
    WINEPREFIX=$prefix "$QV_WINESERVER" -w 2>/dev/null || true
  done
  if [ -n "${QV_XVFB_PID:-}" ]; then
    kill "$QV_XVFB_PID" 2>/dev/null || true
    wait "$QV_XVFB_PID" 2>/dev/null || true
  fi
  rm -rf "$QV_WINE_ROOT"
  QV_WINE_ROOT=""
  echo "Wine down in $((SECONDS - started)) s"
}

# Configures and builds one preset. Configuring every time keeps an older build folder in step
# with targets added since it was made.
qv_build() {
  local preset=$1
  shift
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$(nproc)" "$@"
}

# The same, with the compiler's output kept in build/<preset>.log unless the build fails.
qv_build_quietly() {
  local preset=$1
  mkdir -p build
  if ! qv_build "$@" >"build/$preset.log" 2>&1; then
    cat "build/$preset.log"
    return 1
  fi
}
