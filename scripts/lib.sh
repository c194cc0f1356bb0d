# Shared by scripts/test and scripts/demo: installs what a brand-new Debian 12 machine lacks.
# Never wine32: with it, the wine launcher picks the i386 loader, which this kernel cannot run.

QV_PACKAGES=(
  cmake make g++ libgtest-dev libbenchmark-dev
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
  wine64
  python3-pefile libtomlplusplus-dev libcli11-dev mtools
)

qv_ensure_packages() {
  local missing=()
  for package in "${QV_PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
      missing+=("$package")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
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
