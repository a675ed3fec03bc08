#!/usr/bin/env bash
# Makes the README's pictures anew from the real windows in a demo run: the main window
# subscribed to the simulated device, the event browser on a face match with its pictures, the
# picture viewer, and the browser on the same log opened again. Runs under a virtual display
# (xvfb-run); everything stays on 127.0.0.1. Run it whenever a window changes, and commit the
# pictures.
# Usage: scripts/screenshots.sh [FOLDER]   (default: docs; build folder: $TESSALY_BUILD or build)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${TESSALY_BUILD:-$root/build}
out=$(realpath -m "${1:-$root/docs}")
"$root/scripts/deps.sh" screenshot-packages.txt
cmake -S "$root" -B "$build" >/dev/null
cmake --build "$build" -j"$(nproc)" --target tessaly-screenshots request_folders
mkdir -p "$out"
# A fixed font size and screen, so that the pictures change only when the windows do.
cd "$build/bin"
QT_QPA_PLATFORM=xcb QT_SCALE_FACTOR=1 xvfb-run -a -s '-screen 0 1600x1000x24 -dpi 96' \
    ./tessaly-screenshots "$out"
