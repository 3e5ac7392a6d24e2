#!/usr/bin/env bash
# Sets up (install, build) and starts the browser.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$root/scripts/setup.sh" "$root/build"
# Chromium refuses its sandbox when run as root.
[ "$(id -u)" -ne 0 ] || export QTWEBENGINE_DISABLE_SANDBOX=1
exec "$root/build/src/app/brackenly"
