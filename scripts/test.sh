#!/usr/bin/env bash
# Sets up (install, build), then runs every test headless under its own Xvfb.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$root/scripts/setup.sh" "$root/build"

[ "$(id -u)" -ne 0 ] || export QTWEBENGINE_DISABLE_SANDBOX=1
export QTWEBENGINE_CHROMIUM_FLAGS="${QTWEBENGINE_CHROMIUM_FLAGS:---disable-gpu --disable-background-networking --disable-component-update}"

# A display of our own for the tests that show real windows.
display=99
while [ -e "/tmp/.X${display}-lock" ]; do display=$((display + 1)); done
Xvfb ":${display}" -screen 0 1600x1200x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
trap 'kill "$xvfb_pid" 2>/dev/null || true' EXIT
export DISPLAY=":${display}"
for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X${display}" ] && break; sleep 0.1; done

cd "$root/build"
ctest --output-on-failure --timeout 300 "$@"
