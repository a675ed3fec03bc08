#!/usr/bin/env bash
# cmake --install into a scratch root (DESTDIR): what a desktop needs is installed, nothing of
# the portable archive is, and the installed copy works (installed_copy.sh).
# Usage: tests/install/scratch_root_test.sh BUILD_FOLDER
set -euo pipefail
build=$1
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
DESTDIR=$root cmake --install "$build" --prefix /usr >/dev/null
usr=$root/usr

for file in bin/tessaly-cli bin/tessaly-devsim bin/tessaly \
    share/applications/io.tessaly.Tessaly.desktop \
    share/metainfo/io.tessaly.Tessaly.metainfo.xml \
    share/icons/hicolor/scalable/apps/io.tessaly.Tessaly.svg \
    share/icons/hicolor/256x256/apps/io.tessaly.Tessaly.png \
    share/man/man1/tessaly.1.gz share/man/man1/tessaly-cli.1.gz share/man/man1/tessaly-devsim.1.gz \
    share/bash-completion/completions/tessaly-cli share/bash-completion/completions/tessaly-devsim \
    share/doc/tessaly/copyright share/doc/tessaly/changelog.gz; do
    [ -e "$usr/$file" ] || { echo "FAIL: $file is not installed" >&2; exit 1; }
done
[ -z "$(ls "$usr" | grep -v -x -e bin -e share)" ] || { echo "FAIL: stray files in $usr" >&2; exit 1; }

"$here/installed_copy.sh" "$usr/bin" "$usr/share/tessaly"
