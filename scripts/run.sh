#!/usr/bin/env bash
# Builds Tessaly and starts the window in demo mode, aimed at a simulated device that the
# program runs itself on 127.0.0.1. Installs the Debian packages it lacks first.
# Extra arguments go to the program (after --demo).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$root/build
"$root/scripts/deps.sh"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)" --target tessaly
if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
    echo "Tessaly is built ($build/bin/tessaly), but there is no display to open its window on." >&2
    echo "Run it on a desktop, or under a virtual display:" >&2
    echo "    apt-get install xvfb && xvfb-run -a $build/bin/tessaly --demo $*" >&2
    exit 2
fi
exec "$build/bin/tessaly" --demo "$@"
