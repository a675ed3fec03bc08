#!/usr/bin/env bash
# Renders the PNG sizes of the launcher icon from its SVG source, for the desktops and menus
# that want bitmaps. Run it after editing packaging/icons/io.tessaly.Tessaly.svg and commit
# the PNGs; the build installs them as they are.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$root/scripts/deps.sh" package-packages.txt
icons=$root/packaging/icons
for size in 16 24 32 48 64 128 256; do
    rsvg-convert -w "$size" -h "$size" "$icons/io.tessaly.Tessaly.svg" \
        -o "$icons/io.tessaly.Tessaly-$size.png"
done
