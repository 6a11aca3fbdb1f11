# Shared by the scripts: installs what is missing from Debian's packages.
# Sourced, not run.

QUILLMAR_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
QUILLMAR_PACKAGES=(
  cmake ninja-build g++ clang libclang-rt-14-dev pkg-config binutils python3
  libgtest-dev libgmock-dev libssl-dev openssl nlohmann-json3-dev clang-format-14
  libsecret-1-dev gnome-keyring dbus dbus-bin
  libx11-dev xvfb xclip x11-utils
  g++-mingw-w64-x86-64-posix googletest wine64 wine64-tools libwine-dev iproute2
  clang-19 lld-19 llvm-19 ccache
)

quillmar_install_packages() {
  local missing=()
  local package
  for package in "${QUILLMAR_PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
      missing+=("$package")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    echo "== installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    $sudo apt-get update -q
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q "${missing[@]}"
  fi
}

# Every build goes through the compiler cache, keyed by paths relative to
# the checkout, so that another checkout on the same machine reuses it.
export CCACHE_BASEDIR=$QUILLMAR_ROOT CCACHE_NOHASHDIR=true

quillmar_build() {
  local preset=$1
  shift
  echo "== building ($preset)"
  local launcher=()
  if command -v ccache > /dev/null; then
    launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  fi
  cmake --preset "$preset" -S "$QUILLMAR_ROOT" "${launcher[@]}" > /dev/null
  cmake --build --preset "$preset" "$@"
}

# Runs a command inside a private D-Bus session with an unlocked keyring and
# a private X display.
quillmar_with_services() {
  "$QUILLMAR_ROOT/scripts/env/keyring-session" "$QUILLMAR_ROOT/scripts/env/xvfb-session" "$@"
}

# Prints how long the leg that ends now took (since the previous call, or
# since the script started) and remembers it for the summary.
QUILLMAR_LEG_START=$SECONDS
QUILLMAR_LEG_TIMES=()
quillmar_leg_done() {
  local seconds=$((SECONDS - QUILLMAR_LEG_START))
  QUILLMAR_LEG_TIMES+=("$1: $((seconds / 60)) min $((seconds % 60)) s")
  echo "== $1 took $((seconds / 60)) min $((seconds % 60)) s"
  QUILLMAR_LEG_START=$SECONDS
}

# Runs a command inside a throwaway Wine prefix with its own wineserver.
quillmar_with_wine() {
  "$QUILLMAR_ROOT/scripts/env/wine-session" "$@"
}
