#!/usr/bin/env bash
# Builds, then writes PNG pictures of the windows as a user sees them (the main window after
# a page loaded, during an image-saving run and with its record panes, the capture window
# during the run, the preferences, proxy and about dialogs) into a folder.
# Usage: scripts/screenshots.sh [folder]   (default: build/screenshots)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
out="$(realpath -m "${1:-$root/build/screenshots}")"
"$root/scripts/setup.sh" "$root/build" >/dev/null
cmake --build "$root/build" --target screenshots >/dev/null

[ "$(id -u)" -ne 0 ] || export QTWEBENGINE_DISABLE_SANDBOX=1
# A display of our own, the size of a small desktop.
display=99
while [ -e "/tmp/.X${display}-lock" ]; do display=$((display + 1)); done
Xvfb ":${display}" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
trap 'kill "$xvfb_pid" 2>/dev/null || true' EXIT
export DISPLAY=":${display}"
for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X${display}" ] && break; sleep 0.1; done

mkdir -p "$out"
"$root/build/bench/screenshots" "$out"
