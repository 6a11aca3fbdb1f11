# Shared by the scripts: installs what is missing from Debian's packages.
# Sourced, not run.

QUILLMAR_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
QUILLMAR_PACKAGES=(
  cmake ninja-build g++ clang libclang-rt-14-dev pkg-config binutils python3
  libgtest-dev libgmock-dev libssl-dev openssl nlohmann-json3-dev clang-format-14
  libsecret-1-dev gnome-keyring dbus dbus-bin
  libx11-dev xvfb xclip x11-utils
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

quillmar_build() {
  local preset=$1
  shift
  echo "== building ($preset)"
  cmake --preset "$preset" -S "$QUILLMAR_ROOT" > /dev/null
  cmake --build --preset "$preset" "$@"
}

# Runs a command inside a private D-Bus session with an unlocked keyring and
# a private X display.
quillmar_with_services() {
  "$QUILLMAR_ROOT/scripts/env/keyring-session" "$QUILLMAR_ROOT/scripts/env/xvfb-session" "$@"
}
