#!/usr/bin/env bash
# Set-up, build and run for Selvorra on Debian 12.
#   ./build.sh run    install missing packages, build, start the program
#   ./build.sh test   install missing packages, build, run every test headless
set -euo pipefail

cd "$(dirname "$0")"
ROOT=$(pwd)
BUILD_DIR="$ROOT/build"

# Everything the program, its tests and its tools need, from Debian only.
PACKAGES=(
  build-essential cmake pkg-config
  qt6-base-dev libgl-dev libegl-dev libxkbcommon-dev
  libcurl4-openssl-dev libpugixml-dev libssl-dev
  libbenchmark-dev
  ca-certificates openssl tzdata xdg-utils fonts-dejavu-core
)

install_missing() {
  local missing=()
  for pkg in "${PACKAGES[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed"; then
      missing+=("$pkg")
    fi
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=""
  if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null || { echo "Run as root to install: ${missing[*]}" >&2; exit 1; }
    sudo="sudo"
  fi
  $sudo apt-get update -q
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
}

build() {
  cmake -S "$ROOT" -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=RelWithDebInfo
  cmake --build "$BUILD_DIR" -j"$(nproc)"
}

case "${1:-}" in
  run)
    install_missing
    build
    exec "$BUILD_DIR/selvorra"
    ;;
  test)
    install_missing
    build
    cd "$BUILD_DIR"
    QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"$(nproc)"
    ;;
  *)
    echo "usage: $0 run|test" >&2
    exit 2
    ;;
esac
