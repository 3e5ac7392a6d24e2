#!/usr/bin/env bash
# Installs what is missing (Debian packages), then configures and builds Brackenly.
# Usage: scripts/setup.sh [build-dir]   (default: build)
#        scripts/setup.sh --install-only  (the packages, no build)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
install_only=0
if [ "${1:-}" = "--install-only" ]; then
  install_only=1
  shift
fi
build="${1:-$root/build}"

# clang and its runtimes: the fuzz targets and the sanitizer build (scripts/fuzz.sh, sanitize.sh).
packages=(cmake ninja-build g++ pkg-config qt6-base-dev qt6-declarative-dev qt6-webengine-dev
          libqt6sql6-sqlite libgl-dev xvfb xauth sqlite3 wget clang libclang-rt-14-dev)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ "${#missing[@]}" -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq "${missing[@]}"
fi
[ "$install_only" -eq 0 ] || exit 0

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo ${BRACKENLY_CMAKE_ARGS:-}
cmake --build "$build" -j"$(nproc)"
